// Browser test of the main-window shell: starts the host on an ephemeral port, checks the
// server's refusals, opens the page in headless Chromium, checks what it shows, clicks a
// control and follows the event into the program and the answer back.
import path from 'node:path';
import { artifacts, check, eventually, openPage, request, runChecks, startHost, upgrade } from './lib/harness.mjs';

const host = startHost();
await runChecks('main window', async () => {
  const urlLine = await host.waitLine(/^URL /);
  const pageUrl = new URL(urlLine.slice(4));
  const token = pageUrl.searchParams.get('t');
  const origin = `http://${pageUrl.host}`;
  check(/^[0-9a-f]{32}$/.test(token), 'the URL carries a 128-bit token');

  // The server's refusals, seen from outside.
  check(await request(`${origin}/`) === 403, 'a request without the token is refused (403)');
  check(await request(`${origin}/app.js`) === 403, 'an asset without the token is refused (403)');
  check(await request(`${origin}/?t=${'0'.repeat(32)}`) === 403, 'a wrong token is refused (403)');
  check(await request(`${origin}/?t=${token}`, { Host: `evil.example:${pageUrl.port}` }) === 403,
    'a foreign Host is refused (403)');
  check(await upgrade(`${origin}/ws?t=${token}`, 'http://evil.example') === 403,
    'a WebSocket with a foreign Origin is refused (403)');
  check(await upgrade(`${origin}/ws`, origin) === 403, 'a WebSocket without the token is refused (403)');
  check(await upgrade(`${origin}/ws?t=${token}`, origin) === 101, 'the page\'s own WebSocket is accepted (101)');

  const { page, problems } = await openPage(pageUrl.href, { width: 1100, height: 720 }, { consoleErrors: true });
  await page.waitForSelector('body[data-rendered="1"]');
  check(await page.title() === 'KAPTIV 10.2 - FENWIX', 'the tab carries the window title');
  const caption = await page.textContent('[data-dialog="102"] > .caption .title');
  check(caption === 'KAPTIV 10.2 - FENWIX', `the main window shows the title (${caption})`);
  check(await page.isVisible('[data-dialog="254"]'), 'the status panel is shown');
  check(await page.textContent('[data-dialog="254"] [data-control="1207"]') === 'LME#1A',
    'the status panel shows the link notice');
  const message = await page.inputValue('[data-dialog="160"] [data-control="1024"]');
  check(message === 'Searching for the rack...', `the message panel shows a message (${message})`);
  check(await page.locator('[data-dialog="102"] [data-control="1021"] .lv-icon').count() === 13,
    'the module column has 13 rows');
  const brokenImages = await page.evaluate(() => [...document.images].filter((i) => i.getAttribute('src') && i.complete && i.naturalWidth === 0).length);
  check(brokenImages === 0, 'every bitmap loaded');
  const stats = await page.evaluate(() => window.kaptivStats);
  console.log(`figure: page load to first complete render ${stats.firstRenderMs} ms (images decoded at ${stats.imagesReadyMs} ms), snapshot ${stats.snapshotBytes} bytes`);
  await page.screenshot({ path: path.join(artifacts, 'main-window.png') });

  // A click travels to the program, which asks a question and shows the answer.
  await page.click('[data-dialog="102"] [data-control="1023"]');
  await eventually(host.waitLine(/^event click dialog=102 control=1023$/), 'the click on the rescan button reached the program');
  await page.waitForSelector('.request.messagebox');
  // The beep and the question may reach the page in different updates: wait for the beep
  // rather than read the log the moment the question shows.
  await page.waitForFunction(() => window.Kaptiv.Sound.log.some((b) => b.freq === 440 && b.ms === 200)).catch(() => {});
  const beeps = await page.evaluate(() => window.Kaptiv.Sound.log.map((b) => `${b.freq}/${b.ms}`));
  check(beeps.includes('440/200'), `the beep reached the page at its frequency and duration (${beeps.join(' ')})`);
  check((await page.textContent('.request.messagebox .mb-text')) === 'Search the rack again?', 'the message box shows the question');
  await page.screenshot({ path: path.join(artifacts, 'message-box.png') });
  await page.click('.request.messagebox button[data-result="ok"]');
  await host.waitLine(/^answer request=\d+ result=ok/);
  await host.waitLine(/^handled click dialog=102 control=1023 result=delivered/);
  await eventually(page.waitForFunction(() => document.querySelector('[data-dialog="160"] [data-control="1024"]').value === 'Rescan 1: confirmed'),
    'the answer came back and the message panel shows it');
  await eventually(page.waitForFunction(() => document.querySelectorAll('.request').length === 0), 'the message box closed');
  const delta = await page.evaluate(() => window.kaptivStats.lastUpdateBytes);
  console.log(`figure: last delta message ${delta} bytes`);

  // Escape: down and up both reach the program (the upload loop polls its state).
  await page.keyboard.down('Escape');
  await eventually(host.waitLine(/^handled keydown dialog=102 control=\d+ key=Escape result=/), 'Escape down reached the program');
  await page.keyboard.up('Escape');
  await eventually(host.waitLine(/^handled keyup dialog=102 control=\d+ key=Escape result=/), 'Escape up reached the program');

  check(problems.length === 0, `no script errors on the page ${problems.join('; ')}`);
  await page.close();
}, () => host.child.kill('SIGTERM'));
