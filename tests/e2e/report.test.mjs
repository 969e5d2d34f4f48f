// Browser test of the installation report: node report.test.mjs HOST ARTIFACTS CHROMIUM KAPTIV SIM
// Starts the simulated demo rack and kaptiv against its gateway, presses the report button,
// names the file in the save dialog, waits for the report to walk the rack, then checks the
// file's bytes, asks for the same name again (the question appears), and opens the report in
// the browser for a screenshot. Every wait has a deadline.
import path from 'node:path';
import { existsSync, readFileSync } from 'node:fs';
import { pathToFileURL } from 'node:url';
import { artifacts, check, needRackPrograms, openPage, runChecks, startRack, waitRack } from './lib/harness.mjs';

const REPORT_DEADLINE_MS = 60000;

needRackPrograms();

let rack = null;
await runChecks('e2e report', async () => {
  rack = await startRack('report');
  const { folder } = rack;
  const { page, problems } = await openPage(rack.url, { width: 1000, height: 780 });
  await page.waitForSelector('body[data-rendered="1"]');

  await waitRack(page);
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

  // The report button again with the same typed name: the question names rack1.html, the file
  // that would be replaced; "No" leaves it byte for byte and brings the dialog back.
  await page.waitForFunction(() => {
    const button = document.querySelector('[data-dialog="102"] [data-control="1027"]');
    return button && !button.disabled;
  });
  await page.click('[data-dialog="102"] [data-control="1027"]');
  await page.waitForSelector('.request.filedialog');
  await page.fill('.request.filedialog .fd-name input', typed);
  await page.click('.request.filedialog button.default');
  await page.waitForSelector('.request.messagebox');
  const question = await page.textContent('.request.messagebox .mb-text');
  check(question.includes('rack1.html already exists.') && question.includes('Do you want to replace it?'),
    `report again: the question names rack1.html (${question})`);
  await page.click('.request.messagebox button[data-result="no"]');
  await page.waitForSelector('.request.filedialog');
  await page.click('.request.filedialog .buttons button:not(.default)');
  await page.waitForFunction(() => document.querySelector('.request') === null);
  check(Buffer.compare(readFileSync(written), bytes) === 0, 'report again: "No" leaves the report byte for byte');

  // The report as the installer opens it.
  const { page: view } = await openPage(pathToFileURL(written).href, { width: 1000, height: 1400 });
  check((await view.title()) === 'KAPTIV - REPORT FILE', 'the browser shows the report with its title');
  await view.screenshot({ path: path.join(artifacts, 'report-demo-rack.png'), fullPage: true });
  // Its first screen, as a picture small enough for the user's guide.
  await view.screenshot({ path: path.join(artifacts, 'report-first-screen.png'), clip: { x: 0, y: 0, width: 1000, height: 760 } });
}, () => rack?.stop(), { browserFirst: false });
