// Browser test of the health view: node health-view.test.mjs HOST ARTIFACTS CHROMIUM KAPTIV SIM
// The simulated demo rack runs a scenario: input A of the twin satellite tuner (address 10, row
// 1) loses its antenna 25 s after the simulator starts and gets it back 30 s later. The view is
// opened from the main window's health button; its tile turns to the alarm colour within one
// round, the alarm log gets the entry and then its clearing, the large plot of the tile shows
// the stretch without lock (a gap in the quality, the level down at the noise floor), the log is saved as CSV (and the same name asks before replacing),
// and a click on the tile opens the chain's settings page. Every wait has a deadline.
import path from 'node:path';
import { existsSync, readFileSync } from 'node:fs';
import { artifacts, check, needRackPrograms, openPage, runChecks, startRack, waitRack } from './lib/harness.mjs';

const LOST_AT_S = 25;
const BACK_AT_S = 55;
const ROUND_S = 10;
// One round after the change, and the round's own exchanges and the page's update.
const WITHIN_ONE_ROUND_MS = (ROUND_S + 4) * 1000;
const VIEW = '[data-dialog="300"]';
const BUTTON = '[data-dialog="102"] [data-control="1031"]';
const TUNER_TILE = 1;
const tile = (part) => `${VIEW} [data-control="${2000 + TUNER_TILE * 10 + part}"]`;
const RED = 'rgb(208, 71, 58)';
const GREEN = 'rgb(47, 168, 106)';

needRackPrograms();

let rack = null;
await runChecks('e2e health view', async () => {
  const simStart = Date.now();
  rack = await startRack('health', {
    'scenario.txt': `# input A of the twin tuner loses its antenna for 30 s\n${LOST_AT_S} antenna 10 A lost\n${BACK_AT_S} antenna 10 A back\n`,
  }, { simArgs: (folder) => ['--scenario', path.join(folder, 'scenario.txt')] });
  const { folder } = rack;
  const { page, problems } = await openPage(rack.url, { width: 1180, height: 900 });
  await page.waitForSelector('body[data-rendered="1"]');
  await waitRack(page);
  await page.waitForFunction((sel) => {
    const button = document.querySelector(sel);
    return button && !button.disabled;
  }, BUTTON);
  const tooltip = await page.getAttribute(BUTTON, 'title');
  check(tooltip === 'Rack health: every module at a glance', `the health button says what it does (${tooltip})`);

  await page.click(BUTTON);
  await page.waitForSelector(VIEW, { state: 'visible' });
  const tiles = await page.$$eval(`${VIEW} .ctl.static.bordered`, (all) => all.filter((n) => !n.hidden).length);
  check(tiles === 12, `one tile per module of the demo rack, the controller included (${tiles})`);
  await page.waitForFunction((sel) => document.querySelector(sel)?.textContent.startsWith('Last round'),
    `${VIEW} [data-control="3001"]`);
  const title = await page.textContent(tile(2));
  check(title.startsWith('1 · RkSat2.0'), `the tuner's tile names it (${title})`);
  const before = await page.$eval(tile(1), (n) => getComputedStyle(n).backgroundColor);
  check(before === GREEN, `before the scenario the tuner's tile shows no alarm (${before})`);
  const lines = await page.$$eval(`${VIEW} [data-control="2013"], ${VIEW} [data-control="2014"]`, (all) => all.map((n) => n.textContent));
  check(lines.some((l) => l.startsWith('A locked')) && lines.some((l) => l.startsWith('B ')),
    `the tile shows both inputs (${lines.join(' | ')})`);
  await page.screenshot({ path: path.join(artifacts, 'health-view.png') });

  // The antenna is pulled: the tile turns red within one round.
  const lostAt = simStart + LOST_AT_S * 1000;
  await page.waitForFunction(([sel, red]) => getComputedStyle(document.querySelector(sel)).backgroundColor === red,
    [tile(1), RED], { timeout: LOST_AT_S * 1000 + WITHIN_ONE_ROUND_MS + 15000, polling: 200 });
  const turnedAfter = Date.now() - lostAt;
  check(turnedAfter <= WITHIN_ONE_ROUND_MS, `the tile turned to the alarm colour ${(turnedAfter / 1000).toFixed(1)} s after the antenna was pulled`);
  const logRows = () => page.$$eval(`${VIEW} [data-control="3003"] tbody tr`, (rows) => rows.map((r) => [...r.cells].map((c) => c.textContent)));
  let rows = await logRows();
  const noLock = rows.find((r) => r[4] === 'Input A has no lock.');
  check(noLock && noLock[1] === 'active' && noLock[3].startsWith('RkSat2.0'), `the log has the alarm, active (${JSON.stringify(noLock)})`);
  await page.screenshot({ path: path.join(artifacts, 'health-alarm.png') });

  // The antenna is back: the log gets the clearing and the tile its colour back.
  await page.waitForFunction(([sel, green]) => getComputedStyle(document.querySelector(sel)).backgroundColor === green,
    [tile(1), GREEN], { timeout: (BACK_AT_S - LOST_AT_S) * 1000 + WITHIN_ONE_ROUND_MS + 15000, polling: 200 });
  const clearedAfter = Date.now() - (simStart + BACK_AT_S * 1000);
  check(clearedAfter <= WITHIN_ONE_ROUND_MS, `the alarm cleared ${(clearedAfter / 1000).toFixed(1)} s after the antenna came back`);
  rows = await logRows();
  const cleared = rows.find((r) => r[4] === 'Input A has no lock.');
  check(cleared && /^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d$/.test(cleared[1]) && cleared[1] > cleared[0],
    `the log entry has its clearing time (${JSON.stringify(cleared)})`);

  // The large plot of the tile: the level fell to 0 and the quality has a gap while unlocked.
  await page.click(tile(6));
  await page.waitForSelector('[data-dialog="301"]', { state: 'visible' });
  await page.waitForFunction(() => document.querySelector('[data-dialog="301"] .plot canvas'));
  const plot = await page.$eval('[data-dialog="301"] .plot', (n) => ({
    labels: [...n.querySelectorAll('.u-legend .u-series .u-label')].map((l) => l.textContent),
    gaps: Number(n.dataset.gaps),
    data: n.chart ? n.chart.data.map((s) => Array.from(s)) : [],
    axes: n.querySelectorAll('.u-axis').length,
  }));
  check(plot.axes >= 2, `the large plot has its time and unit axes (${plot.axes})`);
  check(plot.labels.includes('level A') && plot.labels.includes('quality A'), `it plots level and quality (${plot.labels.join(', ')})`);
  const series = (label) => plot.data[plot.labels.indexOf(label)] || [];
  const quality = series('quality A');
  const firstValue = quality.findIndex((v) => v !== null);
  const gapInside = quality.some((v, i) => v === null && i > firstValue && quality.slice(i).some((w) => w !== null));
  check(firstValue >= 0 && gapInside, `the quality of input A has a gap while it had no lock (${plot.gaps} empty points)`);
  const levels = series('level A').filter((v) => v !== null);
  check(levels.length > 0 && Math.min(...levels) < 30, `the level of input A fell under the alarm threshold while the antenna was out (lowest ${Math.min(...levels)} %)`);
  await page.screenshot({ path: path.join(artifacts, 'health-plot.png') });
  await page.click('[data-dialog="301"] [data-control="2"]');
  await page.waitForSelector('[data-dialog="301"]', { state: 'hidden' });

  // Save as CSV, then the same name again: the question comes first.
  const typed = path.join(folder, 'report', 'alarms-test');
  await page.click(`${VIEW} [data-control="3004"]`);
  await page.waitForSelector('.request.filedialog');
  await page.fill('.request.filedialog .fd-name input', typed);
  await page.click('.request.filedialog button.default');
  const written = `${typed}.csv`;
  await page.waitForFunction(() => document.querySelector('.request') === null);
  check(existsSync(written), 'the alarm log is saved under the typed name with .csv');
  const csv = existsSync(written) ? readFileSync(written, 'utf8') : '';
  check(csv.startsWith('Raised,Cleared,Slot,Address,Module,Alarm,What happened') && csv.includes('input_no_lock') &&
    csv.includes('Input A has no lock.'), 'the CSV has its header and the alarm');
  await page.click(`${VIEW} [data-control="3004"]`);
  await page.waitForSelector('.request.filedialog');
  await page.fill('.request.filedialog .fd-name input', typed);
  await page.click('.request.filedialog button.default');
  await page.waitForSelector('.request.messagebox');
  const question = await page.textContent('.request.messagebox .mb-text');
  check(question.includes('alarms-test.csv already exists.'), `saving again asks before replacing (${question})`);
  await page.click('.request.messagebox button[data-result="no"]');
  await page.waitForSelector('.request.filedialog');
  await page.click('.request.filedialog .buttons button:not(.default)');
  await page.waitForFunction(() => document.querySelector('.request') === null);
  check(readFileSync(written, 'utf8') === csv, '"No" leaves the saved log as it was');

  // A click on the tile opens the tuner's chain, as a click in the module column does.
  await page.click(tile(2));
  await page.waitForSelector(VIEW, { state: 'hidden' });
  await page.waitForSelector('[data-dialog="145"]', { state: 'visible' });
  check(true, 'a click on the tile puts the view aside and opens the settings page');
  check(problems.length === 0, `no script errors ${problems.join('; ')}`);
}, () => rack?.stop(), { browserFirst: false });
