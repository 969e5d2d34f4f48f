// Smoke test in Debian's default browser: node firefox-smoke.test.mjs HOST ARTIFACTS FIREFOX
// KAPTIV SIM. Firefox ESR, driven over WebDriver BiDi by puppeteer-core (no browser download),
// opens the page of kaptiv against the simulated demo rack and takes the same walk as the
// Chromium tests: the main window, the settings page of each family, the CAM panel, the about
// box, the file dialog and the check dialog. Any script error or text cut off without a hover
// text fails it.
import { createRequire } from 'node:module';
import path from 'node:path';
import { artifacts, chromiumPath as firefoxPath, check, failureCount, needRackPrograms, startRack } from './lib/harness.mjs';
import { clippedTexts, walkWindows } from './lib/walk.mjs';

needRackPrograms();
const require = createRequire(import.meta.url);
const puppeteer = require('puppeteer-core');

let rack = null;
let browser = null;
try {
  rack = await startRack('firefox');
  browser = await puppeteer.launch({
    browser: 'firefox', executablePath: firefoxPath, headless: true, protocol: 'webDriverBiDi',
    args: ['--no-remote'], extraPrefsFirefox: { 'browser.sessionstore.resume_from_crash': false },
  });
  const page = await browser.newPage();
  await page.setViewport({ width: 1000, height: 780 });
  const problems = [];
  page.on('pageerror', (e) => problems.push(String(e)));
  page.on('console', (m) => { if (m.type() === 'error') problems.push(m.text()); });
  await page.goto(rack.url);
  const cut = [];
  const seen = [];
  await walkWindows(page, async (where) => {
    seen.push(where);
    for (const c of await clippedTexts(page)) cut.push(`${where} ${c.where}: "${c.text}"`);
    if (where === 'main' || where === 'settings-sat2.0-ci-cofdm4')
      await page.screenshot({ path: path.join(artifacts, `firefox-${where}.png`) });
  });
  check(seen.includes('cam') && seen.includes('file-dialog') && seen.filter((s) => s.startsWith('settings-')).length === 5,
    `Firefox: every window was reached (${seen.join(', ')})`);
  check(cut.length === 0, `Firefox: no text is cut off without a hover text${cut.length ? `:\n  ${cut.join('\n  ')}` : ''}`);
  check(problems.length === 0, `Firefox: no script error (${problems.join('; ')})`);
} catch (error) {
  check(false, `Firefox: ${error.stack || error}`);
} finally {
  if (browser) await browser.close().catch(() => {});
  if (rack) {
    if (rack.kaptiv) rack.kaptiv.child.kill('SIGKILL'); // a dialog left open may outlive SIGTERM
    rack.stop();
  }
}
const failures = failureCount();
console.log(failures === 0 ? 'e2e firefox: all checks passed' : `e2e firefox: ${failures} check(s) failed`);
process.exit(failures === 0 ? 0 : 1);
