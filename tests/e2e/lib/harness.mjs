// Shared by the browser tests, one file per window:
//   node <window>.test.mjs HOST ARTIFACTS CHROMIUM [KAPTIV_PROGRAM SIM_PROGRAM]
// Checks print "ok" or "FAIL"; every wait has a deadline; nothing sleeps.
import { spawn } from 'node:child_process';
import http from 'node:http';
import { createRequire } from 'node:module';

const require = createRequire(import.meta.url);
const { chromium } = require('playwright-core');

export const [hostProgram, artifacts, chromiumPath, kaptivProgram, simProgram] = process.argv.slice(2);
export const DEADLINE_MS = 15000;
let failures = 0;
let browser;

export function check(condition, what) {
  console.log(`${condition ? 'ok  ' : 'FAIL'} ${what}`);
  if (!condition) failures += 1;
}

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
// collected in `problems`.
export async function openPage(url, viewport = { width: 1100, height: 720 }, { consoleErrors = false } = {}) {
  const page = await browser.newPage({ viewport });
  const problems = [];
  page.on('pageerror', (e) => problems.push(String(e)));
  if (consoleErrors) page.on('console', (m) => { if (m.type() === 'error') problems.push(m.text()); });
  page.setDefaultTimeout(DEADLINE_MS);
  await page.goto(url);
  return { page, problems };
}

export async function launchBrowser() {
  browser = await chromium.launch({ executablePath: chromiumPath, headless: true, args: ['--no-sandbox'] });
  return browser;
}

// Runs the checks of one window, counts an exception as a failure, closes the browser and
// ends the process with the outcome.
export async function runChecks(name, body, cleanup = () => {}) {
  try {
    await launchBrowser();
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
