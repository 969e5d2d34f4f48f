// Browser test of the program itself: its main window with no rack to find, then against the
// simulated demo rack.
import path from 'node:path';
import { mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import os from 'node:os';
import { artifacts, check, eventually, DEADLINE_MS, kaptivProgram, openPage, runChecks, simProgram, startHost, startSim } from './lib/harness.mjs';

// The real program, with no rack to find: its main window in the page, and the rescan
// button changing the model visibly (the scan reports in the message panel).
async function kaptivChecks() {
  const folder = mkdtempSync(path.join(os.tmpdir(), 'kaptiv-e2e-'));
  const kaptiv = startHost(['--profile', path.join(folder, 'kaptiv.ini'), '--serial', path.join(folder, 'no-such-tty')],
    kaptivProgram, { cwd: folder });
  try {
    const url = (await kaptiv.waitLine(/^URL /)).slice(4);
    const { page, problems } = await openPage(url);
    await page.waitForSelector('body[data-rendered="1"]');
    check((await page.title()).startsWith('KAPTIV 10.2 - FENWIX'), `kaptiv: the tab carries the window title (${await page.title()})`);
    check(await page.isVisible('[data-dialog="254"]'), 'kaptiv: the status panel is shown');
    await page.screenshot({ path: path.join(artifacts, 'kaptiv-main-window.png') });
    await page.click('[data-dialog="102"] [data-control="1023"]');
    await page.waitForFunction(() => document.querySelector('[data-dialog="160"] [data-control="1024"]').value !== '');
    const message = await page.inputValue('[data-dialog="160"] [data-control="1024"]');
    check(message.length > 0, `kaptiv: the rescan click reached the program, which reports in the message panel (${message})`);
    check(problems.length === 0, `kaptiv: no script errors ${problems.join('; ')}`);
    await page.close();
  } finally {
    kaptiv.child.kill('SIGTERM');
    rmSync(folder, { recursive: true, force: true });
  }
}

// The program against the simulated demo rack: the rack appears in the module column,
// clicking a module highlights its chain, rescan finds it again, and a rack that goes away
// empties the column.
async function rackChecks() {
  const folder = mkdtempSync(path.join(os.tmpdir(), 'kaptiv-e2e-rack-'));
  const sim = startSim();
  let kaptiv = null;
  try {
    const gateway = await sim.gateway;
    const profile = path.join(folder, 'kaptiv.ini');
    writeFileSync(profile, `serverAddress=${gateway.address}\nserverPort=${gateway.port}\n`);
    kaptiv = startHost(['--profile', profile, '--serial', path.join(folder, 'no-such-tty')], kaptivProgram, { cwd: folder });
    const url = (await kaptiv.waitLine(/^URL /)).slice(4);
    const { page, problems } = await openPage(url);
    const list = '[data-dialog="102"] [data-control="1021"]';
    const rowText = (i) => page.evaluate(([sel, n]) => {
      const row = document.querySelector(`${sel} .lv-icon[data-row="${n}"] span`);
      return row ? row.textContent : '';
    }, [list, i]);
    const rowImage = (i) => page.evaluate(([sel, n]) => {
      const img = document.querySelector(`${sel} .lv-icon[data-row="${n}"] img`);
      return img ? img.getAttribute('src') : '';
    }, [list, i]);
    // The gateway's link-up message may start one more scan right after the first: wait until
    // the column has shown the whole rack for a second without change.
    const expected = 'RkPSU,RkSat2.0,RkCI,RkModT4,QVXCT2,RkModC2,RkHD,QVXIP,RkSat1,RkModT1,RkAV,RkModC4';
    let names = [];
    let stableSince = 0;
    for (const end = Date.now() + DEADLINE_MS; Date.now() < end;) {
      names = [];
      for (let i = 0; i < 12; i += 1) names.push((await rowText(i)).split(/\r?\n/)[0]);
      if (names.join(',') !== expected) stableSince = 0;
      else if (!stableSince) stableSince = Date.now();
      else if (Date.now() - stableSince >= 1000) break;
      await page.waitForTimeout(100);
    }
    check(names.join(',') === expected,
      `rack: the demo rack's twelve modules appear in slot order (${names.join(',')})`);
    // Each row shows the name and, below it, the release: the line break in the row text is
    // kept on the page (innerText follows the rendering, so a mere wrap would not count).
    const rowLines = await page.evaluate((sel) => {
      const span = document.querySelector(`${sel} .lv-icon[data-row="1"] span`);
      return span ? span.innerText.split('\n').map((l) => l.trim()) : [];
    }, list);
    check(rowLines.length === 2 && rowLines[0] === 'RkSat2.0' && /^\d+\.\d/.test(rowLines[1]),
      `rack: a module row shows its name and its release on two lines (${JSON.stringify(rowLines)})`);
    // The title is refreshed when the scan ends.
    await page.waitForFunction((address) => document.title.includes(`(${address})`), gateway.address).catch(() => {});
    check((await page.title()).includes(`(${gateway.address})`), `rack: the title names the gateway (${await page.title()})`);
    await page.screenshot({ path: path.join(artifacts, 'kaptiv-demo-rack.png') });

    // The 4-channel COFDM modulator (row 3) ends the chain satellite tuner (1) -> CI (2) ->
    // COFDM (3): its input and itself light up, the CI module and the next chain do not.
    const before = [];
    for (let i = 0; i < 5; i += 1) before.push(await rowImage(i));
    await page.click(`${list} .lv-icon[data-row="3"]`);
    await page.waitForFunction(([sel, src]) => {
      const img = document.querySelector(`${sel} .lv-icon[data-row="1"] img`);
      return img && img.getAttribute('src') !== src;
    }, [list, before[1]]);
    const after = [];
    for (let i = 0; i < 5; i += 1) after.push(await rowImage(i));
    check(after[1] !== before[1] && after[3] !== before[3] && after[2] === before[2] && after[4] === before[4],
      'rack: clicking a modulator highlights it and the input of its chain, and nothing else');
    await page.screenshot({ path: path.join(artifacts, 'kaptiv-chain-selected.png') });

    // A rescan deselects the chain and fills the column again.
    await page.click('[data-dialog="102"] [data-control="1023"]');
    await eventually(page.waitForFunction(([sel, src]) => {
      const img = document.querySelector(`${sel} .lv-icon[data-row="1"] img`);
      const last = document.querySelector(`${sel} .lv-icon[data-row="11"] span`);
      return img && img.getAttribute('src') === src && last && last.textContent.startsWith('RkModC4');
    }, [list, before[1]]), 'rack: rescan clears the selection and finds the rack again');

    sim.child.kill('SIGTERM');
    await eventually(page.waitForFunction((sel) => !document.querySelector(`${sel} .lv-icon[data-row="1"] span`), list),
      'rack: when the simulator stops, the module column empties');
    check(problems.length === 0, `rack: no script errors ${problems.join('; ')}`);
    await page.close();
  } finally {
    if (kaptiv) kaptiv.child.kill('SIGTERM');
    sim.child.kill('SIGTERM');
    rmSync(folder, { recursive: true, force: true });
  }
}

await runChecks('rack', async () => {
  await kaptivChecks();
  await rackChecks();
});
