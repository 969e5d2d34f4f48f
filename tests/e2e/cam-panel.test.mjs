// Browser test of the common-interface panel: node cam-panel.test.mjs HOST ARTIFACTS CHROMIUM KAPTIV SIM
// Starts the simulated demo rack and kaptiv against it, opens the page in headless Chromium,
// selects the CI module, walks into the subscriptions sub-menu and back, answers the CAM's PIN
// enquiry and sees the CAM's answer. Screenshots of the panel go to ARTIFACTS. Every wait has
// a deadline; nothing sleeps.
import { spawn } from 'node:child_process';
import path from 'node:path';
import { createRequire } from 'node:module';
import { mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import os from 'node:os';

const require = createRequire(import.meta.url);
const { chromium } = require('playwright-core');

// The arguments of run-e2e.sh: HOST ARTIFACTS CHROMIUM KAPTIV SIM (the host is not used here).
const [, artifacts, chromiumPath, kaptivProgram, simProgram] = process.argv.slice(2).map((a, i) => (i >= 3 ? path.resolve(a) : a));
const DEADLINE_MS = 15000;
// A CAM that is still starting when the panel opens is given 15 s before the main menu is
// asked for.
const MENU_DEADLINE_MS = 45000;
let failures = 0;

function check(condition, what) {
  console.log(`${condition ? 'ok  ' : 'FAIL'} ${what}`);
  if (!condition) failures += 1;
}

function waitForOutput(child, pattern, what) {
  return new Promise((resolve, reject) => {
    let buffer = '';
    child.stdout.on('data', (chunk) => {
      buffer += chunk;
      const m = pattern.exec(buffer);
      if (m) resolve(m);
    });
    child.on('error', (e) => reject(new Error(`${what}: ${e.message}`)));
    child.on('exit', () => reject(new Error(`${what} ended before it printed ${pattern}`)));
    setTimeout(() => reject(new Error(`${what} never printed ${pattern}:\n${buffer}`)), DEADLINE_MS);
  });
}

const PANEL = '[data-dialog="161"]';
const LIST = `${PANEL} [data-control="1020"]`;
const FIELD = `${PANEL} [data-control="1035"]`;
const LIGHT = `${PANEL} [data-control="1028"] img`;
const MESSAGE = '[data-dialog="160"] [data-control="1024"]';

async function lines(page) {
  return page.$$eval(`${LIST} .item`, (items) => items.map((i) => i.textContent));
}

// Polls the list until test(lines) holds or the time is up, then checks it.
async function waitForLines(page, test, what, timeout = DEADLINE_MS) {
  let now = await lines(page);
  for (const end = Date.now() + timeout; !test(now) && Date.now() < end;) {
    await page.waitForTimeout(50);
    now = await lines(page);
  }
  check(test(now), `${what} (${now.join(' | ')})`);
  return now;
}

let browser;
const folder = mkdtempSync(path.join(os.tmpdir(), 'kaptiv-e2e-cam-'));
const sim = spawn(simProgram, ['--gateway-port', '0'], { stdio: ['ignore', 'pipe', 'inherit'] });
let kaptiv = null;
try {
  const gateway = await waitForOutput(sim, /^gateway: ([0-9.]+):([0-9]+)$/m, 'mulvane-sim');
  const profile = path.join(folder, 'kaptiv.ini');
  writeFileSync(profile, `serverAddress=${gateway[1]}\nserverPort=${gateway[2]}\n`);
  kaptiv = spawn(kaptivProgram, ['--no-browser', '--ui-port', '0', '--profile', profile, '--serial',
    path.join(folder, 'no-such-tty')], { stdio: ['ignore', 'pipe', 'inherit'], cwd: folder });
  const url = (await waitForOutput(kaptiv, /^URL (\S+)$/m, 'kaptiv'))[1];

  browser = await chromium.launch({ executablePath: chromiumPath, headless: true, args: ['--no-sandbox'] });
  const page = await browser.newPage({ viewport: { width: 1100, height: 720 } });
  const problems = [];
  page.on('pageerror', (e) => problems.push(String(e)));
  page.setDefaultTimeout(DEADLINE_MS);
  await page.goto(url);

  // The CI module sits in slot 2 of the demo rack.
  const ciRow = '[data-dialog="102"] [data-control="1021"] .lv-icon[data-row="2"]';
  await page.waitForFunction((sel) => {
    const label = document.querySelector(`${sel} span`);
    return label && label.textContent.startsWith('RkCI');
  }, ciRow);
  await page.click(ciRow);
  await page.waitForSelector(PANEL, { state: 'visible' });
  check(await page.isVisible(PANEL), 'selecting the CI module opens the common-interface panel');

  const main = await waitForLines(page, (l) => l.length === 8 && l[0] === 'Kestrel CA module',
    'the CAM\'s main menu arrives: title, subtitle, empty, three items, empty, bottom', MENU_DEADLINE_MS);
  check(main[3] === 'Smart card status' && main[2] === '' && main[6] === '', 'the items sit between the empty lines');
  check((await page.getAttribute(LIGHT, 'src') || '').includes('190'), 'the status light is green');
  const colours = await page.$eval(LIST, (n) => [getComputedStyle(n).color, getComputedStyle(n).backgroundColor]);
  check(colours[0] === 'rgb(128, 128, 255)' && colours[1] === 'rgb(0, 0, 0)', `the menu is light blue on black (${colours})`);
  await page.screenshot({ path: path.join(artifacts, 'cam-main-menu.png') });

  // Into the sub-menu and back with Escape.
  await page.dblclick(`${LIST} .item[data-index="4"]`);
  await waitForLines(page, (l) => l.length === 8 && l[0] === 'Subscriptions', 'a double-click on "Subscriptions" opens the sub-menu');
  await page.screenshot({ path: path.join(artifacts, 'cam-sub-menu.png') });
  await page.focus(LIST);
  await page.keyboard.press('Escape');
  await waitForLines(page, (l) => l.length === 8 && l[0] === 'Kestrel CA module', 'Escape goes back to the main menu');

  // The PIN enquiry: a blind answer field over the list, at most four characters.
  await page.dblclick(`${LIST} .item[data-index="5"]`);
  await page.waitForSelector(FIELD, { state: 'visible' });
  check(await page.getAttribute(FIELD, 'type') === 'password', 'the PIN field hides what is typed');
  check(await page.evaluate((sel) => document.activeElement === document.querySelector(sel), FIELD),
    'the PIN field has the keyboard focus');
  check((await lines(page)).join() === 'Enter your parental PIN (4 digits)', 'the enquiry text is the only line');
  await page.keyboard.type('123456');
  check(await page.inputValue(FIELD) === '1234', 'the field takes at most the four characters the CAM allows');
  await page.screenshot({ path: path.join(artifacts, 'cam-pin-enquiry.png') });
  // The confirmation may stand only for a moment before the CAM's next menu replaces it:
  // collect every text the message panel shows meanwhile.
  await page.evaluate((sel) => {
    window.camMessages = [];
    window.camWatch = setInterval(() => {
      const value = document.querySelector(sel).value;
      if (window.camMessages[window.camMessages.length - 1] !== value) window.camMessages.push(value);
    }, 1);
  }, MESSAGE);
  await page.keyboard.press('Enter');
  await page.waitForSelector(FIELD, { state: 'hidden' });
  await waitForLines(page, (l) => l.length === 7 && l[1] === 'PIN accepted', 'the CAM accepts the PIN and opens parental control');
  const messages = await page.evaluate(() => { clearInterval(window.camWatch); return window.camMessages; });
  check(!messages.some((m) => m.includes('1234')), `the message panel never shows the PIN in clear (${messages.join(' / ')})`);
  await page.locator(PANEL).screenshot({ path: path.join(artifacts, 'cam-panel.png') });
  await page.screenshot({ path: path.join(artifacts, 'cam-pin-accepted.png') });

  // Selecting another module closes the panel.
  await page.click('[data-dialog="102"] [data-control="1021"] .lv-icon[data-row="0"]');
  await page.waitForSelector(PANEL, { state: 'hidden' });
  check(!(await page.isVisible(PANEL)), 'selecting another module closes the panel');
  check(problems.length === 0, `no script errors ${problems.join('; ')}`);
} catch (error) {
  console.log(`FAIL ${error.stack || error}`);
  failures += 1;
} finally {
  if (browser) await browser.close();
  if (kaptiv) kaptiv.kill('SIGTERM');
  sim.kill('SIGTERM');
  rmSync(folder, { recursive: true, force: true });
}
console.log(failures === 0 ? 'e2e cam: all checks passed' : `e2e cam: ${failures} check(s) failed`);
process.exit(failures === 0 ? 0 : 1);
