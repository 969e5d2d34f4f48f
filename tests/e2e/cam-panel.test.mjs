// Browser test of the common-interface panel: node cam-panel.test.mjs HOST ARTIFACTS CHROMIUM KAPTIV SIM
// Starts the simulated demo rack and kaptiv against it, opens the page in headless Chromium,
// selects the CI module, walks into the subscriptions sub-menu and back, lets the CAM's own
// menu close an open answer field, answers the CAM's PIN enquiry and sees the CAM's answer. Screenshots of the panel go to ARTIFACTS. Every wait has
// a deadline; nothing sleeps.
import path from 'node:path';
import { artifacts, check, DEADLINE_MS, needRackPrograms, openPage, runChecks, startRack } from './lib/harness.mjs';

// A CAM that is still starting when the panel opens is given 15 s before the main menu is
// asked for.
const MENU_DEADLINE_MS = 45000;
const PANEL = '[data-dialog="161"]';
const LIST = `${PANEL} [data-control="1020"]`;
const FIELD = `${PANEL} [data-control="1035"]`;
const LIGHT = `${PANEL} [data-control="1028"] img`;
const MESSAGE = '[data-dialog="160"] [data-control="1024"]';

async function lines(page) {
  return page.$$eval(`${LIST} .item`, (items) => items.map((i) => i.textContent));
}

// Polls the list until test(lines) holds or the time is up, then checks it.
async function waitForLines(page, test, what, timeout = DEADLINE_MS) {
  let now = await lines(page);
  for (const end = Date.now() + timeout; !test(now) && Date.now() < end;) {
    await page.waitForTimeout(50);
    now = await lines(page);
  }
  check(test(now), `${what} (${now.join(' | ')})`);
  return now;
}

needRackPrograms();

let rack = null;
await runChecks('e2e cam', async () => {
  rack = await startRack('cam');
  const { page, problems } = await openPage(rack.url);

  // The CI module sits in slot 2 of the demo rack.
  const ciRow = '[data-dialog="102"] [data-control="1021"] .lv-icon[data-row="2"]';
  await page.waitForFunction((sel) => {
    const label = document.querySelector(`${sel} span`);
    return label && label.textContent.startsWith('RkCI');
  }, ciRow);
  await page.click(ciRow);
  await page.waitForSelector(PANEL, { state: 'visible' });
  check(await page.isVisible(PANEL), 'selecting the CI module opens the common-interface panel');

  const main = await waitForLines(page, (l) => l.length === 8 && l[0] === 'Kestrel CA module',
    'the CAM\'s main menu arrives: title, subtitle, empty, three items, empty, bottom', MENU_DEADLINE_MS);
  check(main[3] === 'Smart card status' && main[2] === '' && main[6] === '', 'the items sit between the empty lines');
  check((await page.getAttribute(LIGHT, 'src') || '').includes('190'), 'the status light is green');
  const colours = await page.$eval(LIST, (n) => [getComputedStyle(n).color, getComputedStyle(n).backgroundColor]);
  check(colours[0] === 'rgb(128, 128, 255)' && colours[1] === 'rgb(0, 0, 0)', `the menu is light blue on black (${colours})`);
  await page.screenshot({ path: path.join(artifacts, 'cam-main-menu.png') });

  // Into the sub-menu and back with Escape.
  await page.dblclick(`${LIST} .item[data-index="4"]`);
  await waitForLines(page, (l) => l.length === 8 && l[0] === 'Subscriptions', 'a double-click on "Subscriptions" opens the sub-menu');
  await page.screenshot({ path: path.join(artifacts, 'cam-sub-menu.png') });
  await page.focus(LIST);
  await page.keyboard.press('Escape');
  await waitForLines(page, (l) => l.length === 8 && l[0] === 'Kestrel CA module', 'Escape goes back to the main menu');

  // A menu that arrives while the answer field is open closes it: the CAM gives up waiting
  // for the PIN and shows its main menu, and Enter then sends nothing.
  await page.dblclick(`${LIST} .item[data-index="5"]`);
  await page.waitForSelector(FIELD, { state: 'visible' });
  await page.keyboard.type('12');
  await page.waitForSelector(FIELD, { state: 'hidden', timeout: MENU_DEADLINE_MS });
  await waitForLines(page, (l) => l.length === 8 && l[0] === 'Kestrel CA module',
    'the CAM\'s own main menu replaces the enquiry and closes the answer field');
  check(await page.evaluate((sel) => document.activeElement !== document.querySelector(sel), FIELD),
    'the closed field no longer has the keyboard focus');
  await page.keyboard.press('Enter');
  await page.waitForTimeout(300);
  check((await lines(page)).length === 8, 'Enter on the menu sends no answer to the enquiry that has gone');
  check(!(await page.inputValue(MESSAGE)).includes('Answer'), 'no answer was sent');
  await page.screenshot({ path: path.join(artifacts, 'cam-enquiry-closed-by-menu.png') });

  // The PIN enquiry: a blind answer field over the list, at most four characters.
  await page.dblclick(`${LIST} .item[data-index="5"]`);
  await page.waitForSelector(FIELD, { state: 'visible' });
  check(await page.getAttribute(FIELD, 'type') === 'password', 'the PIN field hides what is typed');
  check(await page.evaluate((sel) => document.activeElement === document.querySelector(sel), FIELD),
    'the PIN field has the keyboard focus');
  check((await lines(page)).join() === 'Enter your parental PIN (4 digits)', 'the enquiry text is the only line');
  // A text longer than the CAM allows is refused with a message, never cut.
  await page.fill(FIELD, '12345678');
  await page.waitForFunction((sel) => document.querySelector(sel).value === '', FIELD);
  check((await page.inputValue(MESSAGE)).includes('at most 4'), 'a pasted answer over the limit is refused with a message');
  await page.keyboard.type('123456');
  await page.waitForFunction((sel) => document.querySelector(sel).value === '1234', FIELD).catch(() => {});
  check(await page.inputValue(FIELD) === '1234', 'the field takes at most the four characters the CAM allows');
  await page.screenshot({ path: path.join(artifacts, 'cam-pin-enquiry.png') });
  // The confirmation may stand only for a moment before the CAM's next menu replaces it:
  // collect every text the message panel shows meanwhile.
  await page.evaluate((sel) => {
    window.camMessages = [];
    window.camWatch = setInterval(() => {
      const value = document.querySelector(sel).value;
      if (window.camMessages[window.camMessages.length - 1] !== value) window.camMessages.push(value);
    }, 1);
  }, MESSAGE);
  await page.keyboard.press('Enter');
  await page.waitForSelector(FIELD, { state: 'hidden' });
  await waitForLines(page, (l) => l.length === 7 && l[1] === 'PIN accepted', 'the CAM accepts the PIN and opens parental control');
  const messages = await page.evaluate(() => { clearInterval(window.camWatch); return window.camMessages; });
  check(!messages.some((m) => m.includes('1234')), `the message panel never shows the PIN in clear (${messages.join(' / ')})`);
  await page.locator(PANEL).screenshot({ path: path.join(artifacts, 'cam-panel.png') });
  await page.screenshot({ path: path.join(artifacts, 'cam-pin-accepted.png') });

  // Selecting another module closes the panel.
  await page.click('[data-dialog="102"] [data-control="1021"] .lv-icon[data-row="0"]');
  await page.waitForSelector(PANEL, { state: 'hidden' });
  check(!(await page.isVisible(PANEL)), 'selecting another module closes the panel');
  check(problems.length === 0, `no script errors ${problems.join('; ')}`);
}, () => rack?.stop(), { browserFirst: false });
