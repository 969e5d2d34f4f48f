// Browser test of the streaming tuner's files and schedule: node streaming.test.mjs HOST ARTIFACTS CHROMIUM KAPTIV SIM
// Starts the simulated demo rack and kaptiv against its gateway, uploads a clip to the
// terrestrial tuner's USB key through the page's file dialog, uploads and deletes names with
// brackets and spaces beside their look-alikes (each delete removes exactly its file), schedules
// the clip, and checks after a rescan (which reads the key and the block back from the
// simulator) that both hold it.
// Every wait has a deadline.
import path from 'node:path';
import { writeFileSync } from 'node:fs';
import { artifacts, check, leaveAndRescan, MODULE_LIST, needRackPrograms, openPage, runChecks, startRack, waitRackSettled } from './lib/harness.mjs';

needRackPrograms();

let rack = null;
await runChecks('e2e streaming', async () => {
  rack = await startRack('streaming');
  // A transport stream of 40 packets to put on the tuner's key.
  const clip = path.join(rack.folder, 'e2e-clip.ts');
  const packets = Buffer.alloc(188 * 40);
  for (let i = 0; i < packets.length; i += 188) packets[i] = 0x47;
  writeFileSync(clip, packets);
  const { page, problems } = await openPage(rack.url, { width: 1000, height: 780 });
  await page.waitForSelector('body[data-rendered="1"]');

  const list = MODULE_LIST;
  const settings = '[data-dialog="145"]';
  const control = (id) => `${settings} [data-control="${id}"]`;
  const FILE_LIST = 1086, UPLOAD = 1200, SCHEDULE = 1040, START = 1087, END = 1088, ADD = 1089;
  await waitRackSettled(page);
  const fileItems = () => page.$$eval(`${control(FILE_LIST)} .item`, (items) => items.map((i) => i.textContent));
  const scheduleText = () => page.textContent(control(SCHEDULE));
  const openTuner = async () => {
    await page.click(`${list} .lv-icon[data-row="4"]`);
    await page.waitForSelector(settings, { state: 'visible' });
    // The first status answer reports the key: the stream entries come first.
    await page.waitForFunction((sel) => document.querySelectorAll(`${sel} .item`).length >= 2, control(FILE_LIST));
  };

  await openTuner();
  const first = await fileItems();
  check(first[0] === 'udp://@:' && first[1] === 'rtp://@:', `the terrestrial tuner lists the stream entries first (${first.join(', ')})`);

  // Upload through the page's file dialog: the name typed as a full path.
  const listed = (name) => page.waitForFunction(([sel, n]) => [...document.querySelectorAll(`${sel} .item`)].some((i) => i.textContent === n),
    [control(FILE_LIST), name]);
  const upload = async (file, shot) => {
    await page.click(control(UPLOAD));
    await page.waitForSelector('.filedialog');
    await page.fill('.filedialog .fd-name input', file);
    if (shot) await page.screenshot({ path: path.join(artifacts, shot) });
    await page.click('.filedialog button.default');
    await listed(path.basename(file));
  };
  await upload(clip, 'streaming-upload-dialog.png');
  check(true, 'the uploaded clip is listed from the key');

  // Names a shell would read otherwise come and go exactly: "clip[1].ts" beside its look-alike
  // "clip1.ts", and "my clip.ts" beside "my" and "clip.ts".
  const DELETE = 1201;
  const tricky = ['clip1.ts', 'my', 'clip.ts', 'clip[1].ts', 'my clip.ts'];
  for (const name of tricky) {
    const file = path.join(rack.folder, name);
    writeFileSync(file, packets.subarray(0, 188 * 2));
    await upload(file);
  }
  const uploaded = await fileItems();
  check(tricky.every((n) => uploaded.includes(n)), `names with brackets and spaces upload (${uploaded.join(', ')})`);
  for (const name of ['clip[1].ts', 'my clip.ts']) {
    const before = await fileItems();
    await page.click(`${control(FILE_LIST)} .item[data-index="${before.indexOf(name)}"]`);
    await page.waitForFunction((sel) => !document.querySelector(sel).disabled, control(DELETE));
    await page.click(control(DELETE));
    await page.waitForFunction(([sel, n]) => ![...document.querySelectorAll(`${sel} .item`)].some((i) => i.textContent === n),
      [control(FILE_LIST), name]);
    const after = await fileItems();
    const others = before.filter((n) => n !== name);
    check(others.every((n) => after.includes(n)) && after.length === others.length,
      `deleting "${name}" removes exactly that file (${after.join(', ')})`);
  }

  // Schedule it from 05:00 to 05:30.
  const items = await fileItems();
  await page.click(`${control(FILE_LIST)} .item[data-index="${items.indexOf('e2e-clip.ts')}"]`);
  await page.fill(control(START), '05:00');
  await page.press(control(START), 'Tab');
  await page.fill(control(END), '05:30');
  await page.press(control(END), 'Tab');
  await page.waitForFunction((sel) => !document.querySelector(sel).disabled, control(ADD));
  await page.click(control(ADD));
  await page.waitForFunction(([sel, name]) => document.querySelector(sel).textContent.includes(name), [control(SCHEDULE), 'e2e-clip.ts']);
  const shown = await scheduleText();
  check(/5:00/.test(shown) && /5:30/.test(shown), `the schedule shows the new window (${shown.replace(/\s+/g, ' ')})`);
  await page.screenshot({ path: path.join(artifacts, 'streaming-scheduled.png') });

  // Let the page write, leave, rescan: the simulator gives back its key and its block.
  await leaveAndRescan(page);
  await openTuner();
  await page.waitForFunction(([sel, name]) => [...document.querySelectorAll(`${sel} .item`)].some((i) => i.textContent === name),
    [control(FILE_LIST), 'e2e-clip.ts']).catch(() => {});
  const again = await fileItems();
  check(again.includes('e2e-clip.ts'), `the simulated key still holds the clip after a rescan (${again.join(', ')})`);
  const kept = await scheduleText();
  check(kept.includes('e2e-clip.ts') && /5:00/.test(kept), `the tuner's block holds the entry after a rescan (${kept.replace(/\s+/g, ' ')})`);
  check(problems.length === 0, `no script errors ${problems.join('; ')}`);
}, () => rack?.stop(), { browserFirst: false });
