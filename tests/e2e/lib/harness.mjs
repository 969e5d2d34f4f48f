// Shared by the browser tests, one file per window:
//   node <window>.test.mjs HOST ARTIFACTS CHROMIUM [KAPTIV_PROGRAM SIM_PROGRAM]
// Checks print "ok" or "FAIL"; every wait has a deadline; nothing sleeps.
import { spawn } from 'node:child_process';
import { mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import http from 'node:http';
import { createRequire } from 'node:module';
import os from 'node:os';
import path from 'node:path';

const require = createRequire(import.meta.url);
// Loaded on first use: the Firefox test shares the programs' helpers but not the driver.
let chromium = null;

// Absolute paths: kaptiv runs in a folder of its own.
const absolute = (p) => (p ? path.resolve(p) : p);
const [hostArg, artifactsArg, chromiumArg, kaptivArg, simArg] = process.argv.slice(2);
export const [hostProgram, artifacts, kaptivProgram, simProgram] = [hostArg, artifactsArg, kaptivArg, simArg].map(absolute);
export const chromiumPath = chromiumArg;
export const DEADLINE_MS = 15000;
let failures = 0;
let browser;

export function check(condition, what) {
  console.log(`${condition ? 'ok  ' : 'FAIL'} ${what}`);
  if (!condition) failures += 1;
}

// How many checks have failed so far.
export const failureCount = () => failures;

// A check that something happens within the deadline: the wait's own outcome is the result.
export async function eventually(wait, what) {
  check(await wait.then(() => true, () => false), what);
}

// The host prints "URL ..." once, then one line per event it handled.
export function startHost(extra = [], program = hostProgram, options = {}) {
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

// Resolves with the match once a program's output matches pattern; fails when the program
// cannot start, ends first, or has not printed it within the deadline.
export function waitOutput(child, pattern, what, deadline = DEADLINE_MS) {
  return new Promise((resolve, reject) => {
    let buffer = '';
    child.stdout.on('data', (chunk) => {
      buffer += chunk;
      const m = pattern.exec(buffer);
      if (m) resolve(m);
    });
    child.on('error', (e) => reject(new Error(`${what}: ${e.message}`)));
    child.on('exit', (code) => reject(new Error(`${what} ended (${code}) before it printed ${pattern}: ${buffer}`)));
    setTimeout(() => reject(new Error(`${what} never printed ${pattern}: ${buffer}`)), deadline);
  });
}

// A promise that may be left unawaited (a program that is stopped early) without ending the test.
function quiet(promise) {
  promise.catch(() => {});
  return promise;
}

// mulvane-sim with args (by default the demo rack on a free gateway port): the child, its gateway
// { address, port } once printed, and its exit.
export function startSim(args = ['--gateway-port', '0']) {
  const child = spawn(simProgram, args, { stdio: ['ignore', 'pipe', 'inherit'] });
  const exited = new Promise((resolve) => child.on('exit', resolve));
  const gateway = quiet(waitOutput(child, /^gateway: ([0-9.]+):([0-9]+)$/m, 'mulvane-sim').then(([, address, port]) => ({ address, port })));
  return { child, gateway, exited };
}

// kaptiv against the gateway at address:port, its profile in folder and no serial line to find;
// it runs in cwd (its program folder). The child and the URL of its page once printed.
export function startKaptiv(folder, { address, port }, cwd = folder) {
  const profile = path.join(folder, 'kaptiv.ini');
  writeFileSync(profile, `serverAddress=${address}\nserverPort=${port}\n`);
  const args = ['--no-browser', '--ui-port', '0', '--profile', profile, '--serial', path.join(folder, 'no-tty')];
  // KAPTIV_E2E_TRACE=FILE writes every exchange with the rack to FILE (kaptiv-config trace show).
  if (process.env.KAPTIV_E2E_TRACE) args.push('--trace', path.resolve(process.env.KAPTIV_E2E_TRACE));
  const child = spawn(kaptivProgram, args, { stdio: ['ignore', 'pipe', 'inherit'], cwd });
  const url = quiet(waitOutput(child, /^URL (\S+)$/m, 'kaptiv').then((m) => m[1]));
  return { child, url };
}

// Ends the test as skipped (77) unless kaptiv and mulvane-sim were given.
export function needRackPrograms() {
  if (kaptivProgram && simProgram) return;
  console.log('SKIPPED: kaptiv or mulvane-sim not built');
  process.exit(77);
}

// The simulated demo rack and kaptiv against it, in a new temporary folder (kaptiv-e2e-NAME-...):
// the programs, the folder and kaptiv's URL. stop() ends both programs and removes the folder.
// files: name -> content written into the program folder first (pref.txt chooses the language).
// simArgs(folder): more arguments for the simulator (a scenario file written by files...).
export async function startRack(name, files = {}, { simArgs } = {}) {
  const folder = mkdtempSync(path.join(os.tmpdir(), `kaptiv-e2e-${name}-`));
  for (const [file, content] of Object.entries(files)) writeFileSync(path.join(folder, file), content);
  const sim = startSim(simArgs ? ['--gateway-port', '0', ...simArgs(folder)] : undefined);
  let kaptiv = null;
  const stop = () => {
    if (kaptiv) kaptiv.child.kill('SIGTERM');
    sim.child.kill('SIGTERM');
    rmSync(folder, { recursive: true, force: true });
  };
  try {
    const gateway = await sim.gateway;
    kaptiv = startKaptiv(folder, gateway);
    return { sim, kaptiv, folder, url: await kaptiv.url, stop };
  } catch (error) {
    stop();
    throw error;
  }
}

// The main window's module column.
export const MODULE_LIST = '[data-dialog="102"] [data-control="1021"]';

// Waits until the module column shows the whole demo rack: its last module, RkModC4, in row 11.
export function waitRack(page) {
  return page.waitForFunction((sel) => {
    const last = document.querySelector(`${sel} .lv-icon[data-row="11"] span`);
    return last && last.textContent.startsWith('RkModC4');
  }, MODULE_LIST);
}

// Lets the settings page's tick write (1.5 s), leaves it for the first module and rescans the
// rack: the rescan reads every block back from the simulated modules.
export async function leaveAndRescan(page) {
  await page.waitForTimeout(1500);
  await page.click(`${MODULE_LIST} .lv-icon[data-row="0"]`);
  await page.waitForSelector('[data-dialog="145"]', { state: 'hidden' });
  await page.click('[data-dialog="102"] [data-control="1023"]');
  await page.waitForFunction((sel) => !document.querySelector(`${sel} .lv-icon[data-row="11"] span`), MODULE_LIST).catch(() => {});
  await waitRack(page);
}

// The gateway's link-up may start a second scan right after the first: waits for the whole rack,
// then until it has stayed for a second (a scan empties the column first).
export async function waitRackSettled(page) {
  await waitRack(page);
  for (let stable = 0, end = Date.now() + DEADLINE_MS; stable < 10 && Date.now() < end;) {
    const full = await page.evaluate((sel) => !!document.querySelector(`${sel} .lv-icon[data-row="11"] span`), MODULE_LIST);
    stable = full ? stable + 1 : 0;
    await page.waitForTimeout(100);
  }
}

export function request(url, headers = {}) {
  return new Promise((resolve, reject) => {
    const req = http.request(url, { headers, timeout: DEADLINE_MS });
    req.on('response', (res) => { res.resume(); resolve(res.statusCode); });
    req.on('upgrade', (res, socket) => { socket.destroy(); resolve(res.statusCode); });
    req.on('timeout', () => req.destroy(new Error('timeout')));
    req.on('error', reject);
    req.end();
  });
}

export function upgrade(url, origin) {
  const headers = {
    Connection: 'Upgrade', Upgrade: 'websocket',
    'Sec-WebSocket-Key': 'dGhlIHNhbXBsZSBub25jZQ==', 'Sec-WebSocket-Version': '13',
  };
  if (origin) headers.Origin = origin;
  return request(url, headers);
}

// A new tab on url, its script errors (and with consoleErrors, the console's errors too)
// collected in `problems`; init runs in the page before any of its own scripts.
export async function openPage(url, viewport = { width: 1100, height: 720 }, { consoleErrors = false, init } = {}) {
  if (!browser) await launchBrowser();
  const page = await browser.newPage({ viewport });
  const problems = [];
  page.on('pageerror', (e) => problems.push(String(e)));
  if (consoleErrors) page.on('console', (m) => { if (m.type() === 'error') problems.push(m.text()); });
  page.setDefaultTimeout(DEADLINE_MS);
  if (init) await page.addInitScript(init);
  await page.goto(url);
  return { page, problems };
}

export async function launchBrowser() {
  if (!chromium) ({ chromium } = require('playwright-core'));
  browser = await chromium.launch({ executablePath: chromiumPath, headless: true, args: ['--no-sandbox'] });
  return browser;
}

// Runs the checks of one window, counts an exception as a failure, closes the browser and
// ends the process with the outcome. With browserFirst false, the browser starts with the first
// page the checks open (after the programs they start, as the rack's first scan wants).
export async function runChecks(name, body, cleanup = () => {}, { browserFirst = true } = {}) {
  try {
    if (browserFirst) await launchBrowser();
    await body();
  } catch (error) {
    console.log(`FAIL ${error.stack || error}`);
    failures += 1;
  } finally {
    if (browser) await browser.close();
    cleanup();
  }
  console.log(failures === 0 ? `${name}: all checks passed` : `${name}: ${failures} check(s) failed`);
  process.exit(failures === 0 ? 0 : 1);
}
