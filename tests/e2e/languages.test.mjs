// Browser test of every window in the five languages: node languages.test.mjs HOST ARTIFACTS
// CHROMIUM KAPTIV SIM. For each language (pref.txt in the program folder) it starts the
// simulated demo rack and kaptiv, walks the main window, the settings page of each family,
// the CAM panel, the about box, the file dialog, the replace question, the check dialog and the
// health view with its large plot,
// and at each one measures every text of the tool (label, button, check box, group title,
// column header, caption, message line): a text cut off (scrollWidth > clientWidth) that has
// no hover text fails, and so does any script error. The settings page in French and German
// goes to ARTIFACTS for the guide (settings-fr.png, settings-de.png).
import { copyFileSync } from 'node:fs';
import path from 'node:path';
import { artifacts, check, needRackPrograms, openPage, runChecks, startRack } from './lib/harness.mjs';
import { CHECK, clippedTexts, fittedTexts, LANGUAGES, openRequest, until, walkWindows } from './lib/walk.mjs';

// A configuration file whose name is not UTF-8 (ISO-8859-1 "café.qvc"): listed with U+FFFD,
// it can still be chosen and opened; the check dialog shows that it was read.
async function loadsNameThatIsNotUtf8(page, folder) {
  const config = path.join(folder, 'config');
  copyFileSync(path.join(config, 'walk.qvc'),
    Buffer.concat([Buffer.from(`${config}/caf`), Buffer.from([0xe9]), Buffer.from('.qvc')]));
  await openRequest(page, 1025, 'filedialog');
  await until(page, () => [...document.querySelectorAll('.request.filedialog .fd-label')].some((n) => n.textContent === 'caf\ufffd.qvc'),
    null, 'the name that is not UTF-8 listed');
  await page.evaluate(() => {
    const entry = [...document.querySelectorAll('.request.filedialog .fd-label')].find((n) => n.textContent === 'caf\ufffd.qvc');
    entry.parentElement.dispatchEvent(new MouseEvent('click', { bubbles: true }));
  });
  await page.click('.request.filedialog button.default');
  const opened = await until(page, (sel) => { const n = document.querySelector(sel); return !!n && n.offsetParent !== null; }, CHECK,
    'the check dialog of café.qvc').then(() => true, () => false);
  check(opened, 'a file whose name is not UTF-8 is chosen in the file dialog and opened (the check dialog shows it)');
  if (opened) await page.click(`${CHECK} [data-control="2"]`);
}

needRackPrograms();

let rack = null;
await runChecks('e2e languages', async () => {
  for (const language of LANGUAGES) {
    rack = await startRack(`lang-${language}`, { 'pref.txt': language });
    const { page, problems } = await openPage(rack.url, { width: 1000, height: 780 });
    await page.waitForSelector('body[data-rendered="1"]');
    const cut = [];
    let measured = 0;
    const smaller = new Set();
    const hover = new Set();
    await walkWindows(page, async (where) => {
      for (const c of await clippedTexts(page)) cut.push(`${where} ${c.where}: "${c.text}"`);
      const fitted = await fittedTexts(page);
      measured += fitted.measured;
      for (const t of fitted.smaller) smaller.add(t);
      for (const t of fitted.hover) hover.add(t);
      if (where === 'settings-sat2.0-ci-cofdm4' && (language === 'FR' || language === 'DE'))
        await page.screenshot({ path: path.join(artifacts, `settings-${language.toLowerCase()}.png`) });
    });
    console.log(`${language}: ${measured} texts measured; set smaller: ${[...smaller].map((t) => `"${t}"`).join(', ') || 'none'};` +
      ` whole on hover only: ${[...hover].map((t) => `"${t}"`).join(', ') || 'none'}`);
    check(measured > 500, `${language}: the walk measured the texts of every window (${measured})`);
    if (language === 'EN') await loadsNameThatIsNotUtf8(page, rack.folder);
    const lang = await page.evaluate(() => document.documentElement.lang);
    check(lang === { EN: 'en', FR: 'fr', IT: 'it', DE: 'de', SP: 'es' }[language], `${language}: the page knows its language (${lang})`);
    check(cut.length === 0, `${language}: no text is cut off without a hover text${cut.length ? `:\n  ${cut.join('\n  ')}` : ''}`);
    check(problems.length === 0, `${language}: no script error (${problems.join('; ')})`);
    await page.close();
    rack.stop();
    rack = null;
  }
}, () => {
  // A program left with a dialog open may outlive SIGTERM; it must not hold the test's output.
  if (rack) {
    if (rack.kaptiv) rack.kaptiv.child.kill('SIGKILL');
    rack.stop();
  }
});
