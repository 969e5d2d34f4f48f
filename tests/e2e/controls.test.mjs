// Browser test of the controls gallery: every control kind drawn and reporting back, and the
// file dialog browsing the PC.
import path from 'node:path';
import { artifacts, check, openPage, runChecks, startHost } from './lib/harness.mjs';

// Every control kind drawn and reporting back, and the file dialog browsing the PC.
async function galleryChecks() {
  const gallery = startHost(['--gallery']);
  try {
    const url = (await gallery.waitLine(/^URL /)).slice(4);
    const { page, problems } = await openPage(url, { width: 1400, height: 760 });
    await page.waitForSelector('body[data-rendered="1"]');
    const g = '[data-dialog="900"]';
    await page.waitForSelector(`${g} [data-control="16"] tbody tr`);
    const kinds = await page.evaluate((sel) => [...document.querySelectorAll(`${sel} .ctl`)].map((n) => n.className.split(' ')[1]), g);
    check(['group', 'static', 'edit', 'check', 'combo', 'listbox', 'listview', 'progress', 'slider', 'updown', 'time', 'drawn', 'button']
      .every((k) => kinds.includes(k)), `every control kind is drawn (${[...new Set(kinds)].join(' ')})`);
    await page.screenshot({ path: path.join(artifacts, 'controls.png') });

    const reported = await (async () => {
      await page.fill(`${g} [data-control="12"]`, '12000');
      await gallery.waitLine(/^gallery frequency 12000$/);
      await page.click(`${g} [data-control="13"] input`);
      await gallery.waitLine(/^gallery descramble on$/);
      await page.selectOption(`${g} [data-control="14"]`, { label: '16APSK' });
      await gallery.waitLine(/^gallery modulation 16APSK$/);
      await page.click(`${g} [data-control="16"] td[data-row="2"][data-col="0"]`);
      await gallery.waitLine(/^gallery service row 2$/);
      await page.waitForSelector(`${g} [data-control="16"] tr.selected td[data-row="2"]`);
      await page.dblclick(`${g} [data-control="16"] td[data-row="1"][data-col="2"]`);
      await gallery.waitLine(/^gallery double-click row 1 column 2$/);
      await page.click(`${g} [data-control="19"] button:first-child`);
      await gallery.waitLine(/^gallery scroll 19 to 6$/);
      return true;
    })().catch((e) => { console.log(String(e).split('\n')[0]); return false; });
    check(reported, 'edit, check box, combo box, list view (click, selection, double-click) and up-down report to the program');

    // The file dialog starts where the program says and browses real folders.
    await page.click(`${g} [data-control="24"]`);
    await page.waitForSelector('.request.filedialog .fd-entry.dir');
    check(await page.inputValue('.request.filedialog .fd-folder') === '/', 'the file dialog opens in the folder the program names');
    await page.dblclick('.request.filedialog .fd-entry.dir >> text="tmp"');
    await page.waitForFunction(() => document.querySelector('.request.filedialog .fd-folder').value === '/tmp');
    await page.screenshot({ path: path.join(artifacts, 'file-dialog.png') });
    await page.fill('.request.filedialog .fd-name input', 'rack.qvc');
    await page.click('.request.filedialog button.default');
    await gallery.waitLine(/^gallery file \/tmp\/rack\.qvc$/);
    check(await page.locator('.request').count() === 0, 'the file dialog answered with the chosen path and closed');
    check(problems.length === 0, `no script errors on the gallery page ${problems.join('; ')}`);
    await page.close();
  } finally {
    gallery.child.kill('SIGTERM');
  }
}

// The in-place cell editor: opens over the cell with the text selected; Return and focus loss
// commit, Escape cancels; the box widens with its text up to the list's right edge.
async function cellEditorChecks() {
  const gallery = startHost(['--gallery']);
  try {
    const url = (await gallery.waitLine(/^URL /)).slice(4);
    const { page, problems } = await openPage(url, { width: 1400, height: 760 });
    const list = '[data-dialog="900"] [data-control="16"]';
    const cell = `${list} td[data-row="3"][data-col="2"]`;
    await page.waitForSelector(cell);
    const editor = `${list} input.cell-edit`;

    await page.dblclick(cell);
    await page.waitForSelector(editor);
    const opened = await page.evaluate(([e, c]) => {
      const input = document.querySelector(e);
      const a = input.getBoundingClientRect();
      const b = document.querySelector(c).getBoundingClientRect();
      return {
        value: input.value, focused: document.activeElement === input,
        selected: input.selectionStart === 0 && input.selectionEnd === input.value.length,
        over: Math.abs(a.left - b.left) < 2 && Math.abs(a.top - b.top) < 2 && Math.abs(a.width - b.width) < 2,
      };
    }, [editor, cell]);
    check(opened.value === '4' && opened.focused && opened.selected && opened.over,
      `the editor opens over the cell with its text selected (${JSON.stringify(opened)})`);
    await page.screenshot({ path: path.join(artifacts, 'cell-editor.png') });

    await page.keyboard.type('77');
    await page.keyboard.press('Enter');
    await gallery.waitLine(/^gallery cell row 3 column 2 text 77$/);
    await page.waitForFunction((c) => document.querySelector(c).textContent === '77', cell);
    check(await page.locator(editor).count() === 0, 'Return commits the typed text and closes the editor');

    await page.dblclick(cell);
    await page.waitForSelector(editor);
    await page.keyboard.type('99');
    await page.keyboard.press('Escape');
    await gallery.waitLine(/^gallery cell row 3 column 2 cancelled$/);
    check(await page.locator(editor).count() === 0 && await page.textContent(cell) === '77',
      'Escape ends the edit without text and the cell keeps its value');

    await page.dblclick(cell);
    await page.waitForSelector(editor);
    const long = 'W'.repeat(120);
    await page.keyboard.type(long);
    const widths = await page.evaluate(([e, l, c]) => {
      const input = document.querySelector(e).getBoundingClientRect();
      const box = document.querySelector(l);
      const frame = box.getBoundingClientRect();
      return { right: input.right, cellWidth: document.querySelector(c).getBoundingClientRect().width,
        width: input.width, clientRight: frame.left + box.clientLeft + box.clientWidth };
    }, [editor, list, cell]);
    check(widths.width > widths.cellWidth + 20 && widths.right <= widths.clientRight + 1,
      `typing widens the box up to the list's right edge, not beyond (${JSON.stringify(widths)})`);
    await page.click('[data-dialog="900"] [data-control="12"]');
    const committed = await gallery.waitLine(new RegExp(`^gallery cell row 3 column 2 text ${long}$`)).then(() => true, () => false);
    check(committed, 'focus loss commits the text');

    // The program ends an editor that still has the focus (its cell went away): the box goes
    // without a script error.
    const row4 = `${list} td[data-row="4"][data-col="2"]`;
    await page.dblclick(row4);
    await page.waitForSelector(editor);
    await page.keyboard.type('5');
    await gallery.waitLine(/^gallery editor closed by the program$/);
    await page.waitForSelector(editor, { state: 'detached' });
    check(problems.length === 0, `no script errors with the cell editor ${problems.join('; ')}`);
    await page.close();
  } catch (e) { console.log('LINES:\n' + gallery.lines.join('\n')); throw e; } finally {
    gallery.child.kill('SIGTERM');
  }
}

await runChecks('controls', async () => {
  await galleryChecks();
  await cellEditorChecks();
});
