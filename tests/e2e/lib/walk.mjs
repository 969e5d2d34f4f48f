// A walk through every window of the program against the simulated demo rack, written only
// with what Playwright's and Puppeteer's pages share (goto, click, evaluate, screenshot), so
// that the Chromium and the Firefox tests take the same road. At each window it calls
// visit(name); every wait has a deadline and polls, nothing sleeps blindly.
export const MAIN = '[data-dialog="102"]';
export const PAGE = '[data-dialog="145"]';
export const CAM = '[data-dialog="161"]';
export const CHECK = '[data-dialog="195"]';
export const HEALTH = '[data-dialog="300"]';
export const HEALTH_PLOT = '[data-dialog="301"]';
const row = (r) => `${MAIN} [data-control="1021"] .lv-icon[data-row="${r}"]`;
// One chain of each family: twin satellite (play-out view), terrestrial/QAM, HD/IP streamer,
// satellite/COFDM, A/V encoder/QAM; the CI module for the CAM panel.
export const FAMILIES = [
  { row: 1, name: 'sat2.0-ci-cofdm4' }, { row: 4, name: 'terrestrial-qam2' }, { row: 6, name: 'hd-ipstreamer' },
  { row: 8, name: 'sat1-cofdm1' }, { row: 10, name: 'av-qam4' },
];
const CI_ROW = 2;
const DEADLINE_MS = 15000;

// Polls fn(arg) in the page until it is true.
export async function until(page, fn, arg, what, deadline = DEADLINE_MS) {
  const end = Date.now() + deadline;
  for (;;) {
    if (await page.evaluate(fn, arg).catch(() => false)) return;
    if (Date.now() > end) throw new Error(`never: ${what}`);
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
}
const shown = (sel) => {
  const n = document.querySelector(sel);
  return !!n && n.offsetParent !== null && getComputedStyle(n).visibility !== 'hidden';
};
const gone = (sel) => !document.querySelector(sel);
const pause = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

export async function waitRack(page) {
  await until(page, (sel) => {
    const last = document.querySelector(`${sel} span`);
    return !!last && last.textContent.startsWith('RkModC4');
  }, row(11), 'the demo rack in the column');
}

// Clicks a main-window button once it is enabled, until the request it opens appears (a click
// while a scan has the button disabled is dropped).
export async function openRequest(page, control, kind) {
  const button = `${MAIN} button[data-control="${control}"]`;
  for (const end = Date.now() + DEADLINE_MS; Date.now() < end;) {
    await until(page, (sel) => { const b = document.querySelector(sel); return !!b && !b.disabled; }, button, `button ${control} enabled`);
    await page.click(button);
    const opened = await until(page, shown, `.request.${kind}`, `${kind} of ${control}`, 2000).then(() => true, () => false);
    if (opened) return;
  }
  throw new Error(`button ${control} never opened its ${kind}`);
}

async function typeName(page, name) {
  await page.evaluate((text) => {
    const input = document.querySelector('.request.filedialog .fd-name input');
    input.value = text;
    input.dispatchEvent(new Event('input', { bubbles: true }));
  }, name);
}

export async function walkWindows(page, visit) {
  await waitRack(page);
  await pause(1000); // a second scan may follow the gateway's link-up
  await waitRack(page);
  await visit('main');
  for (const f of FAMILIES) {
    await page.click(row(f.row));
    await until(page, shown, PAGE, `the settings page of ${f.name}`);
    await pause(1200); // the first ticks fill the measures and the page's message
    await visit(`settings-${f.name}`);
  }
  await page.click(row(CI_ROW));
  await until(page, shown, CAM, 'the CAM panel');
  await pause(1500);
  await visit('cam');
  await page.click(row(0));
  await until(page, (sel) => !document.querySelector(sel) || document.querySelector(sel).offsetParent === null, PAGE, 'the page closed');

  // The about box.
  await page.click(`${MAIN} [data-control="16"]`);
  await until(page, shown, '.request.messagebox', 'the about box');
  await visit('about');
  await page.click('.request.messagebox button.push');
  await until(page, gone, '.request', 'the about box closed');

  // A save: the file dialog, then the same name again: the replace question.
  await openRequest(page, 1024, 'filedialog');
  await until(page, () => document.querySelector('.request.filedialog .fd-folder').value.endsWith('/config'), null, 'the save dialog in config/');
  await visit('file-dialog');
  await typeName(page, 'walk.qvc');
  await page.click('.request.filedialog button.default');
  await until(page, gone, '.request', 'the save dialog closed');
  await openRequest(page, 1024, 'filedialog');
  await until(page, () => document.querySelector('.request.filedialog .fd-folder').value.endsWith('/config'), null, 'the save dialog again');
  await typeName(page, 'walk.qvc');
  await page.click('.request.filedialog button.default');
  await until(page, shown, '.request.messagebox', 'the replace question');
  await visit('replace-question');
  await page.click('.request.messagebox button.push:last-child'); // No
  await until(page, shown, '.request.filedialog', 'the save dialog after No');
  await page.click('.request.filedialog .buttons button.push:not(.default)'); // Cancel
  await until(page, gone, '.request', 'the save dialog cancelled');

  // A load: the file dialog and the check dialog.
  await openRequest(page, 1025, 'filedialog');
  await until(page, () => [...document.querySelectorAll('.request.filedialog .fd-label')].some((n) => n.textContent === 'walk.qvc'), null, 'walk.qvc listed');
  await page.evaluate(() => {
    const entry = [...document.querySelectorAll('.request.filedialog .fd-label')].find((n) => n.textContent === 'walk.qvc');
    entry.parentElement.dispatchEvent(new MouseEvent('click', { bubbles: true }));
  });
  await page.click('.request.filedialog button.default');
  await until(page, shown, CHECK, 'the check dialog');
  await visit('check-dialog');
  await page.click(`${CHECK} [data-control="2"]`);
  await until(page, (sel) => !document.querySelector(sel) || document.querySelector(sel).offsetParent === null, CHECK, 'the check dialog closed');

  // The health view once its first round is in (the twin tuner's strip is coloured), and the
  // large plot of that tile.
  await until(page, (sel) => { const b = document.querySelector(sel); return !!b && !b.disabled; }, `${MAIN} [data-control="1031"]`, 'the health button enabled');
  await page.click(`${MAIN} [data-control="1031"]`);
  await until(page, shown, HEALTH, 'the health view');
  await until(page, (sel) => getComputedStyle(document.querySelector(sel)).backgroundColor !== 'rgb(154, 160, 166)',
    `${HEALTH} [data-control="2011"]`, 'the first health round');
  await visit('health');
  await page.click(`${HEALTH} [data-control="2016"]`);
  await until(page, (sel) => !!document.querySelector(sel), `${HEALTH_PLOT} .plot canvas`, 'the large plot');
  await visit('health-plot');
  await page.click(`${HEALTH_PLOT} [data-control="2"]`);
  await page.click(`${HEALTH} [data-control="2"]`);
  await until(page, (sel) => !document.querySelector(sel) || document.querySelector(sel).offsetParent === null, HEALTH, 'the health view closed');
}

// What is still cut without a hover text, once the page has fitted its texts.
export async function clippedTexts(page) {
  return page.evaluate(() => {
    Kaptiv.Fit.run();
    return Kaptiv.Fit.clipped();
  });
}

// What the page set smaller or left to the hover text, at this window.
export async function fittedTexts(page) {
  return page.evaluate(() => Kaptiv.Fit.fitted());
}

// pref.txt codes of the five languages.
export const LANGUAGES = ['EN', 'FR', 'IT', 'DE', 'SP'];
