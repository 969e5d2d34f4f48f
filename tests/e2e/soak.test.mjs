// Soak run: node soak.test.mjs HOST ARTIFACTS CHROMIUM KAPTIV SIM KAPTIV_CONFIG [MINUTES] [SEED]
// (started by scripts/soak.sh, or by ctest for one minute). The simulated demo rack and kaptiv
// run as in the other browser tests; Chromium does a seeded random mix of what installers do
// for MINUTES minutes, while the simulator is restarted every two minutes on the same port with
// the rack's settings kept (its save-on-exit file is the next one's rack), some restarts with an
// answer fault. What must hold, each a check that fails the run:
//   - no script or console error in any tab;
//   - no action left hanging past its deadline;
//   - every valid value typed is what the simulator holds at its next restart, and every
//     refused value left the module unchanged and the focus in its field;
//   - every saved .qvc passes `kaptiv-config qvc dump`;
//   - every report is complete, or absent with the message panel saying why;
//   - every file uploaded and deleted on a streaming tuner is listed as it should be; under an
//     answer fault a transfer may fail instead, but only with the page saying so;
//   - the CAM menus answer every choice; under an answer fault a reply may be lost instead, but
//     then the panel must come back to the main menu by itself;
//   - kaptiv's RSS and open files at the end are within a small margin of their level after
//     the warm-up;
//   - kaptiv and the simulator exit cleanly, and no temporary file is left in their folders.
// Figures are printed at the end. Traffic stays on loopback; every loop is bounded in count
// and in time, and a watchdog ends the run if it overstays.
import { spawn, spawnSync } from 'node:child_process';
import { existsSync, mkdirSync, mkdtempSync, readdirSync, readFileSync, rmSync, statSync, writeFileSync } from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import {
  artifacts, check, failureCount, launchBrowser, MODULE_LIST, needRackPrograms, startKaptiv, startSim, waitRack,
} from './lib/harness.mjs';

needRackPrograms();
const [configArg, minutesArg, seedArg] = process.argv.slice(7);
const kaptivConfig = configArg ? path.resolve(configArg) : '';
const MINUTES = Number(minutesArg ?? 10);
const SEED = Number(seedArg ?? 1);
if (!kaptivConfig || !existsSync(kaptivConfig)) {
  console.log('SKIPPED: kaptiv-config not built');
  process.exit(77);
}
if (!Number.isInteger(MINUTES) || MINUTES < 1 || MINUTES > 24 * 60 || !Number.isInteger(SEED) || SEED < 0) {
  console.log(`soak: MINUTES must be a whole number from 1 to 1440 and SEED a whole number (got ${minutesArg}, ${seedArg})`);
  process.exit(2);
}

const RUN_MS = MINUTES * 60000;
// A restart every two minutes; a one-minute run restarts once, half-way.
const RESTART_MS = MINUTES === 1 ? 30000 : 120000;
const WARMUP_MS = Math.min(120000, Math.max(15000, RUN_MS / 5));
const ACTION_DEADLINE_MS = 30000;
const WAIT_MS = 20000;
const MAX_ACTIONS = MINUTES * 300;
// Margins of the end's figures over the warm-up's.
const RSS_MARGIN = { ratio: 0.1, kib: 2048 };
const FD_MARGIN = 2;
// One answer in N with the fault. A scan starts again from its first module after a lost
// answer, so N stays above the ~30 answers of a scan of the demo rack.
const FAULTS = ['truncated:40', 'byte-by-byte:4', 'other-address:40'];

// Seeded randomness (mulberry32): the same seed gives the same mix. The faults of the restarts
// draw from a stream of their own, so that they do not depend on how many actions a loaded
// machine managed before a restart.
function generator(seed) {
  let state = seed >>> 0;
  return () => {
    state = (state + 0x6D2B79F5) >>> 0;
    let t = state;
    t = Math.imul(t ^ (t >>> 15), t | 1);
    t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  };
}
const random = generator(SEED);
const faultRandom = generator(SEED ^ 0x5EED5EED);
const randomInt = (lo, hi) => lo + Math.floor(random() * (hi - lo + 1));
const pick = (list) => list[Math.floor(random() * list.length)];

const started = Date.now();
const elapsed = () => Date.now() - started;
// The run's own clock leaves out the time the simulator takes to restart and the tool to find
// the rack again, so that a run of N minutes does N minutes of actions.
let restartMs = 0;
const active = () => elapsed() - restartMs;
const stamp = () => `[${(elapsed() / 1000).toFixed(1).padStart(6)} s]`;
const log = (text) => console.log(`${stamp()} ${text}`);
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// Everything the run writes is in one folder: kaptiv's program folder, its profile, the
// simulator's rack files and the clips to upload.
const folder = mkdtempSync(path.join(os.tmpdir(), 'kaptiv-soak-'));
const simFolder = path.join(folder, 'sim');
const clipFolder = path.join(folder, 'clips');
mkdirSync(simFolder);
mkdirSync(clipFolder);

// The page's parts.
const MAIN = '[data-dialog="102"]';
const SETTINGS = '[data-dialog="145"]';
const CAM = '[data-dialog="161"]';
const CAM_LIST = `${CAM} [data-control="1020"]`;
const CAM_FIELD = `${CAM} [data-control="1035"]`;
const PANEL = '[data-dialog="160"] [data-control="1024"]';
const CHECK_DIALOG = '[data-dialog="195"]';
const TRANSFER = '[data-dialog="241"]';
const control = (id) => `${SETTINGS} [data-control="${id}"]`;
const row = (r) => `${MODULE_LIST} .lv-icon[data-row="${r}"]`;
const TABLE = control(1710);
const cell = (r, k) => `${TABLE} td[data-row="${r}"][data-col="${k}"]`;
const COL_SID = 3;
const COL_LCN = 27;

// What the installer edits, per family's chain (and controls only that family's page shows or
// hides, to know the page is the chain's): the control, where the simulator's block holds
// it in `qvc dump` (slot and path), how to pick a valid value and, for a field the page checks,
// a value it refuses.
const FAMILIES = [
  {
    name: 'sat2.0-ci-cofdm4', row: 1, modulatorSlot: 3, shown: [1351], hidden: [], fields: [
      { id: 1311, slot: 1, path: ['sections', 0, 'frequencyMHz'], valid: () => randomInt(10750, 12700) },
      { id: 1539, slot: 3, path: ['nitVersion'], valid: () => randomInt(0, 31), refused: () => randomInt(32, 99) },
    ],
  },
  {
    name: 'terrestrial-qam2', row: 4, modulatorSlot: 5, shown: [1355], hidden: [], fields: [
      { id: 1357, slot: 4, path: ['terrestrial', 0, 'frequencyKHz'], valid: () => 474000 + 8000 * randomInt(0, 40) },
      { id: 1539, slot: 5, path: ['nitVersion'], valid: () => randomInt(0, 31), refused: () => randomInt(32, 255) },
    ],
  },
  {
    name: 'hd-ipstreamer', row: 6, modulatorSlot: null, shown: [1452], hidden: [], fields: [
      { id: 1456, slot: 6, path: ['channels', 0, 'videoRateKbps'], valid: () => 100 * randomInt(40, 150), refused: () => pick([100 * randomInt(1, 39), 100 * randomInt(151, 300)]) },
      { id: 1590, slot: 7, path: ['ttl'], valid: () => randomInt(1, 255), refused: () => randomInt(256, 999) },
    ],
  },
  {
    name: 'sat1-cofdm1', row: 8, modulatorSlot: 9, shown: [1311], hidden: [1380], fields: [
      { id: 1311, slot: 8, path: ['sections', 0, 'frequencyMHz'], valid: () => randomInt(10750, 12700) },
      { id: 1539, slot: 9, path: ['nitVersion'], valid: () => randomInt(0, 31), refused: () => randomInt(32, 99) },
    ],
  },
  {
    name: 'av-qam4', row: 10, modulatorSlot: 11, shown: [1412], hidden: [], fields: [
      { id: 1416, slot: 10, path: ['channels', 0, 'videoRateKbps'], valid: () => 100 * randomInt(40, 120), refused: () => pick([100 * randomInt(1, 39), 100 * randomInt(121, 300)]) },
      { id: 1539, slot: 11, path: ['nitVersion'], valid: () => randomInt(0, 31), refused: () => randomInt(32, 99) },
    ],
  },
];
const STREAMING_ROW = 4;
const CI_ROW = 2;

// What the simulated modules must hold: key -> { slot, what, value, read(dump) }.
const expected = new Map();
const expectField = (f, value) => expected.set(`${f.slot}:${f.path.join('.')}`,
  { slot: f.slot, what: `slot ${f.slot} ${f.path.join('.')}`, value, read: (block) => f.path.reduce((v, k) => (v == null ? v : v[k]), block) });
const expectLcn = (slot, sid, value) => expected.set(`${slot}:lcn:${sid}`,
  { slot, what: `slot ${slot} LCN of service ${sid}`, value, read: (block) => (block.services || []).find((s) => s.serviceId === sid)?.logicalChannel });

// Figures.
const timings = new Map(); // kind -> [ms to the visible result]
const counts = new Map(); // kind -> actions done (including failed ones)
const failedKinds = new Map();
const faultsInjected = [];
const samples = {};
let refusals = 0;
let screenshots = 0;
let focusKept = 0;
const savedFiles = [];
const reportFiles = [];

function record(kind, ms) {
  if (!timings.has(kind)) timings.set(kind, []);
  if (ms != null) timings.get(kind).push(ms);
}

function fail(kind, what) {
  failedKinds.set(kind, (failedKinds.get(kind) || 0) + 1);
  check(false, `${stamp()} ${kind}: ${what}`);
}

// Runs `body` with a deadline; a body still running at its deadline is a hung action.
class Hung extends Error {}
async function withDeadline(what, ms, body) {
  let timer;
  const deadline = new Promise((_, reject) => { timer = setTimeout(() => reject(new Hung(`${what} still running after ${ms} ms`)), ms); });
  const work = body();
  work.catch(() => {});
  try {
    return await Promise.race([work, deadline]);
  } finally {
    clearTimeout(timer);
  }
}

// Polls until test() holds (true) or the time is up (false).
async function until(test, ms, every = 50) {
  for (const end = Date.now() + ms; Date.now() < end;) {
    if (await test()) return true;
    await sleep(every);
  }
  return !!(await test());
}

// kaptiv's and the simulator's figures from /proc.
function procFigures(pid) {
  try {
    const status = readFileSync(`/proc/${pid}/status`, 'utf8');
    const rssKib = Number((/^VmRSS:\s+(\d+)/m.exec(status) || [])[1]);
    const fds = readdirSync(`/proc/${pid}/fd`).length;
    const stat = readFileSync(`/proc/${pid}/stat`, 'utf8');
    const fields = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
    const cpuTicks = Number(fields[11]) + Number(fields[12]); // utime, stime
    return { rssKib, fds, cpuSeconds: cpuTicks / 100 };
  } catch {
    return null;
  }
}

function qvcDump(file) {
  const run = spawnSync(kaptivConfig, ['qvc', 'dump', file], { encoding: 'utf8', timeout: 15000 });
  if (run.status !== 0) return { error: `exit ${run.status}: ${(run.stderr || '').trim()}` };
  try {
    return { json: JSON.parse(run.stdout) };
  } catch (e) {
    return { error: `not JSON: ${e.message}` };
  }
}

// Compares what a rack file holds with what was typed; `where` names the file in failures.
function compareExpected(kind, json, where) {
  let mismatches = 0;
  for (const e of expected.values()) {
    const entry = (json.modules || []).find((m) => m.slot === e.slot);
    const got = entry && entry.block ? e.read(entry.block) : undefined;
    if (got !== e.value) {
      mismatches += 1;
      fail(kind, `${where}: ${e.what} is ${got}, typed ${e.value}`);
    }
  }
  return mismatches;
}

// The programs --------------------------------------------------------------------------------

let sim = null;
let simEpoch = 0;
let simPort = '0';
let simCpuSeconds = 0;
let kaptiv = null;
let browser = null;
let page = null;
let url = '';
const tabs = [];
const problems = [];

const simFile = (n) => path.join(simFolder, `sim-${n}.qvc`);

// The answer fault of the simulator running now, if any. A scan that meets a lost or cut answer
// fails, and the tool then stays idle until the installer presses Rescan: that is its designed
// behaviour, so under a fault a Rescan is counted, not failed.
let activeFault = null;
const rescansUnderFault = [];
// A file transfer that an injected answer fault cut short fails, and the page says so ("ERROR !"):
// the tool cannot send a block again that the module may have written. Under a fault that is
// counted, not failed; without one, or without the page saying so, it is a failure.
const transfersFailedUnderFault = [];
// An upload whose last step failed stays on the key under its temporary name (by design: the
// module keeps the bytes it got). Those names are left out when a later delete is checked.
const uploadLeftovers = new Set();
const PAGE_ERROR = 'ERROR !';

async function startSimEpoch(fault) {
  activeFault = fault || null;
  const args = ['--gateway-port', simPort, '--seed', String(SEED), '--save-config-on-exit', simFile(simEpoch + 1)];
  if (simEpoch > 0) args.push('--rack-from-config', simFile(simEpoch));
  if (fault) args.push('--answer-fault', fault);
  simEpoch += 1;
  sim = startSim(args);
  const gateway = await sim.gateway;
  simPort = gateway.port;
  return gateway;
}

// Stops the simulator and checks how it ended and what its modules held.
async function stopSimAndCheck(kind) {
  const figures = procFigures(sim.child.pid);
  if (figures) simCpuSeconds += figures.cpuSeconds;
  sim.child.kill('SIGTERM');
  const code = await Promise.race([sim.exited, sleep(10000).then(() => 'still running')]);
  if (code !== 0) {
    fail(kind, `the simulator did not exit cleanly (${code})`);
    sim.child.kill('SIGKILL');
    await sim.exited;
    return false;
  }
  const file = simFile(simEpoch);
  if (!existsSync(file)) {
    fail(kind, `the simulator wrote no ${path.basename(file)}`);
    return false;
  }
  const dump = qvcDump(file);
  if (dump.error) {
    fail(kind, `${path.basename(file)} does not pass qvc dump (${dump.error})`);
    return false;
  }
  const mismatches = compareExpected(kind, dump.json, `the simulator at its stop (${path.basename(file)})`);
  // No clip of the soak is left in a play-out schedule: each was deleted, which unschedules it.
  for (const m of dump.json.modules || []) {
    const left = ((m.block && m.block.schedule) || []).filter((s) => /^soak-/.test(s.fileName));
    if (left.length) fail(kind, `slot ${m.slot} still schedules ${left.map((s) => s.fileName).join(', ')}`);
  }
  log(`simulator ${simEpoch} stopped: ${expected.size} typed value(s) compared, ${mismatches} wrong`);
  return true;
}

function watchPage(p, name) {
  p.on('pageerror', (e) => problems.push(`${name}: ${e}`));
  p.on('console', (m) => { if (m.type() === 'error') problems.push(`${name} console: ${m.text()}`); });
  // Shorter than an action's deadline: a wait that never ends says what it waited for.
  p.setDefaultTimeout(WAIT_MS);
}

// Page helpers --------------------------------------------------------------------------------

const message = () => page.evaluate((sel) => document.querySelector(sel)?.value ?? '', PANEL);
const visible = (sel) => page.isVisible(sel).catch(() => false);

async function rackShown(ms = ACTION_DEADLINE_MS) {
  await page.waitForFunction((sel) => {
    const last = document.querySelector(`${sel} .lv-icon[data-row="11"] span`);
    return last && last.textContent.startsWith('RkModC4');
  }, MODULE_LIST, { timeout: ms });
}

// Waits until the rack has stayed whole for a second (a rescan empties the column first).
async function rackSettled(ms = ACTION_DEADLINE_MS) {
  const end = Date.now() + ms;
  await rackShown(ms);
  for (let stable = 0; stable < 10 && Date.now() < end;) {
    const full = await page.evaluate((sel) => !!document.querySelector(`${sel} .lv-icon[data-row="11"] span`), MODULE_LIST);
    stable = full ? stable + 1 : 0;
    if (!full) await rackShown(Math.max(1000, end - Date.now()));
    await sleep(100);
  }
}

// The rack must be in the column. When the tool has lost it and not found it again within
// 30 s, that is a failure; the installer then presses Rescan, and the run goes on.
async function ensureRack(kind) {
  if (await rackShown(30000).then(() => true, () => false)) return true;
  if (activeFault) rescansUnderFault.push(`${stamp()} ${kind} (with ${activeFault})`);
  else fail(kind, 'the module column has been empty for 30 s; pressing Rescan');
  const rescan = `${MAIN} button[data-control="1023"]`;
  await page.waitForFunction((sel) => { const b = document.querySelector(sel); return b && !b.disabled; }, rescan).catch(() => {});
  await page.click(rescan).catch(() => {});
  return rackSettled(45000).then(() => true, () => false);
}

// Answers any question left open (a stray message box); returns their texts.
async function clearRequests() {
  const texts = [];
  for (let i = 0; i < 5; i += 1) {
    const open = await page.$$eval('.request', (nodes) => nodes.map((n) => n.textContent));
    if (!open.length) break;
    texts.push(...open);
    const button = await page.$('.request.messagebox button.push');
    if (button) await button.click().catch(() => {});
    else await page.click('.request.filedialog button.push:not(.default)').catch(() => {});
    await sleep(200);
  }
  return texts;
}

async function openChain(r) {
  await rackShown();
  const t0 = Date.now();
  await page.click(row(r));
  await page.waitForSelector(SETTINGS, { state: 'visible' });
  const family = FAMILIES.find((f) => f.row === r);
  if (family) {
    // The page shown is this chain's, not the one open before.
    const isFamily = ([shown, hidden]) => {
      const seen = (id) => { const n = document.querySelector(`[data-dialog="145"] [data-control="${id}"]`); return !!n && n.offsetParent !== null; };
      return shown.every(seen) && !hidden.some(seen);
    };
    const opened = await page.waitForFunction(isFamily, [family.shown, family.hidden]).then(() => true, () => false);
    if (!opened) throw new Error(`clicking row ${r} did not show the page of ${family.name}`);
  }
  await page.waitForFunction((sel) => document.querySelectorAll(`${sel} tbody tr`).length > 0, TABLE).catch(() => {});
  return Date.now() - t0;
}

// Leaves the settings page and the CAM panel (the first module is the controller); closing the
// page writes what it holds, and the tick after it has sent it.
async function leavePage() {
  await rackShown();
  await page.click(row(0));
  await page.waitForSelector(SETTINGS, { state: 'hidden' });
  await page.waitForSelector(CAM, { state: 'hidden' });
  await sleep(1500);
}

// Clicks a main-window button until its file dialog opens (a click while a scan has it
// disabled is dropped).
async function openFileDialog(id) {
  for (let i = 0; i < 20; i += 1) {
    await rackShown();
    await page.waitForFunction((sel) => { const b = document.querySelector(sel); return b && !b.disabled; }, `${MAIN} button[data-control="${id}"]`);
    await page.click(`${MAIN} button[data-control="${id}"]`);
    if (await page.waitForSelector('.request.filedialog', { timeout: 2000 }).then(() => true, () => false)) return;
  }
  throw new Error(`button ${id} never opened its file dialog`);
}

// After OK in a save dialog: answers "replace?" with yes. When the file existed, the question
// must come before it is replaced.
async function confirmReplace(kind = '', existing = '') {
  const box = await page.waitForSelector('.request.messagebox', { timeout: existing ? 3000 : 800 }).catch(() => null);
  const asked = box && /replace|exists/i.test(await box.textContent());
  if (asked) await page.click('.request.messagebox button[data-result="yes"]');
  else if (existing) fail(kind, `saving over ${path.basename(existing)} replaced it without asking`);
}

// The actions --------------------------------------------------------------------------------

async function selectModule() {
  const r = randomInt(0, 11);
  await rackShown();
  const t0 = Date.now();
  await page.click(row(r));
  if (r === CI_ROW) await page.waitForSelector(CAM, { state: 'visible' });
  else if (r === 0) await page.waitForSelector(SETTINGS, { state: 'hidden' });
  else {
    await page.waitForSelector(SETTINGS, { state: 'visible' });
    await page.waitForFunction((sel) => document.querySelectorAll(`${sel} tbody tr`).length > 0, TABLE);
  }
  return Date.now() - t0;
}

async function editValid(family) {
  const field = pick(family.fields);
  await openChain(family.row);
  const sel = control(field.id);
  await page.waitForSelector(sel, { state: 'visible' });
  const before = Number(await page.inputValue(sel));
  let value = field.valid();
  if (value === before) value = field.valid();
  const t0 = Date.now();
  await page.fill(sel, String(value));
  await page.press(sel, 'Tab');
  await page.waitForFunction(([s, v]) => document.querySelector(s).value === v, [sel, String(value)]);
  const ms = Date.now() - t0;
  expectField(field, value);
  // The next tick reads the page: a valid value must not be refused.
  if (await page.waitForSelector('.request.messagebox', { timeout: 1300 }).then(() => true, () => false)) {
    fail('edit-valid', `${family.name} ${field.id} = ${value} was refused: ${(await clearRequests()).join(' / ')}`);
  }
  return ms;
}

async function editRefused(family) {
  const field = pick(family.fields.filter((f) => f.refused));
  await openChain(family.row);
  const sel = control(field.id);
  await page.waitForSelector(sel, { state: 'visible' });
  const beforeText = await page.inputValue(sel);
  const key = `${field.slot}:${field.path.join('.')}`;
  // The module's value stays what it was: what the page showed, or what was typed before.
  if (!expected.has(key)) expectField(field, Number(beforeText));
  const value = field.refused();
  // Half the time the installer moves on with Tab; otherwise the field keeps the focus until
  // the page's next tick reads and refuses it.
  const moveOn = random() < 0.5;
  const t0 = Date.now();
  await page.fill(sel, String(value));
  if (moveOn) await page.press(sel, 'Tab');
  const box = await page.waitForSelector('.request.messagebox', { timeout: 5000 }).catch(() => null);
  const ms = Date.now() - t0;
  refusals += 1;
  if (!box) {
    fail('edit-refused', `${family.name} ${field.id} = ${value}: no refusal shown within 5 s`);
  } else {
    const text = await box.textContent();
    check(/between|integer/i.test(text), `${stamp()} edit-refused: ${family.name} ${field.id} = ${value} is refused${moveOn ? ' after Tab' : ''} (${text.replace(/\s+/g, ' ')})`);
    await page.click('.request.messagebox button.push');
    await page.waitForSelector('.request.messagebox', { state: 'hidden' });
    const kept = await until(() => page.evaluate((s) => document.activeElement === document.querySelector(s), sel), 2000);
    if (kept) focusKept += 1;
    else {
      const where = await page.evaluate(() => {
        const a = document.activeElement;
        return a ? `${a.tagName.toLowerCase()}${a.dataset?.control ? ` ${a.dataset.control}` : ''}` : 'nothing';
      });
      fail('edit-refused', `${family.name} ${field.id} = ${value}${moveOn ? ' (after Tab)' : ''}: the focus is not in the refused field after the message (on ${where})`);
    }
  }
  // The installer puts the field back as it was; the page then writes again.
  await page.fill(sel, beforeText);
  await page.press(sel, 'Tab');
  if (await page.waitForSelector('.request.messagebox', { timeout: 1300 }).then(() => true, () => false)) {
    fail('edit-refused', `${family.name} ${field.id}: putting back ${beforeText} was refused: ${(await clearRequests()).join(' / ')}`);
  }
  return box ? ms : null;
}

async function editLcn() {
  const family = pick(FAMILIES.filter((f) => f.modulatorSlot != null));
  await openChain(family.row);
  await page.waitForFunction((sel) => document.querySelectorAll(`${sel} tbody tr`).length > 0, TABLE);
  // Rows of services on the modulator: a service id and an LCN.
  const rows = await page.$$eval(`${TABLE} tbody tr`, (trs) => trs.map((tr) => {
    const sid = tr.querySelector('td[data-col="3"]')?.textContent.trim() ?? '';
    const lcn = tr.querySelector('td[data-col="27"]')?.textContent.trim() ?? '';
    return { sid, lcn };
  }).filter((r) => /^[0-9]+$/.test(r.sid) && /^[0-9]+$/.test(r.lcn)));
  if (!rows.length) {
    fail('edit-lcn', `${family.name}: no service with an LCN in the table`);
    return null;
  }
  const target = pick(rows);
  const sid = Number(target.sid);
  const rowOf = () => page.$$eval(`${TABLE} td[data-col="3"]`, (tds, id) => {
    const td = tds.find((t) => t.textContent.trim() === id);
    return td ? Number(td.dataset.row) : -1;
  }, target.sid);
  if (!expected.has(`${family.modulatorSlot}:lcn:${sid}`)) expectLcn(family.modulatorSlot, sid, Number(target.lcn));
  let lcn = randomInt(100, 899);
  if (String(lcn) === target.lcn) lcn += 1;
  const t0 = Date.now();
  // The cell editor follows its service: when the table is rebuilt under it (a relock moves the
  // rows), the edit ends without writing, by design. The installer then types it again; a second
  // edit that is not shown either (or a second editor that does not open) is a failure.
  let shown = false;
  let noEditor = false;
  for (let attempt = 0; attempt < 2 && !shown; ++attempt) {
    const r = await rowOf();
    if (r < 0) continue;
    await page.dblclick(cell(r, COL_LCN));
    // A rebuild can end the editor as soon as it opens (the same design): the installer
    // double-clicks again, once.
    if (!(await page.waitForSelector(`${TABLE} .cell-edit`, { timeout: 5000 }).then(() => true, () => false))) {
      if (attempt === 0) log(`edit-lcn: ${family.name}: no editor opened on service ${sid}; double-clicked again`);
      noEditor = true;
      continue;
    }
    noEditor = false;
    await page.fill(`${TABLE} .cell-edit`, String(lcn)).catch(() => {});
    await page.press(`${TABLE} .cell-edit`, 'Enter').catch(() => {});
    shown = await until(async () => {
      const now = await rowOf();
      return now >= 0 && (await page.textContent(cell(now, COL_LCN)).catch(() => '')).trim() === String(lcn);
    }, 5000);
    if (!shown && attempt === 0) log(`edit-lcn: ${family.name}: service ${sid} did not take LCN ${lcn}; typed again`);
  }
  const ms = Date.now() - t0;
  if (!shown) {
    fail('edit-lcn', noEditor ? `${family.name}: no cell editor opened on service ${sid}, twice`
      : `${family.name}: service ${sid} does not show the typed LCN ${lcn}`);
    return null;
  }
  expectLcn(family.modulatorSlot, sid, lcn);
  return ms;
}

const camLines = () => page.$$eval(`${CAM_LIST} .item`, (items) => items.map((i) => i.textContent));
const mainMenu = (l) => l.length === 8 && l[0] === 'Kestrel CA module';
// Under an injected answer fault the CAM's reply to a choice can be lost on its way (the CI
// module hands its data over once). The panel must then come back to the main menu by itself:
// that is counted, not failed. Without a fault, or without the main menu, it is a failure.
class CamReplyLost extends Error {}
const camRepliesLostUnderFault = [];
async function camWait(test, what, ms) {
  if (await until(async () => test(await camLines()), ms)) return;
  const lines = await camLines();
  if (activeFault && test !== mainMenu && mainMenu(lines)) throw new CamReplyLost(what);
  throw new Error(`CAM: ${what} never came (${lines.join(' | ')})`);
}

async function camWalk() {
  await rackShown();
  const t0 = Date.now();
  await page.click(row(CI_ROW));
  await page.waitForSelector(CAM, { state: 'visible' });
  // A CAM that is still starting (after a restart) is given 15 s before the menu is asked for.
  await camWait(mainMenu, 'the main menu', 45000);
  const ms = Date.now() - t0;
  try {
    await camChoices();
  } catch (error) {
    if (!(error instanceof CamReplyLost)) throw error;
    camRepliesLostUnderFault.push(`${stamp()} ${error.message} (with ${activeFault})`);
    log(`cam: ${error.message} was lost under ${activeFault}; the panel came back to the main menu`);
    return null;
  }
  return ms;
}

async function camChoices() {
  await page.dblclick(`${CAM_LIST} .item[data-index="4"]`);
  await camWait((l) => l[0] === 'Subscriptions', 'the subscriptions menu', 10000);
  await page.focus(CAM_LIST);
  await page.keyboard.press('Escape');
  await camWait(mainMenu, 'the main menu after Escape', 10000);
  await page.dblclick(`${CAM_LIST} .item[data-index="5"]`);
  if (!(await until(() => visible(CAM_FIELD), 10000))) await camWait(() => false, 'the PIN enquiry', 0);
  await page.keyboard.type('1234');
  await page.keyboard.press('Enter');
  await camWait((l) => l[1] === 'PIN accepted', 'the answer to the PIN', 10000);
  if (await visible(CAM_FIELD)) fail('cam', 'the PIN field is still open over the menu that followed it');
  await page.focus(CAM_LIST);
  await page.keyboard.press('Escape');
  await camWait(mainMenu, 'the main menu after Escape from parental control', 10000);
}

let clipCount = 0;
// Waits until `test` holds in the page or a message box opens (a refusal, answered here).
async function stateOrMessage(test, arg, ms = ACTION_DEADLINE_MS) {
  let said = '';
  const ok = await until(async () => {
    if (await page.evaluate(test, arg)) return true;
    const box = await page.$('.request.messagebox');
    if (box) said = (await clearRequests()).join(' / ').replace(/\s+/g, ' ');
    return !!box;
  }, ms, 100);
  if (!ok) throw new Error(`neither the expected state nor a message within ${ms} ms`);
  return said;
}

async function streamingFiles() {
  clipCount += 1;
  // Names as installers give them: plain, with a space, with brackets (a shell pattern when
  // unquoted) or braces. What can be uploaded must be deletable, and delete removes exactly it.
  const name = pick([`soak-${clipCount}.ts`, `soak ${clipCount}.ts`, `soak[${clipCount}].ts`, `soak{${clipCount}}.ts`]);
  const clip = path.join(clipFolder, name);
  const packets = Buffer.alloc(188 * randomInt(10, 60));
  for (let i = 0; i < packets.length; i += 188) packets[i] = 0x47;
  writeFileSync(clip, packets);
  try {
    const list = control(1086);
    const items = () => page.$$eval(`${list} .item`, (nodes) => nodes.map((i) => i.textContent));
    const others = async () => (await items()).filter((n) => !uploadLeftovers.has(n)).join('|');
    const listed = ([sel, n]) => [...document.querySelectorAll(`${sel} .item`)].some((i) => i.textContent === n);
    const pageMessage = control(1712);
    const saysError = () => page.$eval(pageMessage, (n) => n.textContent.trim()).then((t) => t === PAGE_ERROR, () => false);
    await openChain(STREAMING_ROW);
    if (await saysError()) {
      // An error of an earlier transfer is still shown: the page is opened afresh to clear it.
      await leavePage();
      await openChain(STREAMING_ROW);
    }
    await page.waitForFunction((sel) => document.querySelectorAll(`${sel} .item`).length >= 2, list);
    // The transfer failed and the page said so: counted under a fault, else a failure.
    const failedTransfer = (what) => {
      if (!activeFault) {
        fail('streaming', `${what} of "${name}" failed without an answer fault ("${PAGE_ERROR}")`);
      } else {
        transfersFailedUnderFault.push(`${stamp()} ${what} of "${name}" (with ${activeFault})`);
        if (what === 'upload') uploadLeftovers.add(`${name}.tmp`);
        log(`streaming: the ${what} of "${name}" failed under ${activeFault}; the page says "${PAGE_ERROR}"`);
      }
      return null;
    };
    const listedOrError = ([sel, n, msg, error]) =>
      [...document.querySelectorAll(`${sel} .item`)].some((i) => i.textContent === n) ||
      document.querySelector(msg)?.textContent.trim() === error;
    const goneOrError = ([sel, n, msg, error]) =>
      ![...document.querySelectorAll(`${sel} .item`)].some((i) => i.textContent === n) ||
      document.querySelector(msg)?.textContent.trim() === error;
    const before = await others();
    const t0 = Date.now();
    await page.click(control(1200));
    await page.waitForSelector('.request.filedialog');
    await page.fill('.request.filedialog .fd-name input', clip);
    await page.click('.request.filedialog button.default');
    const refusedUpload = await stateOrMessage(listedOrError, [list, name, pageMessage, PAGE_ERROR]).catch((e) => { throw new Error(`upload of "${name}": ${e.message}`); });
    if (refusedUpload) {
      log(`streaming: the upload of "${name}" was refused: ${refusedUpload}`);
      return null;
    }
    if (!(await page.evaluate(listed, [list, name])) && (await saysError())) return failedTransfer('upload');
    const ms = Date.now() - t0;
    const index = (await items()).indexOf(name);
    await page.click(`${list} .item[data-index="${index}"]`);
    const start = randomInt(1, 6);
    await page.fill(control(1087), `0${start}:00`);
    await page.press(control(1087), 'Tab');
    await page.fill(control(1088), `0${start}:30`);
    await page.press(control(1088), 'Tab');
    await page.waitForFunction((sel) => !document.querySelector(sel).disabled, control(1089));
    await page.click(control(1089));
    await page.waitForFunction(([sel, n]) => document.querySelector(sel).textContent.includes(n), [control(1040), name]);
    const again = (await items()).indexOf(name);
    await page.click(`${list} .item[data-index="${again}"]`);
    await page.click(control(1201));
    const refusedDelete = await stateOrMessage(goneOrError, [list, name, pageMessage, PAGE_ERROR])
      .catch((e) => { throw new Error(`delete of "${name}": ${e.message}`); });
    if (refusedDelete) {
      fail('streaming', `"${name}" was uploaded but its delete is refused: ${refusedDelete}`);
      return null;
    }
    if ((await page.evaluate(listed, [list, name])) && (await saysError())) return failedTransfer('delete');
    await page.waitForFunction(([sel, n]) => !document.querySelector(sel).textContent.includes(n), [control(1040), name]);
    const after = await others();
    if (after !== before) fail('streaming', `deleting "${name}" changed the other files on the key (${before} -> ${after})`);
    return ms;
  } finally {
    rmSync(clip, { force: true });
  }
}

let saveCount = 0;
async function saveAndLoad() {
  // Now and then the installer saves under the name of the last save: the tool must ask.
  const reuse = saveCount > 0 && random() < 0.4;
  if (!reuse) saveCount += 1;
  const name = `soak-${saveCount}`;
  const file = path.join(folder, 'config', `${name}.qvc`);
  const existing = existsSync(file) ? file : '';
  const oldTime = existing ? statSync(file).mtimeMs : 0;
  await leavePage();
  await openFileDialog(1024);
  const t0 = Date.now();
  await page.waitForFunction(() => document.querySelector('.request.filedialog .fd-folder').value.endsWith('/config'));
  await page.fill('.request.filedialog .fd-name input', name);
  await page.click('.request.filedialog button.default');
  await confirmReplace('save', existing);
  if (existing) {
    // The panel's "saved into" may have come and gone while the question was awaited: the file
    // itself must be new.
    if (!(await until(() => existsSync(file) && statSync(file).mtimeMs !== oldTime, 10000))) {
      fail('save', `${name}.qvc was not written again after "yes"`);
    }
  } else {
    await page.waitForFunction((text) => document.querySelector('[data-dialog="160"] [data-control="1024"]')?.value === text,
      `Configuration saved into ${file}`);
  }
  record('save', Date.now() - t0);
  if (!savedFiles.includes(file)) savedFiles.push(file);
  const dump = qvcDump(file);
  if (dump.error) {
    fail('save', `${name}.qvc does not pass qvc dump (${dump.error})`);
    return null;
  }
  compareExpected('save', dump.json, `the saved ${name}.qvc`);

  await openFileDialog(1025);
  const entry = `.request.filedialog .fd-entry.file >> text="${name}.qvc"`;
  await page.waitForSelector(entry);
  const t1 = Date.now();
  await page.dblclick(entry);
  await page.waitForSelector(`${CHECK_DIALOG} [data-control="1024"]`);
  const summary = await page.inputValue(`${CHECK_DIALOG} [data-control="1024"]`);
  if (!summary.startsWith('Loaded configuration matches current installation.') || !(await page.isEnabled(`${CHECK_DIALOG} [data-control="1"]`))) {
    fail('load', `the check dialog does not accept the file just saved: ${summary.split(/\r?\n/)[0]}`);
    await page.click(`${CHECK_DIALOG} [data-control="2"]`).catch(() => {});
    return null;
  }
  const before = await message();
  await page.click(`${CHECK_DIALOG} [data-control="1"]`);
  await page.waitForSelector(`${CHECK_DIALOG} [data-control="1024"]`, { state: 'hidden' });
  // The panel's answer: a new text, or the success text again (the same as the last Load's).
  const answered = await until(async () => {
    const v = await message();
    return v === 'Configuration uploaded to harware.' || (v !== before && !/saved into/.test(v));
  }, WAIT_MS, 100);
  if (!answered) throw new Error(`Load: the message panel gave no answer (it shows: ${await message()})`);
  const ms = Date.now() - t1;
  const said = await message();
  if (said !== 'Configuration uploaded to harware.') log(`load said: ${said}`);
  return ms;
}

let reportCount = 0;
async function writeReport() {
  reportCount += 1;
  const typed = path.join(folder, 'report', `soak-${reportCount}`);
  const file = `${typed}.html`;
  await openFileDialog(1027);
  await page.fill('.request.filedialog .fd-name input', typed);
  const before = await message();
  const t0 = Date.now();
  await page.click('.request.filedialog button.default');
  await confirmReplace();
  let outcome = '';
  const done = await until(async () => {
    const said = await message();
    const exists = existsSync(file);
    const complete = exists && readFileSync(file).toString('latin1').endsWith('</body></html>');
    if (complete && said.endsWith(file)) { outcome = 'complete'; return true; }
    if (said !== before && !said.endsWith(file) && !exists && !/Report saved/.test(said) && said.trim()) { outcome = `absent: ${said}`; return true; }
    return false;
  }, 60000, 200);
  const ms = Date.now() - t0;
  if (!done) {
    const size = existsSync(file) ? statSync(file).size : 'no file';
    fail('report', `soak-${reportCount}.html is neither complete nor explained within 60 s (${size}; panel: ${await message()})`);
    return null;
  }
  if (outcome === 'complete') {
    reportFiles.push(file);
    const text = readFileSync(file).toString('latin1');
    const headings = (text.match(/<h2 align ="CENTER"/g) || []).length;
    if (headings !== 12) fail('report', `soak-${reportCount}.html has ${headings} module headings, not 12`);
  } else log(`report ${reportCount} ${outcome}`);
  return ms;
}

async function reloadPage() {
  const t0 = Date.now();
  await page.reload();
  await page.waitForSelector('body[data-rendered="1"]');
  await rackShown();
  return Date.now() - t0;
}

async function secondTab() {
  const t0 = Date.now();
  const tab = await browser.newPage({ viewport: { width: 1000, height: 760 } });
  tabs.push(tab);
  watchPage(tab, 'second tab');
  try {
    await tab.goto(url);
    await tab.waitForSelector('body[data-rendered="1"]');
    await tab.waitForFunction((sel) => {
      const last = document.querySelector(`${sel} .lv-icon[data-row="11"] span`);
      return last && last.textContent.startsWith('RkModC4');
    }, MODULE_LIST);
    return Date.now() - t0;
  } finally {
    await tab.close();
    tabs.splice(tabs.indexOf(tab), 1);
  }
}

// The mix, dealt in rounds: each round holds every kind of action, a valid and a refused edit
// on every family's page, in an order the seed shuffles.
const DEADLINES = { cam: 90000, streaming: 60000, 'save-load': 90000, report: 90000 };
// KAPTIV_SOAK_KINDS=save-load,report (say) keeps only those kinds, to chase one fault.
const ONLY = process.env.KAPTIV_SOAK_KINDS ? process.env.KAPTIV_SOAK_KINDS.split(',').map((k) => k.trim()) : null;
const KINDS = ['select', 'edit-valid', 'edit-refused', 'edit-lcn', 'cam', 'streaming', 'save-load', 'report', 'reload', 'second-tab'];
function dealRound() {
  const shuffle = (deck) => {
    for (let i = deck.length - 1; i > 0; i -= 1) {
      const j = Math.floor(random() * (i + 1));
      [deck[i], deck[j]] = [deck[j], deck[i]];
    }
    return deck;
  };
  const families = shuffle([...FAMILIES]);
  const valid = families.map((f) => ['edit-valid', () => editValid(f)]);
  const refused = shuffle([...FAMILIES]).map((f) => ['edit-refused', () => editRefused(f)]);
  // One of each kind first (a one-minute run sees them all), then the rest of the round.
  const first = [valid.shift(), refused.shift(), ['select', selectModule], ['edit-lcn', editLcn], ['cam', camWalk],
    ['streaming', streamingFiles], ['save-load', saveAndLoad], ['report', writeReport], ['reload', reloadPage],
    ['second-tab', secondTab]];
  const round = [...shuffle(first), ...shuffle([...valid, ...refused, ['select', selectModule], ['edit-lcn', editLcn]])];
  return ONLY ? round.filter(([kind]) => ONLY.includes(kind)) : round;
}

async function run(kind, deadline, action) {
  counts.set(kind, (counts.get(kind) || 0) + 1);
  const stray = await clearRequests();
  if (stray.length) log(`answered a question left open before ${kind}: ${stray.join(' / ').replace(/\s+/g, ' ')}`);
  if (!(await ensureRack(kind))) return false;
  try {
    const ms = await withDeadline(kind, deadline, action);
    record(kind, ms);
    return true;
  } catch (error) {
    if (error instanceof Hung) fail(kind, `hung: ${error.message}`);
    else fail(kind, `${String(error.message || error).split('\n').slice(0, 3).join(' ')}`);
    screenshots += 1;
    if (screenshots <= 5) await page.screenshot({ path: path.join(artifacts, `soak-failure-${screenshots}.png`) }).catch(() => {});
    // Back to a known state: whatever was open is answered, a transfer window left open is
    // closed (as the installer would), the page is loaded again.
    await clearRequests().catch(() => {});
    if (await visible(TRANSFER)) {
      log('closing the transfer window the failed action left open');
      await page.click(`${TRANSFER} .caption button.close`).catch(() => {});
    }
    await page.reload().catch(() => {});
    await rackShown().catch(() => {});
    return !(error instanceof Hung);
  }
}

async function restartSim() {
  await clearRequests();
  if (await ensureRack('restart')) await leavePage();
  await stopSimAndCheck('restart');
  // The tool notices the rack has gone (the column empties).
  const t0 = Date.now();
  const gone = await page.waitForFunction((sel) => !document.querySelector(`${sel} .lv-icon[data-row="11"] span`), MODULE_LIST, { timeout: 15000 })
    .then(() => true, () => false);
  log(gone ? `the module column emptied ${Date.now() - t0} ms after the simulator stopped` : 'the module column still shows the rack 15 s after the simulator stopped');
  const fault = faultRandom() < 0.5 ? FAULTS[Math.floor(faultRandom() * FAULTS.length)] : null;
  if (fault) faultsInjected.push(`restart ${simEpoch}: --answer-fault ${fault}`);
  const t1 = Date.now();
  await startSimEpoch(fault);
  log(`simulator ${simEpoch} started on port ${simPort}${fault ? ` with --answer-fault ${fault}` : ''}`);
  // The tool finds the rack again by itself. If it does not, the installer presses Rescan.
  const back = await rackSettled(30000).then(() => true, () => false);
  if (!back) {
    if (fault) rescansUnderFault.push(`${stamp()} restart (with ${fault})`);
    else fail('restart', 'the rack is not shown again 30 s after the simulator came back; pressing Rescan');
    await page.waitForFunction((sel) => { const b = document.querySelector(sel); return b && !b.disabled; }, `${MAIN} button[data-control="1023"]`);
    await page.click(`${MAIN} button[data-control="1023"]`);
    await rackSettled(45000);
    return null;
  }
  return Date.now() - t1;
}

function sample(name) {
  samples[name] = { at: elapsed(), ...procFigures(kaptiv.child.pid) };
  log(`${name}: kaptiv RSS ${samples[name].rssKib} KiB, ${samples[name].fds} open files`);
}

// The run ---------------------------------------------------------------------------------------

// Whatever happens, the run ends: after its time and a margin, everything is stopped.
const watchdog = setTimeout(() => {
  console.log('FAIL soak: still running long after its time (its restarts included); stopping');
  if (kaptiv) kaptiv.child.kill('SIGKILL');
  if (sim) sim.child.kill('SIGKILL');
  rmSync(folder, { recursive: true, force: true });
  process.exit(1);
}, RUN_MS + Math.ceil(RUN_MS / RESTART_MS) * 120000 + 300000);

if (ONLY && (!ONLY.length || ONLY.some((k) => !KINDS.includes(k)))) {
  console.log(`soak: KAPTIV_SOAK_KINDS names kinds out of ${KINDS.join(', ')}`);
  rmSync(folder, { recursive: true, force: true });
  process.exit(2);
}
let hangs = 0;
let actions = 0;
let rounds = 0;
try {
  const gateway = await startSimEpoch(null);
  log(`simulator 1 on port ${simPort}, seed ${SEED}, ${MINUTES} min, folder ${folder}`);
  kaptiv = startKaptiv(folder, gateway);
  kaptiv.exited = new Promise((resolve) => kaptiv.child.on('exit', (code, signal) => resolve({ code, signal })));
  url = await kaptiv.url;
  browser = await launchBrowser();
  page = await browser.newPage({ viewport: { width: 1100, height: 780 } });
  watchPage(page, 'page');
  await page.goto(url);
  await page.waitForSelector('body[data-rendered="1"]');
  await rackSettled(45000);
  sample('start');

  let nextRestart = RESTART_MS;
  let warm = false;
  let deck = [];
  while (active() < RUN_MS && actions < MAX_ACTIONS && hangs < 3) {
    if (!warm && active() >= WARMUP_MS) { sample('warm-up'); warm = true; }
    if (active() >= nextRestart && RUN_MS - active() > 10000) {
      nextRestart += RESTART_MS;
      counts.set('restart', (counts.get('restart') || 0) + 1);
      const t0 = Date.now();
      try {
        record('restart', await withDeadline('restart', 120000, restartSim));
      } finally {
        restartMs += Date.now() - t0;
      }
      continue;
    }
    if (!deck.length) { deck = dealRound(); rounds += 1; }
    const [kind, action] = deck.shift();
    actions += 1;
    if (!(await run(kind, DEADLINES[kind] || ACTION_DEADLINE_MS, action))) hangs += 1;
  }
  if (!warm) sample('warm-up');
  if (hangs >= 3) fail('run', 'stopped early: three actions hung or found no rack');

  // The end: a few reloads (a leak per reload shows in the figures), then the figures.
  for (let i = 0; i < 3; i += 1) {
    counts.set('reload', (counts.get('reload') || 0) + 1);
    await run('reload', ACTION_DEADLINE_MS, reloadPage);
  }
  await leavePage().catch((e) => fail('end', `the page could not be left: ${String(e.message || e).split('\n')[0]}`));
  await sleep(1000);
  sample('end');
  const { start, end } = samples;
  const warmUp = samples['warm-up'];
  const rssLimit = Math.round(warmUp.rssKib * (1 + RSS_MARGIN.ratio) + RSS_MARGIN.kib);
  check(end.rssKib <= rssLimit, `kaptiv's RSS at the end (${end.rssKib} KiB) is within the margin of the warm-up's (${warmUp.rssKib} KiB, limit ${rssLimit})`);
  check(end.fds <= warmUp.fds + FD_MARGIN, `kaptiv's open files at the end (${end.fds}) are within ${FD_MARGIN} of the warm-up's (${warmUp.fds})`);
  const minutes = (end.at - start.at) / 60000;
  samples.cpuPerMinute = (end.cpuSeconds - start.cpuSeconds) / minutes;

  check(problems.length === 0, `no script or console error in any tab${problems.length ? `: ${problems.slice(0, 10).join(' | ')}` : ''}`);
  await browser.close();
  browser = null;

  // kaptiv, then the simulator, end cleanly; the simulator's last file holds what was typed.
  kaptiv.child.kill('SIGTERM');
  const ended = await Promise.race([kaptiv.exited, sleep(10000).then(() => null)]);
  check(ended && ended.code === 0, `kaptiv exits cleanly on SIGTERM (${ended ? `code ${ended.code}, signal ${ended.signal}` : 'still running after 10 s'})`);
  if (!ended) kaptiv.child.kill('SIGKILL');
  await stopSimAndCheck('end');
  samples.simCpuPerMinute = simCpuSeconds / (elapsed() / 60000);
  check(refusals === 0 || focusKept === refusals, `every refused value kept the focus in its field (${focusKept} of ${refusals})`);

  // Nothing temporary is left: only the files the run made itself.
  const allowed = [
    /^kaptiv\.ini$/, /^sim\/sim-[0-9]+\.qvc$/, /^config\/soak-[0-9]+\.qvc$/, /^report\/soak-[0-9]+\.html$/,
  ];
  const left = [];
  const walk = (dir, rel = '') => {
    for (const e of readdirSync(dir, { withFileTypes: true })) {
      const r = rel ? `${rel}/${e.name}` : e.name;
      if (e.isDirectory()) walk(path.join(dir, e.name), r);
      else if (!allowed.some((a) => a.test(r))) left.push(r);
    }
  };
  walk(folder);
  check(left.length === 0, `no temporary file is left in the program and simulator folders${left.length ? ` (${left.join(', ')})` : ''}`);
} catch (error) {
  console.log(`FAIL ${error.stack || error}`);
  if (page) await page.screenshot({ path: path.join(artifacts, 'soak-failure.png') }).catch(() => {});
  check(false, 'the soak ran to its end');
} finally {
  clearTimeout(watchdog);
  if (browser) await browser.close().catch(() => {});
  if (kaptiv && kaptiv.child.exitCode === null && kaptiv.child.signalCode === null) kaptiv.child.kill('SIGKILL');
  if (sim && sim.child.exitCode === null && sim.child.signalCode === null) sim.child.kill('SIGKILL');
  if (process.env.KAPTIV_SOAK_KEEP) console.log(`soak: folder kept: ${folder}`);
  else rmSync(folder, { recursive: true, force: true });
}

// Figures ---------------------------------------------------------------------------------------
const quantile = (list, q) => {
  if (!list.length) return '-';
  const sorted = [...list].sort((a, b) => a - b);
  return String(sorted[Math.min(sorted.length - 1, Math.floor(q * sorted.length))]);
};
console.log(`\nsoak figures (seed ${SEED}, ${MINUTES} min, ${actions} actions in ${rounds} round(s), ${(elapsed() / 60000).toFixed(1)} min wall)`);
console.log('  kind           done  failed   p50 ms   p95 ms   (time to the visible result)');
for (const kind of [...KINDS, 'save', 'restart']) {
  const list = timings.get(kind) || [];
  const done = kind === 'save' ? list.length : counts.get(kind) || 0;
  console.log(`  ${kind.padEnd(13)} ${String(done).padStart(5)} ${String(failedKinds.get(kind) || 0).padStart(7)} ${quantile(list, 0.5).padStart(8)} ${quantile(list, 0.95).padStart(8)}`);
}
for (const name of ['start', 'warm-up', 'end']) {
  const s = samples[name];
  if (s) console.log(`  kaptiv ${name.padEnd(8)} at ${(s.at / 1000).toFixed(0).padStart(5)} s: RSS ${s.rssKib} KiB, ${s.fds} open files`);
}
if (samples.cpuPerMinute != null) console.log(`  kaptiv CPU: ${samples.cpuPerMinute.toFixed(2)} s per minute; simulator CPU: ${(samples.simCpuPerMinute ?? 0).toFixed(2)} s per minute`);
console.log(`  refused values: ${refusals}, focus kept in the field: ${focusKept}`);
console.log(`  saved files: ${savedFiles.length}, complete reports: ${reportFiles.length}, typed values checked: ${expected.size}`);
console.log(`  faults injected: ${faultsInjected.length ? faultsInjected.join('; ') : 'none'}`);
console.log(`  Rescan pressed after a scan failed under a fault: ${rescansUnderFault.length ? rescansUnderFault.join('; ') : 'never'}`);
console.log(`  CAM replies lost under a fault, with the main menu back: ${camRepliesLostUnderFault.length ? camRepliesLostUnderFault.join('; ') : 'none'}`);
console.log(`  file transfers failed under a fault, with the page saying so: ${transfersFailedUnderFault.length ? transfersFailedUnderFault.join('; ') : 'none'}`);
const failures = failureCount();
console.log(failures === 0 ? 'e2e soak: all checks passed' : `e2e soak: ${failures} check(s) failed`);
process.exit(failures === 0 ? 0 : 1);
