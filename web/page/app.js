// The page: one WebSocket to the program, the dialogs it shows, and the installer's input
// sent back as events. The program owns every state; the page draws what it is told.
'use strict';
window.Kaptiv = window.Kaptiv || {};

(() => {
  const token = new URLSearchParams(location.search).get('t') || '';
  const desktop = document.getElementById('desktop');
  const backdrop = document.getElementById('overlay');
  const banner = document.getElementById('connection');
  const modalLayer = document.createElement('div');
  modalLayer.className = 'modal-layer';
  const requestLayer = document.createElement('div');
  requestLayer.className = 'request-layer';
  document.body.append(modalLayer, requestLayer);

  const UNIT_X = Kaptiv.Controls.UNIT_X;
  const UNIT_Y = Kaptiv.Controls.UNIT_Y;
  const dialogs = new Map(); // id -> { data, node, client, controls: Map(id -> ctx) }
  let modalStack = [];
  let socket = null;
  let synced = false; // no delta is applied before the first full update
  let retryMs = 500;

  // Figures for tests and for the curious: window.kaptivStats.
  const stats = { firstRenderMs: null, imagesReadyMs: null, updates: 0, lastUpdateBytes: 0, snapshotBytes: 0, sent: [] };
  window.kaptivStats = stats;

  // The page's own texts in the program's language (update.texts); English until then. The
  // last ones are kept for the tab, so that a reload says "connecting" in the same language.
  Kaptiv.texts = {};
  Kaptiv.t = (key, english) => (typeof Kaptiv.texts[key] === 'string' && Kaptiv.texts[key]) || english;
  try {
    const kept = JSON.parse(sessionStorage.getItem('kaptiv.texts') || 'null');
    if (kept && kept.texts) applyTexts(kept);
  } catch {
    // no storage: English until the program answers
  }

  function applyTexts(texts) {
    Kaptiv.texts = texts.texts || {};
    if (texts.language) document.documentElement.lang = texts.language;
    for (const close of document.querySelectorAll('section[data-dialog] > .caption > button.close'))
      close.title = Kaptiv.t('close', 'Close');
    if (!banner.hidden && !synced) banner.textContent = Kaptiv.t('connecting', 'Connecting to KAPTIV…');
  }

  Kaptiv.imageUrl = (name) => `/image/${name}.svg?t=${encodeURIComponent(token)}`;
  Kaptiv.send = (msg) => {
    stats.sent.push(msg.type);
    if (stats.sent.length > 200) stats.sent.shift();
    if (socket && socket.readyState === WebSocket.OPEN) socket.send(JSON.stringify(msg));
  };

  // ---- dialogs --------------------------------------------------------------------------

  function makeDialog(id) {
    const entry = { data: null, node: null, client: null, caption: null, controls: new Map() };
    const node = document.createElement('section');
    node.dataset.dialog = id;
    const caption = document.createElement('header');
    caption.className = 'caption';
    const title = document.createElement('span');
    title.className = 'title';
    const close = document.createElement('button');
    close.type = 'button';
    close.className = 'close';
    close.title = Kaptiv.t('close', 'Close');
    close.textContent = '×';
    close.addEventListener('click', () => Kaptiv.send({ type: 'close', dialog: id }));
    caption.append(title, close);
    const client = document.createElement('div');
    client.className = 'client';
    node.append(caption, client);
    enableDrag(node, caption);
    Object.assign(entry, { node, client, caption });
    dialogs.set(id, entry);
    return entry;
  }

  function enableDrag(node, handle) {
    handle.addEventListener('pointerdown', (ev) => {
      if (!node.classList.contains('floating') || ev.target.closest('button')) return;
      const startX = ev.clientX - node.offsetLeft;
      const startY = ev.clientY - node.offsetTop;
      const move = (e) => {
        node.style.left = `${Math.max(0, e.clientX - startX)}px`;
        node.style.top = `${Math.max(0, e.clientY - startY)}px`;
        node.dataset.dragged = '1';
      };
      const up = () => { window.removeEventListener('pointermove', move); window.removeEventListener('pointerup', up); };
      window.addEventListener('pointermove', move);
      window.addEventListener('pointerup', up);
    });
  }

  function mainDialog() {
    let best = null;
    for (const d of dialogs.values())
      if (d.data && d.data.parent === 0 && d.data.kind === 'popup' && d.data.visible && (!best || d.data.id < best.data.id)) best = d;
    return best;
  }

  function applyDialog(d) {
    const entry = dialogs.get(d.id) || makeDialog(d.id);
    entry.data = d;
    const { node, client, caption } = entry;
    node.hidden = !d.visible;
    caption.hidden = !d.caption;
    caption.firstChild.textContent = d.title;
    client.style.width = `${d.w * UNIT_X}px`;
    client.style.height = `${d.h * UNIT_Y}px`;
  }

  // Where each dialog lives: top-level pop-ups on the desktop, child panels inside their
  // parent's client area, modal dialogs over everything.
  function placeDialogs() {
    const main = mainDialog();
    for (const entry of dialogs.values()) {
      const d = entry.data;
      if (!d) continue;
      const { node } = entry;
      // The main window runs modally too; only dialogs above it get the overlay.
      const modal = d.parent !== 0 && modalStack.includes(d.id);
      const parent = d.parent ? dialogs.get(d.parent) : null;
      let host;
      let cls;
      if (modal) {
        host = modalLayer;
        cls = 'window modal';
      } else if (d.kind === 'child' && parent) {
        host = parent.client;
        cls = 'panel';
      } else if (entry === main) {
        host = desktop;
        cls = 'window main';
      } else {
        host = desktop;
        cls = 'window floating';
      }
      if (node.parentNode !== host) host.append(node);
      node.className = cls;
      node.style.zIndex = cls === 'panel' ? '' : String(10 + Number(d.z || 0));
      if (cls === 'panel') {
        node.style.left = `${d.x}px`;
        node.style.top = `${d.y}px`;
      } else if (cls === 'window floating' && !node.dataset.dragged) {
        // A pop-up without a position of its own appears centred over the main window.
        if ((d.x || d.y) || !main) {
          node.style.left = `${d.x}px`;
          node.style.top = `${d.y}px`;
        } else {
          const box = main.node.getBoundingClientRect();
          const w = d.w * UNIT_X;
          const h = d.h * UNIT_Y + 28;
          node.style.left = `${Math.max(8, box.left + window.scrollX + (box.width - w) / 2)}px`;
          node.style.top = `${Math.max(8, box.top + window.scrollY + (box.height - h) / 2)}px`;
        }
      } else {
        node.style.left = '';
        node.style.top = '';
      }
    }
    const title = main && main.data.title;
    if (title && document.title !== title) document.title = title;
    refreshOverlay();
  }

  function refreshOverlay() {
    const visibleModal = modalStack.some((id) => {
      const d = dialogs.get(id)?.data;
      return d && d.visible && d.parent !== 0;
    });
    backdrop.hidden = !(visibleModal || Kaptiv.Requests.count() > 0);
    backdrop.classList.toggle('above-modal', Kaptiv.Requests.count() > 0);
  }
  Kaptiv.refreshOverlay = refreshOverlay;

  function destroyDialog(id) {
    const entry = dialogs.get(id);
    if (!entry) return;
    entry.node.remove();
    dialogs.delete(id);
  }

  function applyControls(list) {
    for (const { dialog, control } of list) {
      const entry = dialogs.get(dialog);
      if (!entry) continue;
      let ctx = entry.controls.get(control.id);
      if (!ctx) {
        ctx = { dialog, data: undefined, el: null };
        entry.controls.set(control.id, ctx);
      }
      Kaptiv.Controls.apply(ctx, control, entry.client);
    }
  }

  function applyFocus(focus) {
    const ctx = dialogs.get(focus.dialog)?.controls.get(focus.control);
    if (!ctx || !ctx.el) return;
    const target = ctx.el.matches('input, select, textarea, button') ? ctx.el : ctx.el.querySelector('input, select, button');
    if (!target || document.activeElement === target) return;
    target.focus({ preventScroll: true });
    // An edit field the program moves the focus to comes with its whole text selected, ready
    // to be typed over (the stream port, a refused value).
    if (target.matches('input.ctl.edit')) target.select();
  }

  function reset() {
    for (const id of [...dialogs.keys()]) destroyDialog(id);
    Kaptiv.Requests.reset();
    modalStack = [];
  }

  function applyUpdate(u) {
    if (u.texts) {
      applyTexts(u.texts);
      try {
        sessionStorage.setItem('kaptiv.texts', JSON.stringify(u.texts));
      } catch {
        // kept for this page only
      }
    }
    if (u.full) {
      reset();
      synced = true;
    }
    if (!synced) return;
    for (const id of u.destroyed || []) destroyDialog(id);
    for (const d of u.dialogs || []) applyDialog(d);
    if (u.modal) modalStack = u.modal;
    placeDialogs();
    applyControls(u.controls || []);
    if (u.focus) applyFocus(u.focus);
    Kaptiv.Requests.apply(u.requests, u.closed, requestLayer);
    refreshOverlay();
    for (const b of u.beeps || []) Kaptiv.Sound.beep(b.freq, b.ms);
    stats.updates += 1;
    Kaptiv.Fit.schedule();
    if (u.full && stats.firstRenderMs === null) recordFirstRender();
  }

  function recordFirstRender() {
    requestAnimationFrame(() => {
      stats.firstRenderMs = Math.round(performance.now());
      const images = [...document.images];
      Promise.all(images.map((img) => (img.complete ? null : img.decode().catch(() => null)))).then(() => {
        stats.imagesReadyMs = Math.round(performance.now());
        document.body.dataset.rendered = '1';
      });
    });
  }

  // ---- keyboard -------------------------------------------------------------------------

  const LIST_KEYS = new Set(['ArrowUp', 'ArrowDown', 'ArrowLeft', 'ArrowRight', 'Delete', ' ']);
  let escapeDown = false;

  function keyTarget() {
    const focused = document.activeElement;
    const controlNode = focused && focused.closest ? focused.closest('[data-control]') : null;
    const dialogNode = focused && focused.closest ? focused.closest('[data-dialog]') : null;
    if (modalStack.length) {
      // Keys go to the modal dialog, or to a child panel inside it that has the focus (the
      // panels of the main window, which runs modally).
      const top = modalStack[modalStack.length - 1];
      const inside = dialogNode && dialogNode.closest(`[data-dialog="${top}"]`);
      if (!inside) return { dialog: top, control: 0 };
    }
    if (dialogNode)
      return { dialog: Number(dialogNode.dataset.dialog), control: controlNode ? Number(controlNode.dataset.control) : 0 };
    const main = mainDialog();
    return main ? { dialog: main.data.id, control: 0 } : null;
  }

  function forwards(ev) {
    if (ev.key === 'Enter' || ev.key === 'Escape') {
      // Enter on a focused button presses that button, as in a dialog.
      return !(ev.key === 'Enter' && ev.target.tagName === 'BUTTON');
    }
    return LIST_KEYS.has(ev.key) && ev.target.classList && ev.target.classList.contains('listview');
  }

  document.addEventListener('keydown', (ev) => {
    if ((ev.key === 'Enter' || ev.key === 'Escape') && Kaptiv.Requests.handleKey(ev.key)) {
      ev.preventDefault();
      return;
    }
    if (!forwards(ev)) return;
    const target = keyTarget();
    if (!target) return;
    if (ev.key === 'Escape') {
      if (ev.repeat && escapeDown) return;
      escapeDown = true;
    }
    ev.preventDefault();
    Kaptiv.send({ type: 'keydown', dialog: target.dialog, control: target.control, key: ev.key });
  });

  document.addEventListener('keyup', (ev) => {
    if (ev.key !== 'Escape' && !(ev.key === 'Enter' && forwards(ev))) return;
    if (ev.key === 'Escape') escapeDown = false;
    const target = keyTarget();
    if (target) Kaptiv.send({ type: 'keyup', dialog: target.dialog, control: target.control, key: ev.key });
  });

  // A key held while the tab loses focus would otherwise stay "down" in the program.
  window.addEventListener('blur', () => {
    if (!escapeDown) return;
    escapeDown = false;
    const target = keyTarget();
    if (target) Kaptiv.send({ type: 'keyup', dialog: target.dialog, control: 0, key: 'Escape' });
  });

  // ---- connection -----------------------------------------------------------------------

  function connect() {
    socket = new WebSocket(`ws://${location.host}/ws?t=${encodeURIComponent(token)}`);
    socket.addEventListener('open', () => {
      retryMs = 500;
      banner.hidden = true;
    });
    socket.addEventListener('message', (ev) => {
      let msg;
      try {
        msg = JSON.parse(ev.data);
      } catch {
        return;
      }
      stats.lastUpdateBytes = ev.data.length;
      if (msg.full) stats.snapshotBytes = ev.data.length;
      if (msg.type === 'update') applyUpdate(msg);
      else if (msg.type === 'folder') Kaptiv.Requests.onFolder(msg);
    });
    socket.addEventListener('close', () => {
      synced = false;
      banner.textContent = Kaptiv.t('connectionLost', 'The connection to KAPTIV was lost. Reconnecting…');
      banner.hidden = false;
      setTimeout(connect, retryMs);
      retryMs = Math.min(retryMs * 2, 5000);
    });
  }

  banner.textContent = Kaptiv.t('connecting', 'Connecting to KAPTIV…');
  banner.hidden = false;
  connect();
})();
