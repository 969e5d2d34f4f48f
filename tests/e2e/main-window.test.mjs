// Browser test of the main-window shell: node main-window.test.mjs HOST ARTIFACTS CHROMIUM
// Starts the host on an ephemeral port, checks the server's refusals, opens the page in
// headless Chromium, checks what it shows, clicks a control and follows the event into the
// program and the answer back. Every wait has a deadline; nothing sleeps.
import { spawn } from 'node:child_process';
import http from 'node:http';
import path from 'node:path';
import { createRequire } from 'node:module';
import { mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import os from 'node:os';

const require = createRequire(import.meta.url);
const { chromium } = require('playwright-core');

const [hostProgram, artifacts, chromiumPath, kaptivProgram, simProgram] = process.argv.slice(2);
const DEADLINE_MS = 15000;
let failures = 0;

function check(condition, what) {
  console.log(`${condition ? 'ok  ' : 'FAIL'} ${what}`);
  if (!condition) failures += 1;
}

// The host prints "URL ..." once, then one line per event it handled.
function startHost(extra = [], program = hostProgram, options = {}) {
  const child = spawn(program, ['--no-browser', '--ui-port', '0', ...extra], { stdio: ['ignore', 'pipe', 'inherit'], ...options });
  const lines = [];
  const waiters = [];
  let buffer = '';
  child.stdout.on('data', (chunk) => {
    buffer += chunk;
    let at;
    while ((at = buffer.indexOf('\n')) >= 0) {
      const line = buffer.slice(0, at);
      buffer = buffer.slice(at + 1);
      lines.push(line);
      for (const w of [...waiters]) if (w.test(line)) { waiters.splice(waiters.indexOf(w), 1); w.resolve(line); }
    }
  });
  const waitLine = (pattern) => new Promise((resolve, reject) => {
    const found = lines.find((l) => pattern.test(l));
    if (found) return resolve(found);
    const waiter = { test: (l) => pattern.test(l), resolve };
    waiters.push(waiter);
    setTimeout(() => reject(new Error(`host never printed ${pattern}; it printed:\n${lines.join('\n')}`)), DEADLINE_MS);
  });
  return { child, lines, waitLine };
}

function request(url, headers = {}) {
  return new Promise((resolve, reject) => {
    const req = http.request(url, { headers, timeout: DEADLINE_MS });
    req.on('response', (res) => { res.resume(); resolve(res.statusCode); });
    req.on('upgrade', (res, socket) => { socket.destroy(); resolve(res.statusCode); });
    req.on('timeout', () => req.destroy(new Error('timeout')));
    req.on('error', reject);
    req.end();
  });
}

function upgrade(url, origin) {
  const headers = {
    Connection: 'Upgrade', Upgrade: 'websocket',
    'Sec-WebSocket-Key': 'dGhlIHNhbXBsZSBub25jZQ==', 'Sec-WebSocket-Version': '13',
  };
  if (origin) headers.Origin = origin;
  return request(url, headers);
}

// A new tab on url, its script errors collected in `problems`.
async function openPage(url, viewport = { width: 1100, height: 720 }) {
  const page = await browser.newPage({ viewport });
  const problems = [];
  page.on('pageerror', (e) => problems.push(String(e)));
  page.setDefaultTimeout(DEADLINE_MS);
  await page.goto(url);
  return { page, problems };
}

// The in-place cell editor: opens over the cell with the text selected; Return and focus loss
// commit, Escape cancels; the box widens with its text up to the list's right edge.
async function cellEditorChecks() {
  const gallery = startHost(['--gallery']);
  try {
    const url = (await gallery.waitLine(/^URL /)).slice(4);
    const { page, problems } = await openPage(url, { width: 1400, height: 760 });
    const list = '[data-dialog="900"] [data-control="16"]';
    const cell = `${list} td[data-row="3"][data-col="2"]`;
    await page.waitForSelector(cell);
    const editor = `${list} input.cell-edit`;

    await page.dblclick(cell);
    await page.waitForSelector(editor);
    const opened = await page.evaluate(([e, c]) => {
      const input = document.querySelector(e);
      const a = input.getBoundingClientRect();
      const b = document.querySelector(c).getBoundingClientRect();
      return {
        value: input.value, focused: document.activeElement === input,
        selected: input.selectionStart === 0 && input.selectionEnd === input.value.length,
        over: Math.abs(a.left - b.left) < 2 && Math.abs(a.top - b.top) < 2 && Math.abs(a.width - b.width) < 2,
      };
    }, [editor, cell]);
    check(opened.value === '4' && opened.focused && opened.selected && opened.over,
      `the editor opens over the cell with its text selected (${JSON.stringify(opened)})`);
    await page.screenshot({ path: path.join(artifacts, 'cell-editor.png') });

    await page.keyboard.type('77');
    await page.keyboard.press('Enter');
    await gallery.waitLine(/^gallery cell row 3 column 2 text 77$/);
    await page.waitForFunction((c) => document.querySelector(c).textContent === '77', cell);
    check(await page.locator(editor).count() === 0, 'Return commits the typed text and closes the editor');

    await page.dblclick(cell);
    await page.waitForSelector(editor);
    await page.keyboard.type('99');
    await page.keyboard.press('Escape');
    await gallery.waitLine(/^gallery cell row 3 column 2 cancelled$/);
    check(await page.locator(editor).count() === 0 && await page.textContent(cell) === '77',
      'Escape ends the edit without text and the cell keeps its value');

    await page.dblclick(cell);
    await page.waitForSelector(editor);
    const long = 'W'.repeat(120);
    await page.keyboard.type(long);
    const widths = await page.evaluate(([e, l, c]) => {
      const input = document.querySelector(e).getBoundingClientRect();
      const box = document.querySelector(l);
      const frame = box.getBoundingClientRect();
      return { right: input.right, cellWidth: document.querySelector(c).getBoundingClientRect().width,
        width: input.width, clientRight: frame.left + box.clientLeft + box.clientWidth };
    }, [editor, list, cell]);
    check(widths.width > widths.cellWidth + 20 && widths.right <= widths.clientRight + 1,
      `typing widens the box up to the list's right edge, not beyond (${JSON.stringify(widths)})`);
    await page.click('[data-dialog="900"] [data-control="12"]');
    await gallery.waitLine(new RegExp(`^gallery cell row 3 column 2 text ${long}$`));
    check(true, 'focus loss commits the text');
    check(problems.length === 0, `no script errors with the cell editor ${problems.join('; ')}`);
    await page.close();
  } finally {
    gallery.child.kill('SIGTERM');
  }
}

// Every control kind drawn and reporting back, and the file dialog browsing the PC.
async function galleryChecks() {
  const gallery = startHost(['--gallery']);
  try {
    const url = (await gallery.waitLine(/^URL /)).slice(4);
    const { page, problems } = await openPage(url, { width: 1400, height: 760 });
    await page.waitForSelector('body[data-rendered="1"]');
    const g = '[data-dialog="900"]';
    await page.waitForSelector(`${g} [data-control="16"] tbody tr`);
    const kinds = await page.evaluate((sel) => [...document.querySelectorAll(`${sel} .ctl`)].map((n) => n.className.split(' ')[1]), g);
    check(['group', 'static', 'edit', 'check', 'combo', 'listbox', 'listview', 'progress', 'slider', 'updown', 'time', 'drawn', 'button']
      .every((k) => kinds.includes(k)), `every control kind is drawn (${[...new Set(kinds)].join(' ')})`);
    await page.screenshot({ path: path.join(artifacts, 'controls.png') });

    await page.fill(`${g} [data-control="12"]`, '12000');
    await gallery.waitLine(/^gallery frequency 12000$/);
    await page.click(`${g} [data-control="13"] input`);
    await gallery.waitLine(/^gallery descramble on$/);
    await page.selectOption(`${g} [data-control="14"]`, { label: '16APSK' });
    await gallery.waitLine(/^gallery modulation 16APSK$/);
    await page.click(`${g} [data-control="16"] td[data-row="2"][data-col="0"]`);
    await gallery.waitLine(/^gallery service row 2$/);
    await page.waitForSelector(`${g} [data-control="16"] tr.selected td[data-row="2"]`);
    await page.dblclick(`${g} [data-control="16"] td[data-row="1"][data-col="2"]`);
    await gallery.waitLine(/^gallery double-click row 1 column 2$/);
    await page.click(`${g} [data-control="19"] button:first-child`);
    await gallery.waitLine(/^gallery scroll 19 to 6$/);
    check(true, 'edit, check box, combo box, list view (click, selection, double-click) and up-down report to the program');

    // The file dialog starts where the program says and browses real folders.
    await page.click(`${g} [data-control="24"]`);
    await page.waitForSelector('.request.filedialog .fd-entry.dir');
    check(await page.inputValue('.request.filedialog .fd-folder') === '/', 'the file dialog opens in the folder the program names');
    await page.dblclick('.request.filedialog .fd-entry.dir >> text="tmp"');
    await page.waitForFunction(() => document.querySelector('.request.filedialog .fd-folder').value === '/tmp');
    await page.screenshot({ path: path.join(artifacts, 'file-dialog.png') });
    await page.fill('.request.filedialog .fd-name input', 'rack.qvc');
    await page.click('.request.filedialog button.default');
    await gallery.waitLine(/^gallery file \/tmp\/rack\.qvc$/);
    check(await page.locator('.request').count() === 0, 'the file dialog answered with the chosen path and closed');
    check(problems.length === 0, `no script errors on the gallery page ${problems.join('; ')}`);
    await page.close();
  } finally {
    gallery.child.kill('SIGTERM');
  }
}

// The real program, with no rack to find: its main window in the page, and the rescan
// button changing the model visibly (the scan reports in the message panel).
async function kaptivChecks() {
  const folder = mkdtempSync(path.join(os.tmpdir(), 'kaptiv-e2e-'));
  const kaptiv = startHost(['--profile', path.join(folder, 'kaptiv.ini'), '--serial', path.join(folder, 'no-such-tty')],
    kaptivProgram, { cwd: folder });
  try {
    const url = (await kaptiv.waitLine(/^URL /)).slice(4);
    const { page, problems } = await openPage(url);
    await page.waitForSelector('body[data-rendered="1"]');
    check((await page.title()).startsWith('KAPTIV 10.2 - FENWIX'), `kaptiv: the tab carries the window title (${await page.title()})`);
    check(await page.isVisible('[data-dialog="254"]'), 'kaptiv: the status panel is shown');
    await page.screenshot({ path: path.join(artifacts, 'kaptiv-main-window.png') });
    await page.click('[data-dialog="102"] [data-control="1023"]');
    await page.waitForFunction(() => document.querySelector('[data-dialog="160"] [data-control="1024"]').value !== '');
    const message = await page.inputValue('[data-dialog="160"] [data-control="1024"]');
    check(message.length > 0, `kaptiv: the rescan click reached the program, which reports in the message panel (${message})`);
    check(problems.length === 0, `kaptiv: no script errors ${problems.join('; ')}`);
    await page.close();
  } finally {
    kaptiv.child.kill('SIGTERM');
    rmSync(folder, { recursive: true, force: true });
  }
}

// The program against the simulated demo rack: the rack appears in the module column,
// clicking a module highlights its chain, rescan finds it again, and a rack that goes away
// empties the column.
async function rackChecks() {
  const folder = mkdtempSync(path.join(os.tmpdir(), 'kaptiv-e2e-rack-'));
  const simChild = spawn(simProgram, ['--gateway-port', '0'], { stdio: ['ignore', 'pipe', 'inherit'] });
  let kaptiv = null;
  try {
    const gateway = await new Promise((resolve, reject) => {
      let buffer = '';
      simChild.stdout.on('data', (chunk) => {
        buffer += chunk;
        const m = /^gateway: ([0-9.]+):([0-9]+)$/m.exec(buffer);
        if (m) resolve({ address: m[1], port: m[2] });
      });
      simChild.on('exit', () => reject(new Error('mulvane-sim ended before it printed its gateway')));
      setTimeout(() => reject(new Error('mulvane-sim printed no gateway line')), DEADLINE_MS);
    });
    const profile = path.join(folder, 'kaptiv.ini');
    writeFileSync(profile, `serverAddress=${gateway.address}\nserverPort=${gateway.port}\n`);
    kaptiv = startHost(['--profile', profile, '--serial', path.join(folder, 'no-such-tty')], kaptivProgram, { cwd: folder });
    const url = (await kaptiv.waitLine(/^URL /)).slice(4);
    const { page, problems } = await openPage(url);
    const list = '[data-dialog="102"] [data-control="1021"]';
    const rowText = (i) => page.evaluate(([sel, n]) => {
      const row = document.querySelector(`${sel} .lv-icon[data-row="${n}"] span`);
      return row ? row.textContent : '';
    }, [list, i]);
    const rowImage = (i) => page.evaluate(([sel, n]) => {
      const img = document.querySelector(`${sel} .lv-icon[data-row="${n}"] img`);
      return img ? img.getAttribute('src') : '';
    }, [list, i]);
    // The gateway's link-up message may start one more scan right after the first: wait until
    // the column has shown the whole rack for a second without change.
    const expected = 'RkPSU,RkSat2.0,RkCI,RkModT4,QVXCT2,RkModC2,RkHD,QVXIP,RkSat1,RkModT1,RkAV,RkModC4';
    let names = [];
    let stableSince = 0;
    for (const end = Date.now() + DEADLINE_MS; Date.now() < end;) {
      names = [];
      for (let i = 0; i < 12; i += 1) names.push((await rowText(i)).split(/\r?\n/)[0]);
      if (names.join(',') !== expected) stableSince = 0;
      else if (!stableSince) stableSince = Date.now();
      else if (Date.now() - stableSince >= 1000) break;
      await page.waitForTimeout(100);
    }
    check(names.join(',') === expected,
      `rack: the demo rack's twelve modules appear in slot order (${names.join(',')})`);
    // The title is refreshed when the scan ends.
    await page.waitForFunction((address) => document.title.includes(`(${address})`), gateway.address).catch(() => {});
    check((await page.title()).includes(`(${gateway.address})`), `rack: the title names the gateway (${await page.title()})`);
    await page.screenshot({ path: path.join(artifacts, 'kaptiv-demo-rack.png') });

    // The 4-channel COFDM modulator (row 3) ends the chain satellite tuner (1) -> CI (2) ->
    // COFDM (3): its input and itself light up, the CI module and the next chain do not.
    const before = [];
    for (let i = 0; i < 5; i += 1) before.push(await rowImage(i));
    await page.click(`${list} .lv-icon[data-row="3"]`);
    await page.waitForFunction(([sel, src]) => {
      const img = document.querySelector(`${sel} .lv-icon[data-row="1"] img`);
      return img && img.getAttribute('src') !== src;
    }, [list, before[1]]);
    const after = [];
    for (let i = 0; i < 5; i += 1) after.push(await rowImage(i));
    check(after[1] !== before[1] && after[3] !== before[3] && after[2] === before[2] && after[4] === before[4],
      'rack: clicking a modulator highlights it and the input of its chain, and nothing else');
    await page.screenshot({ path: path.join(artifacts, 'kaptiv-chain-selected.png') });

    // A rescan deselects the chain and fills the column again.
    await page.click('[data-dialog="102"] [data-control="1023"]');
    await page.waitForFunction(([sel, src]) => {
      const img = document.querySelector(`${sel} .lv-icon[data-row="1"] img`);
      const last = document.querySelector(`${sel} .lv-icon[data-row="11"] span`);
      return img && img.getAttribute('src') === src && last && last.textContent.startsWith('RkModC4');
    }, [list, before[1]]);
    check(true, 'rack: rescan clears the selection and finds the rack again');

    simChild.kill('SIGTERM');
    await page.waitForFunction((sel) => !document.querySelector(`${sel} .lv-icon[data-row="1"] span`), list);
    check(true, 'rack: when the simulator stops, the module column empties');
    check(problems.length === 0, `rack: no script errors ${problems.join('; ')}`);
    await page.close();
  } finally {
    if (kaptiv) kaptiv.child.kill('SIGTERM');
    simChild.kill('SIGTERM');
    rmSync(folder, { recursive: true, force: true });
  }
}

const host = startHost();
let browser;
try {
  const urlLine = await host.waitLine(/^URL /);
  const pageUrl = new URL(urlLine.slice(4));
  const token = pageUrl.searchParams.get('t');
  const origin = `http://${pageUrl.host}`;
  check(/^[0-9a-f]{32}$/.test(token), 'the URL carries a 128-bit token');

  // The server's refusals, seen from outside.
  check(await request(`${origin}/`) === 403, 'a request without the token is refused (403)');
  check(await request(`${origin}/app.js`) === 403, 'an asset without the token is refused (403)');
  check(await request(`${origin}/?t=${'0'.repeat(32)}`) === 403, 'a wrong token is refused (403)');
  check(await request(`${origin}/?t=${token}`, { Host: `evil.example:${pageUrl.port}` }) === 403,
    'a foreign Host is refused (403)');
  check(await upgrade(`${origin}/ws?t=${token}`, 'http://evil.example') === 403,
    'a WebSocket with a foreign Origin is refused (403)');
  check(await upgrade(`${origin}/ws`, origin) === 403, 'a WebSocket without the token is refused (403)');
  check(await upgrade(`${origin}/ws?t=${token}`, origin) === 101, 'the page\'s own WebSocket is accepted (101)');

  browser = await chromium.launch({ executablePath: chromiumPath, headless: true, args: ['--no-sandbox'] });
  const page = await browser.newPage({ viewport: { width: 1100, height: 720 } });
  const problems = [];
  page.on('pageerror', (e) => problems.push(String(e)));
  page.on('console', (m) => { if (m.type() === 'error') problems.push(m.text()); });
  page.setDefaultTimeout(DEADLINE_MS);

  await page.goto(pageUrl.href);
  await page.waitForSelector('body[data-rendered="1"]');
  check(await page.title() === 'KAPTIV 10.2 - FENWIX', 'the tab carries the window title');
  const caption = await page.textContent('[data-dialog="102"] > .caption .title');
  check(caption === 'KAPTIV 10.2 - FENWIX', `the main window shows the title (${caption})`);
  check(await page.isVisible('[data-dialog="254"]'), 'the status panel is shown');
  check(await page.textContent('[data-dialog="254"] [data-control="1207"]') === 'LME#1A',
    'the status panel shows the link notice');
  const message = await page.inputValue('[data-dialog="160"] [data-control="1024"]');
  check(message === 'Searching for the rack...', `the message panel shows a message (${message})`);
  check(await page.locator('[data-dialog="102"] [data-control="1021"] .lv-icon').count() === 13,
    'the module column has 13 rows');
  const brokenImages = await page.evaluate(() => [...document.images].filter((i) => i.getAttribute('src') && i.complete && i.naturalWidth === 0).length);
  check(brokenImages === 0, 'every bitmap loaded');
  const stats = await page.evaluate(() => window.kaptivStats);
  console.log(`figure: page load to first complete render ${stats.firstRenderMs} ms (images decoded at ${stats.imagesReadyMs} ms), snapshot ${stats.snapshotBytes} bytes`);
  await page.screenshot({ path: path.join(artifacts, 'main-window.png') });

  // A click travels to the program, which asks a question and shows the answer.
  await page.click('[data-dialog="102"] [data-control="1023"]');
  await host.waitLine(/^event click dialog=102 control=1023$/);
  check(true, 'the click on the rescan button reached the program');
  await page.waitForSelector('.request.messagebox');
  const beeps = await page.evaluate(() => window.Kaptiv.Sound.log.map((b) => `${b.freq}/${b.ms}`));
  check(beeps.includes('440/200'), `the beep reached the page at its frequency and duration (${beeps.join(' ')})`);
  check((await page.textContent('.request.messagebox .mb-text')) === 'Search the rack again?', 'the message box shows the question');
  await page.screenshot({ path: path.join(artifacts, 'message-box.png') });
  await page.click('.request.messagebox button[data-result="ok"]');
  await host.waitLine(/^answer request=\d+ result=ok/);
  await host.waitLine(/^handled click dialog=102 control=1023 result=delivered/);
  await page.waitForFunction(() => document.querySelector('[data-dialog="160"] [data-control="1024"]').value === 'Rescan 1: confirmed');
  check(true, 'the answer came back and the message panel shows it');
  check(await page.locator('.request').count() === 0, 'the message box closed');
  const delta = await page.evaluate(() => window.kaptivStats.lastUpdateBytes);
  console.log(`figure: last delta message ${delta} bytes`);

  // Escape: down and up both reach the program (the upload loop polls its state).
  await page.keyboard.down('Escape');
  await host.waitLine(/^handled keydown dialog=102 control=\d+ key=Escape result=/);
  await page.keyboard.up('Escape');
  await host.waitLine(/^handled keyup dialog=102 control=\d+ key=Escape result=/);
  check(true, 'Escape down and up reached the program');

  check(problems.length === 0, `no script errors on the page ${problems.join('; ')}`);
  await page.close();
  await galleryChecks();
  await cellEditorChecks();
  if (kaptivProgram) await kaptivChecks();
  if (kaptivProgram && simProgram) await rackChecks();
} catch (error) {
  console.log(`FAIL ${error.stack || error}`);
  failures += 1;
} finally {
  if (browser) await browser.close();
  host.child.kill('SIGTERM');
}
console.log(failures === 0 ? 'e2e: all checks passed' : `e2e: ${failures} check(s) failed`);
process.exit(failures === 0 ? 0 : 1);
