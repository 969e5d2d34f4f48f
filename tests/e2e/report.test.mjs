// Browser test of the installation report: node report.test.mjs HOST ARTIFACTS CHROMIUM KAPTIV SIM
// Starts the simulated demo rack and kaptiv against its gateway, presses the report button,
// names the file in the save dialog, waits for the report to walk the rack, then checks the
// file's bytes and opens it in the browser for a screenshot. Every wait has a deadline.
import { spawn } from 'node:child_process';
import path from 'node:path';
import { createRequire } from 'node:module';
import { existsSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import os from 'node:os';
import { pathToFileURL } from 'node:url';

const require = createRequire(import.meta.url);
const { chromium } = require('playwright-core');

const [, artifactsArg, chromiumPath, kaptivArg, simArg] = process.argv.slice(2);
const resolved = (p) => (p ? path.resolve(p) : p);
const [artifacts, kaptivProgram, simProgram] = [artifactsArg, kaptivArg, simArg].map(resolved);
const DEADLINE_MS = 15000;
const REPORT_DEADLINE_MS = 60000;
let failures = 0;

function check(condition, what) {
  console.log(`${condition ? 'ok  ' : 'FAIL'} ${what}`);
  if (!condition) failures += 1;
}

function waitForLine(child, pattern, what) {
  return new Promise((resolve, reject) => {
    let buffer = '';
    child.stdout.on('data', (chunk) => {
      buffer += chunk;
      const m = pattern.exec(buffer);
      if (m) resolve(m);
    });
    child.on('exit', () => reject(new Error(`${what} ended before printing ${pattern}`)));
    child.on('error', (e) => reject(e));
    setTimeout(() => reject(new Error(`${what} never printed ${pattern}`)), DEADLINE_MS);
  });
}

if (!kaptivProgram || !simProgram) {
  console.log('SKIPPED: kaptiv or mulvane-sim not built');
  process.exit(77);
}

const folder = mkdtempSync(path.join(os.tmpdir(), 'kaptiv-e2e-report-'));
const sim = spawn(simProgram, ['--gateway-port', '0'], { stdio: ['ignore', 'pipe', 'inherit'] });
let kaptiv = null;
let browser = null;
try {
  const [, address, port] = await waitForLine(sim, /^gateway: ([0-9.]+):([0-9]+)$/m, 'mulvane-sim');
  const profile = path.join(folder, 'kaptiv.ini');
  writeFileSync(profile, `serverAddress=${address}\nserverPort=${port}\n`);
  kaptiv = spawn(kaptivProgram, ['--no-browser', '--ui-port', '0', '--profile', profile, '--serial', path.join(folder, 'no-tty')],
    { stdio: ['ignore', 'pipe', 'inherit'], cwd: folder });
  const [, url] = await waitForLine(kaptiv, /^URL (\S+)$/m, 'kaptiv');

  browser = await chromium.launch({ executablePath: chromiumPath, headless: true, args: ['--no-sandbox'] });
  const page = await browser.newPage({ viewport: { width: 1000, height: 780 } });
  const problems = [];
  page.on('pageerror', (e) => problems.push(String(e)));
  page.setDefaultTimeout(DEADLINE_MS);
  await page.goto(url);
  await page.waitForSelector('body[data-rendered="1"]');

  const list = '[data-dialog="102"] [data-control="1021"]';
  await page.waitForFunction((sel) => {
    const last = document.querySelector(`${sel} .lv-icon[data-row="11"] span`);
    return last && last.textContent.startsWith('RkModC4');
  }, list);
  await page.waitForFunction(() => {
    const button = document.querySelector('[data-dialog="102"] [data-control="1027"]');
    return button && !button.disabled;
  });

  // The report button: the save dialog opens in the program's report folder.
  await page.click('[data-dialog="102"] [data-control="1027"]');
  await page.waitForSelector('.filedialog');
  check(existsSync(path.join(folder, 'report')), 'the report folder is created for the dialog');
  const typed = path.join(folder, 'report', 'rack1');
  await page.fill('.filedialog .fd-name input', typed);
  await page.click('.filedialog button.default');

  const written = `${typed}.html`;
  const end = Date.now() + REPORT_DEADLINE_MS;
  let bytes = Buffer.alloc(0);
  while (Date.now() < end) {
    if (existsSync(written)) {
      bytes = readFileSync(written);
      if (bytes.toString('latin1').endsWith('</body></html>')) break;
    }
    await page.waitForTimeout(250);
  }
  const text = bytes.toString('latin1');
  check(text.endsWith('</body></html>'), `the report of the demo rack is complete (${bytes.length} bytes)`);
  check(text.startsWith('<html><head><meta http-equiv="Content-Type" content="text/html; charset=ISO-8859-1">'),
    'the file starts with its header');
  const headings = (text.match(/<h2 align ="CENTER"/g) || []).length;
  check(headings === 12, `one heading per module (${headings})`);
  const bare = text.split('\n').slice(0, -1).filter((line) => !line.endsWith('\r')).length;
  check(bare === 0, 'every line ends in CR-LF');
  const panel = '[data-dialog="160"] [data-control="1024"]';
  await page.waitForFunction((sel) => (document.querySelector(sel)?.value || '').includes('rack1.html'), panel).catch(() => {});
  const message = await page.inputValue(panel);
  check(message.endsWith(written), `the message panel names the saved file (${message})`);
  await page.screenshot({ path: path.join(artifacts, 'report-saved.png') });
  check(problems.length === 0, `no script errors ${problems.join('; ')}`);

  // The report as the installer opens it.
  const view = await browser.newPage({ viewport: { width: 1000, height: 1400 } });
  await view.goto(pathToFileURL(written).href);
  check((await view.title()) === 'KAPTIV - REPORT FILE', 'the browser shows the report with its title');
  await view.screenshot({ path: path.join(artifacts, 'report-demo-rack.png'), fullPage: true });
  // Its first screen, as a picture small enough for the user's guide.
  await view.screenshot({ path: path.join(artifacts, 'report-first-screen.png'), clip: { x: 0, y: 0, width: 1000, height: 760 } });
} catch (error) {
  console.log(`FAIL ${error.stack || error}`);
  failures += 1;
} finally {
  if (browser) await browser.close();
  if (kaptiv) kaptiv.kill('SIGTERM');
  sim.kill('SIGTERM');
  rmSync(folder, { recursive: true, force: true });
}
console.log(failures === 0 ? 'e2e report: all checks passed' : `e2e report: ${failures} check(s) failed`);
process.exit(failures === 0 ? 0 : 1);
