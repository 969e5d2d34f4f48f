// Browser test of the firmware update: node firmware-update.test.mjs HOST ARTIFACTS CHROMIUM KAPTIV SIM
// mulvane-sim writes a firmware folder for its demo rack into kaptiv's program folder
// (--write-firmware); kaptiv's first scan updates the modules. The page must show the update
// messages and the progress bar, then the rebooted rack with its new releases. The rack is
// started only once the page is open, so that the page sees the first scan from its start
// (kaptiv indexes the firmware folder at start-up, so the folder is written before that).
// Every wait has a deadline; nothing sleeps.
import net from 'node:net';
import path from 'node:path';
import { mkdtempSync, mkdirSync, rmSync } from 'node:fs';
import os from 'node:os';
import { artifacts, check, failureCount, needRackPrograms, openPage, runChecks, startKaptiv, startSim } from './lib/harness.mjs';

// The update, the reboot wait (8 s through the gateway) and the next scan.
const UPDATE_DEADLINE_MS = 60000;

needRackPrograms();

const folder = mkdtempSync(path.join(os.tmpdir(), 'kaptiv-e2e-firmware-'));
const program = path.join(folder, 'program');
mkdirSync(program);
let sim = null;
let kaptiv = null;
await runChecks('e2e firmware update', async () => {
  // A free port for the simulated gateway; kaptiv keeps trying it until the rack is there.
  const port = await new Promise((resolve) => {
    const probe = net.createServer().listen(0, '127.0.0.1', () => {
      const { port: p } = probe.address();
      probe.close(() => resolve(p));
    });
  });
  // The folder must be there when kaptiv starts (it is read once, at start-up): a first run of
  // the simulator writes it; the second, started later, writes the same files again.
  const writer = startSim(['--gateway-port', '0', '--write-firmware', path.join(program, 'firmware')]);
  await writer.gateway;
  writer.child.kill('SIGTERM');
  kaptiv = startKaptiv(folder, { address: '127.0.0.1', port }, program);
  const url = await kaptiv.url;

  // Everything the message panel shows, and whether its bar moved, sampled on every change.
  const sampleMessages = () => {
    window.firmwareLog = { messages: [], progress: 0 };
    const sample = () => {
      const message = document.querySelector('[data-dialog="160"] [data-control="1024"]');
      const text = message ? (message.value ?? message.textContent) : '';
      const log = window.firmwareLog.messages;
      if (text && log[log.length - 1] !== text) log.push(text);
      const bar = document.querySelector('[data-dialog="160"] [data-control="1001"]');
      if (bar && bar.offsetParent !== null) {
        window.firmwareLog.progress = Math.max(window.firmwareLog.progress, Number(bar.getAttribute('aria-valuenow') || 0));
      }
    };
    new MutationObserver(sample).observe(document, { subtree: true, childList: true, attributes: true, characterData: true });
    setInterval(sample, 5);
  };
  const { page, problems } = await openPage(url, undefined, { init: sampleMessages });
  page.setDefaultTimeout(UPDATE_DEADLINE_MS);
  await page.waitForSelector('[data-dialog="160"] [data-control="1024"]');
  sim = startSim(['--gateway-port', String(port), '--write-firmware', path.join(program, 'firmware')]);
  await sim.gateway;

  const list = '[data-dialog="102"] [data-control="1021"]';
  const rowText = (i) => page.evaluate(([sel, n]) => {
    const row = document.querySelector(`${sel} .lv-icon[data-row="${n}"] span`);
    return row ? row.textContent.replace(/\s+/g, ' ') : '';
  }, [list, i]);
  // After the reboot the column shows the new releases and the changed personality.
  const wanted = { 1: 'RkSat2.0 2.5(H3)', 3: 'RkModC4 2.2(H2)', 6: 'RkHD 3.1.1.12', 8: 'RkSat1 3.6', 11: 'RkModC4 2.2(H1)' };
  let rows = {};
  for (const end = Date.now() + UPDATE_DEADLINE_MS; Date.now() < end;) {
    rows = {};
    for (const i of Object.keys(wanted)) rows[i] = await rowText(Number(i));
    if (Object.keys(wanted).every((i) => rows[i] === wanted[i])) break;
    await page.waitForTimeout(200);
  }
  for (const [i, text] of Object.entries(wanted)) check(rows[i] === text, `row ${i} shows "${text}" (${rows[i]})`);
  await page.screenshot({ path: path.join(artifacts, 'kaptiv-firmware-updated.png') });

  const log = await page.evaluate(() => window.firmwareLog);
  // The message line is one line: the CR-LF between heading and state shows as a dash.
  const saw = (part) => log.messages.some((m) => m.includes(part));
  check(saw('Updating module 1 (RkSat2.0) to release V2.5 \u2014 Sending...'), 'the panel showed the type 7 transfer');
  check(saw('Updating module 1 (RkSat2.0) to release V2.5 \u2014 OK'), 'and its "OK"');
  check(saw('Module 3 change : RkModC4 release V2.2'), 'the panel showed the personality change');
  check(saw('QVXHD4ENC(HW[1.2])'), 'the panel showed the HD encoder component');
  check(saw('Hardware updated - Reboot required - Wait...'), 'the panel showed the reboot');
  check(!saw('ERROR !'), `no transfer failed (${log.messages.filter((m) => m.includes('ERROR')).join('; ')})`);
  check(log.progress > 0, `the progress bar moved (up to ${log.progress})`);
  check(problems.length === 0, `no script errors ${problems.join('; ')}`);
  if (failureCount()) console.log(`messages shown: ${JSON.stringify(log.messages)}`);
  await page.close();
}, () => {
  if (kaptiv) kaptiv.child.kill('SIGTERM');
  if (sim) sim.child.kill('SIGTERM');
  rmSync(folder, { recursive: true, force: true });
});
