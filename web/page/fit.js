// Texts that do not fit their control: the page first sets the text a little smaller (down
// to 80 % of its size); a text that still does not fit shows whole on hover (its title).
// Controls keep the sizes the program gives them. Kaptiv.Fit.clipped() lists what is still
// cut without a hover text, for the tests.
'use strict';
window.Kaptiv = window.Kaptiv || {};

Kaptiv.Fit = (() => {
  // The elements that hold a text of the tool: labels, buttons, check boxes, group titles,
  // column headers, captions, message lines and the texts of message boxes and file dialogs.
  const SELECTOR = [
    '.ctl.static', '.ctl.button > span', '.ctl.check > span', '.ctl.group > legend',
    '.lv-report th', '.caption .title', 'input.edit.display', 'input.edit[readonly]', 'input.edit:disabled',
    '.mb-text', 'button.push',
    '.fd-name label', '.fd-label', '.fd-status', '.connection',
  ].join(', ');
  const MIN_SCALE = 0.8;
  let pending = false;

  const textOf = (n) => (n.tagName === 'INPUT' ? n.value : n.textContent).trim();
  // Width, and for wrapping labels a line that does not fit (a label's box may be a pixel or
  // two lower than its line, which cuts nothing).
  const LINE_SLACK_PX = 6;
  const range = document.createRange();
  // A text may run into its box's padding, where an ellipsis already cuts it, without making
  // the box scroll: the text's own width counts too.
  function textTooWide(n) {
    if (n.tagName === 'INPUT') return false;
    const style = getComputedStyle(n);
    if (style.whiteSpace.startsWith('pre-wrap') || style.whiteSpace === 'normal') return false; // it wraps
    range.selectNodeContents(n);
    const inner = n.clientWidth - parseFloat(style.paddingLeft) - parseFloat(style.paddingRight);
    return range.getBoundingClientRect().width > inner + 0.5;
  }
  const cut = (n) => n.scrollWidth > n.clientWidth + 1 || textTooWide(n) ||
    (n.classList.contains('static') && n.scrollHeight > n.clientHeight + LINE_SLACK_PX);
  // The element the pointer rests on: a button or check box, not the span inside it.
  const hoverTarget = (n) => (n.parentElement && n.parentElement.matches('.ctl.button, .ctl.check') ? n.parentElement : n);

  function fit(n) {
    const text = textOf(n);
    const target = hoverTarget(n);
    if (n.dataset.fitFor !== text) {
      // A new text: measured again from its own size.
      n.style.fontSize = '';
      n.dataset.fitFor = text;
      if (target.dataset.autoTitle) {
        target.removeAttribute('title');
        delete target.dataset.autoTitle;
      }
    }
    if (!text || n.clientWidth === 0 || !cut(n)) return;
    const base = parseFloat(getComputedStyle(n).fontSize);
    for (let scale = 0.95; scale >= MIN_SCALE - 1e-9 && cut(n); scale -= 0.05)
      n.style.fontSize = `${(base * scale).toFixed(2)}px`;
    if (cut(n) && !target.title) {
      target.title = text;
      target.dataset.autoTitle = '1';
    }
  }

  function run() {
    pending = false;
    for (const n of document.querySelectorAll(SELECTOR)) fit(n);
  }

  // After the page changed: once per frame at most.
  function schedule() {
    if (pending) return;
    pending = true;
    requestAnimationFrame(run);
  }

  // Still cut and no hover text on it or on its control: [{ text, where }].
  function clipped() {
    const found = [];
    for (const n of document.querySelectorAll(SELECTOR)) {
      if (n.clientWidth === 0 || !cut(n)) continue;
      const text = textOf(n);
      if (!text) continue;
      const titled = n.title || hoverTarget(n).title || (n.closest('[title]') && n.closest('[title]').title);
      if (titled) continue;
      const ctl = n.closest('[data-control]');
      const dialog = n.closest('[data-dialog]');
      found.push({ text, where: `${dialog ? dialog.dataset.dialog : '-'}/${ctl ? ctl.dataset.control : n.className || n.tagName}` });
    }
    return found;
  }

  // What the page did: texts set smaller, and texts that show whole only on hover.
  function fitted() {
    const smaller = [];
    const hover = [];
    for (const n of document.querySelectorAll(SELECTOR)) {
      if (n.style.fontSize) smaller.push(textOf(n));
      if (hoverTarget(n).dataset.autoTitle) hover.push(textOf(n));
    }
    return { measured: document.querySelectorAll(SELECTOR).length, smaller, hover };
  }

  return { schedule, run, clipped, fitted, SELECTOR };
})();
