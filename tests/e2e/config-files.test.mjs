// Browser test of configuration files: node config-files.test.mjs HOST ARTIFACTS CHROMIUM KAPTIV SIM
// The installer saves the simulated demo rack to a file, the rack's settings change (the
// simulator comes back on the same gateway port with a changed COFDM level, built from a file),
// the installer loads the saved file, reads the check summary, confirms, and the rack holds the
// file's blocks again (the simulator writes its modules' blocks out when it stops). Saving
// again under the same typed name asks before the file is replaced. With the Load file dialog
// open again, SIGTERM ends kaptiv within 2 s. Every wait has a deadline.
import path from 'node:path';
import { existsSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import os from 'node:os';
import { artifacts, check, failureCount, launchBrowser, needRackPrograms, startKaptiv, startSim } from './lib/harness.mjs';

const DEADLINE_MS = 20000;

needRackPrograms();

// The entries of a configuration file: type, then the block.
function entries(bytes) {
  const out = [];
  for (let pos = 0; pos + 3 <= bytes.length;) {
    const length = (bytes[pos + 1] << 8) | bytes[pos + 2];
    out.push({ type: bytes[pos], block: bytes.subarray(pos + 3, pos + 3 + length) });
    pos += 3 + length;
  }
  return out;
}

const folder = mkdtempSync(path.join(os.tmpdir(), 'kaptiv-e2e-config-'));
let browser = null;
let sim = startSim(['--gateway-port', '0']);
let kaptiv = null;
let page = null;
try {
  const gateway = await sim.gateway;
  kaptiv = startKaptiv(folder, gateway);
  const url = await kaptiv.url;
  browser = await launchBrowser();
  page = await browser.newPage({ viewport: { width: 1100, height: 760 } });
  const problems = [];
  page.on('pageerror', (e) => problems.push(String(e)));
  page.setDefaultTimeout(DEADLINE_MS);
  await page.goto(url);

  const main = '[data-dialog="102"]';
  const lastRow = `${main} [data-control="1021"] .lv-icon[data-row="11"] span`;
  const message = () => page.evaluate(() => {
    const m = document.querySelector('[data-dialog="160"] [data-control="1024"]');
    return m ? m.value : '';
  });
  const rackShown = () => page.waitForFunction((sel) => {
    const last = document.querySelector(sel);
    return last && last.textContent.startsWith('RkModC4');
  }, lastRow, { timeout: DEADLINE_MS });
  const buttonEnabled = (id) => page.waitForFunction((sel) => {
    const b = document.querySelector(sel);
    return b && !b.disabled;
  }, `${main} button[data-control="${id}"]`, { timeout: DEADLINE_MS });
  // Clicks a main-window button until its file dialog appears: a click that reaches the program
  // while a scan has the button disabled is dropped, as on the original.
  const openFileDialog = async (id) => {
    for (const end = Date.now() + DEADLINE_MS; Date.now() < end;) {
      await buttonEnabled(id);
      await page.click(`${main} button[data-control="${id}"]`);
      if (await page.waitForSelector('.request.filedialog', { timeout: 2000 }).then(() => true, () => false)) return;
    }
    throw new Error(`button ${id} never opened its file dialog`);
  };
  // Saves through button 1024 under `name` in the folder the dialog opens in; returns the
  // file's entries once it is there (it appears whole: it is renamed into place).
  let saveDialogShown = false;
  const save = async (name) => {
    const file = path.join(folder, 'config', `${name}.qvc`);
    rmSync(file, { force: true });
    await openFileDialog(1024);
    check((await page.textContent('.request.filedialog')).includes('Select name to save hardware configuration'),
      `save: the file dialog carries the save title (${name})`);
    await page.waitForFunction(() => document.querySelector('.request.filedialog .fd-folder').value.endsWith('/config'));
    await page.fill('.request.filedialog .fd-name input', name);
    if (!saveDialogShown) {
      await page.screenshot({ path: path.join(artifacts, 'config-save-dialog.png') });
      saveDialogShown = true;
    }
    await page.click('.request.filedialog button.default');
    await page.waitForFunction(() => document.querySelector('.request') === null);
    for (const end = Date.now() + DEADLINE_MS; !existsSync(file) && Date.now() < end;) await page.waitForTimeout(50);
    return existsSync(file) ? entries(readFileSync(file)) : [];
  };
  // Saves again and again (each save reads the tool's rack image) until `wanted` holds for the
  // saved entries or the deadline passes; the rack is rescanned in between.
  const saveUntil = async (name, wanted) => {
    let got = [];
    for (const end = Date.now() + DEADLINE_MS; Date.now() < end;) {
      await rackShown();
      got = await save(name);
      if (got.length === 12 && wanted(got)) return got;
      await buttonEnabled(1023);
      await page.click(`${main} [data-control="1023"]`);
      await page.waitForTimeout(500);
    }
    return got;
  };

  await rackShown();
  await save('site1');
  const savedPath = path.join(folder, 'config', 'site1.qvc');
  const savedMessage = `Configuration saved into ${savedPath}`;
  await page.waitForFunction((text) => {
    const m = document.querySelector('[data-dialog="160"] [data-control="1024"]');
    return m && m.value === text;
  }, savedMessage).catch(() => {});
  check((await message()) === savedMessage, `save: the message names the file (${await message()})`);
  const saved = readFileSync(savedPath);
  const savedEntries = entries(saved);
  check(savedEntries.map((e) => e.type).join(',') === '0,7,3,6,12,11,14,13,4,2,9,8',
    `save: one entry per module in slot order (${savedEntries.map((e) => e.type).join(',')})`);

  // The same typed name again: the question names site1.qvc, the file that would really be
  // replaced. "No" keeps it and brings the dialog back; "Yes" replaces it.
  writeFileSync(savedPath, Buffer.from('kept'));
  const saveAgain = async (answer) => {
    await page.waitForSelector('.request.filedialog');
    await page.fill('.request.filedialog .fd-name input', 'site1');
    await page.click('.request.filedialog button.default');
    await page.waitForSelector('.request.messagebox');
    const question = await page.textContent('.request.messagebox .mb-text');
    check(question.includes('site1.qvc already exists.') && question.includes('Do you want to replace it?'),
      `save again: the question names site1.qvc (${question})`);
    if (answer === 'no') await page.screenshot({ path: path.join(artifacts, 'config-replace-question.png') });
    await page.click(`.request.messagebox button[data-result="${answer}"]`);
  };
  await openFileDialog(1024);
  await saveAgain('no');
  await page.waitForSelector('.request.filedialog');
  check(readFileSync(savedPath).toString() === 'kept', 'save again: "No" leaves the file as it was');
  await saveAgain('yes');
  await page.waitForFunction(() => document.querySelector('.request') === null);
  for (const end = Date.now() + DEADLINE_MS; readFileSync(savedPath).length <= 4 && Date.now() < end;) await page.waitForTimeout(50);
  check(entries(readFileSync(savedPath)).length === 12, 'save again: "Yes" replaces it with the rack\'s configuration');

  // The rack changes: the COFDM modulator (slot 3) gets another output level.
  const changed = Buffer.from(saved);
  let at = 0;
  for (let i = 0; i < 3; i += 1) at += 3 + savedEntries[i].block.length;
  const levelAt = at + 3 + 7;
  changed[levelAt] = changed[levelAt] === 0x40 ? 0x50 : 0x40;
  const changedPath = path.join(folder, 'changed.qvc');
  writeFileSync(changedPath, changed);
  sim.child.kill('SIGTERM');
  await sim.exited;
  const simFinal = path.join(folder, 'sim-final.qvc');
  sim = startSim(['--gateway-port', gateway.port, '--rack-from-config', changedPath, '--save-config-on-exit', simFinal]);
  await sim.gateway;
  // The tool loses the rack and finds it again with the changed level.
  const before = await saveUntil('before-load', (got) => got[3].block[7] === changed[levelAt]);
  check(before.length === 12 && before[3].block[7] === changed[levelAt], 'the rack now holds the changed level');

  // Load the saved file: the check dialog shows the summary; OK writes the file's settings.
  await openFileDialog(1025);
  check((await page.textContent('.request.filedialog')).includes('Select Configuration file to upload in hardware'),
    'load: the file dialog carries the load title');
  await page.waitForSelector('.request.filedialog .fd-entry.file >> text="site1.qvc"');
  await page.dblclick('.request.filedialog .fd-entry.file >> text="site1.qvc"');
  const dialog = '[data-dialog="195"]';
  await page.waitForSelector(`${dialog} [data-control="1024"]`);
  const summary = await page.inputValue(`${dialog} [data-control="1024"]`);
  const lines = summary.split(/\r?\n/);
  check(lines[0] === 'Loaded configuration matches current installation.', `check: the file matches (${lines[0]})`);
  check(lines[2] === 'Short Description :' && lines.includes('Slot 3 : RkModT4'), 'check: the summary lists the modules');
  check(lines.some((l) => l.startsWith('  Frequency : ') && l.includes('MHz (')), 'check: the modulator lines are there');
  check(lines.includes('Slot 1 : RkSat2.0') && lines.includes('Sat. : A'), 'check: the tuner lines are there');
  check(await page.isEnabled(`${dialog} [data-control="1"]`), 'check: OK is enabled on a match');
  await page.screenshot({ path: path.join(artifacts, 'config-check.png') });
  await page.click(`${dialog} [data-control="1"]`);
  await page.waitForFunction(() => {
    const m = document.querySelector('[data-dialog="160"] [data-control="1024"]');
    return m && m.value === 'Configuration uploaded to harware.';
  });
  check(true, 'load: "Configuration uploaded to harware." after OK');

  // Open Load and send SIGTERM: kaptiv ends within 2 s, though its file dialog is still open.
  await openFileDialog(1025);
  const exited = new Promise((resolve) => kaptiv.child.on('exit', (code, signal) => resolve({ code, signal })));
  const sentAt = Date.now();
  kaptiv.child.kill('SIGTERM');
  const ended = await Promise.race([exited, new Promise((resolve) => setTimeout(() => resolve(null), 10000))]);
  const endedMs = Date.now() - sentAt;
  check(ended !== null && endedMs < 2000, `SIGTERM with the Load file dialog open: kaptiv ended after ${endedMs} ms`);
  check(ended !== null && ended.code === 0, `kaptiv ended normally (${JSON.stringify(ended)})`);
  if (ended === null) kaptiv.child.kill('SIGKILL'); // it ignored the signal: leave no process behind
  kaptiv = null;

  // What the simulated modules hold now: the simulator writes them out when it stops.
  sim.child.kill('SIGTERM');
  await sim.exited;
  const final = existsSync(simFinal) ? entries(readFileSync(simFinal)) : [];
  check(final.length === 12 && Buffer.compare(final[3].block, savedEntries[3].block) === 0,
    'the simulated COFDM modulator received the file\'s block');
  check(final.length === 12 && final[3].block[7] === saved[levelAt], 'its level is the saved one again');
  check(final.length === 12 && final.every((e, i) => e.type === savedEntries[i].type), 'the simulated rack kept its modules');
  check(problems.length === 0, `no script errors ${problems.join('; ')}`);
} catch (error) {
  console.log(`FAIL ${error.stack || error}`);
  if (page) await page.screenshot({ path: path.join(artifacts, 'config-failure.png') }).catch(() => {});
  check(false, 'the checks ran to their end');
} finally {
  if (browser) await browser.close();
  if (kaptiv) kaptiv.child.kill('SIGTERM');
  sim.child.kill('SIGTERM');
  rmSync(folder, { recursive: true, force: true });
}
const failures = failureCount();
console.log(failures === 0 ? 'e2e config files: all checks passed' : `e2e config files: ${failures} check(s) failed`);
process.exit(failures === 0 ? 0 : 1);
