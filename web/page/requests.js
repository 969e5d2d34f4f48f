// Questions the program waits for: message boxes and the file dialog. Each is a modal
// window over the page, answered once; when another tab answers first the program closes
// it here too ("closed" in an update).
'use strict';
window.Kaptiv = window.Kaptiv || {};

Kaptiv.Requests = (() => {
  const open = new Map(); // request id -> { node, request }
  let folderRequest = 0;
  const folderWaiters = new Map(); // folder request id -> callback

  const BUTTONS = {
    ok: [['ok', 'OK']],
    okcancel: [['ok', 'OK'], ['cancel', 'Cancel']],
    yesno: [['yes', 'Yes'], ['no', 'No']],
    yesnocancel: [['yes', 'Yes'], ['no', 'No'], ['cancel', 'Cancel']],
    retrycancel: [['retry', 'Retry'], ['cancel', 'Cancel']],
  };
  const ICONS = { information: 'i', warning: '!', error: '×', question: '?' };

  const el = (tag, cls, text) => {
    const e = document.createElement(tag);
    if (cls) e.className = cls;
    if (text !== undefined) e.textContent = text;
    return e;
  };

  function answer(id, result, paths) {
    const entry = open.get(id);
    if (!entry) return;
    const msg = { type: 'answer', request: id, result };
    if (paths) msg.paths = paths;
    Kaptiv.send(msg);
    close(id);
  }

  function close(id) {
    const entry = open.get(id);
    if (!entry) return;
    entry.node.remove();
    open.delete(id);
    Kaptiv.refreshOverlay();
  }

  function frame(id, title, cls) {
    const win = el('section', `window request ${cls}`);
    win.setAttribute('role', 'dialog');
    win.setAttribute('aria-modal', 'true');
    win.dataset.request = id;
    const bar = el('header', 'caption');
    bar.append(el('span', 'title', title || 'KAPTIV'));
    win.append(bar);
    return win;
  }

  function messageBox(r) {
    const win = frame(r.id, r.caption, 'messagebox');
    const body = el('div', 'mb-body');
    if (ICONS[r.icon]) body.append(el('div', `mb-icon ${r.icon}`, ICONS[r.icon]));
    body.append(el('p', 'mb-text', r.text));
    const row = el('div', 'buttons');
    const buttons = BUTTONS[r.buttons] || BUTTONS.ok;
    for (const [result, label] of buttons) {
      const b = el('button', 'push', label);
      b.type = 'button';
      b.dataset.result = result;
      b.addEventListener('click', () => answer(r.id, result));
      row.append(b);
    }
    win.append(body, row);
    // Enter takes the first button, Escape the cancelling one (if any), as in a message box.
    win.keys = (key) => {
      if (key === 'Enter') answer(r.id, buttons[0][0]);
      else if (key === 'Escape') {
        const cancel = buttons.find(([res]) => res === 'cancel') || (buttons.length === 1 ? buttons[0] : null);
        if (cancel) answer(r.id, cancel[0]);
      }
    };
    return win;
  }

  function patternList(patterns) {
    return (patterns || '*').split(';').map((p) => p.trim()).filter(Boolean);
  }

  function fileDialog(r) {
    const win = frame(r.id, r.title || (r.save ? 'Save As' : 'Open'), 'filedialog');
    const pathRow = el('div', 'fd-path');
    const up = el('button', 'push small', '↑');
    up.type = 'button';
    up.title = 'Parent folder';
    const path = el('input', 'fd-folder');
    path.spellcheck = false;
    pathRow.append(up, path);
    const list = el('div', 'fd-list');
    list.tabIndex = 0;
    const status = el('div', 'fd-status');
    const nameRow = el('div', 'fd-name');
    const name = el('input');
    name.spellcheck = false;
    name.value = r.name || '';
    const filter = el('select');
    for (const f of r.filters.length ? r.filters : [{ label: 'All files (*.*)', patterns: '*' }]) {
      const o = el('option', '', f.label);
      o.value = f.patterns;
      filter.append(o);
    }
    nameRow.append(el('label', '', 'File name'), name, el('label', '', 'Type'), filter);
    const row = el('div', 'buttons');
    const ok = el('button', 'push default', r.save ? 'Save' : 'Open');
    const cancel = el('button', 'push', 'Cancel');
    ok.type = cancel.type = 'button';
    row.append(ok, cancel);
    win.append(pathRow, list, status, nameRow, row);

    let current = { path: '', parent: '' };
    let selected = [];

    const join = (folder, file) => (folder.endsWith('/') ? folder + file : `${folder}/${file}`);
    const show = (listing) => {
      current = listing;
      path.value = listing.path;
      up.disabled = !listing.parent;
      selected = [];
      status.textContent = listing.error ? listing.error : listing.truncated ? 'Only the first entries are shown.' : '';
      list.replaceChildren(...listing.entries.map((e) => {
        const item = el('div', e.dir ? 'fd-entry dir' : 'fd-entry file');
        item.append(el('span', 'fd-glyph', e.dir ? '▸' : ''), el('span', 'fd-label', e.name));
        if (!e.dir) item.append(el('span', 'fd-size', `${Math.ceil(e.size / 1024)} KB`));
        item.addEventListener('click', (ev) => {
          if (e.dir) return;
          if (r.multi && (ev.ctrlKey || ev.metaKey)) {
            item.classList.toggle('selected');
          } else {
            for (const s of list.querySelectorAll('.selected')) s.classList.remove('selected');
            item.classList.add('selected');
          }
          selected = [...list.querySelectorAll('.fd-entry.file.selected .fd-label')].map((s) => s.textContent);
          name.value = selected.length > 1 ? selected.map((s) => `"${s}"`).join(' ') : e.name;
        });
        item.addEventListener('dblclick', () => (e.dir ? browse(join(listing.path, e.name)) : accept()));
        return item;
      }));
    };
    const browse = (folder) => listFolder(folder, filter.value, show);
    const accept = () => {
      const typed = name.value.trim();
      if (!typed) return;
      let names = selected.length > 1 ? selected : [typed];
      // The program adds the extension (its own rule) and asks before replacing a file.
      const paths = names.map((n) => (n.startsWith('/') ? n : join(current.path, n)));
      answer(r.id, 'ok', paths);
    };

    up.addEventListener('click', () => current.parent && browse(current.parent));
    path.addEventListener('keydown', (ev) => { if (ev.key === 'Enter') { ev.stopPropagation(); browse(path.value); } });
    filter.addEventListener('change', () => browse(current.path));
    ok.addEventListener('click', accept);
    cancel.addEventListener('click', () => answer(r.id, 'cancel'));
    win.keys = (key) => {
      if (key === 'Enter') accept();
      else if (key === 'Escape') answer(r.id, 'cancel');
    };
    browse(r.folder);
    setTimeout(() => name.focus(), 0);
    return win;
  }

  function listFolder(folder, patterns, callback) {
    folderRequest += 1;
    folderWaiters.set(folderRequest, callback);
    Kaptiv.send({ type: 'listfolder', request: folderRequest, path: folder, patterns });
  }

  function onFolder(msg) {
    const callback = folderWaiters.get(msg.request);
    folderWaiters.delete(msg.request);
    if (callback) callback(msg);
  }

  // Requests arrive in updates; a full update repeats those still open, so they are
  // recognised by id and opened once.
  function apply(requests, closed, layer) {
    for (const id of closed || []) close(id);
    for (const r of requests || []) {
      if (open.has(r.id)) continue;
      const node = r.kind === 'file' ? fileDialog(r) : messageBox(r);
      open.set(r.id, { node, request: r });
      layer.append(node);
      const first = node.querySelector('button.push, input');
      if (first && r.kind !== 'file') first.focus();
    }
  }

  function reset() {
    for (const id of [...open.keys()]) close(id);
  }

  // The innermost open request takes Enter and Escape.
  function handleKey(key) {
    const last = [...open.values()].pop();
    if (!last) return false;
    if (last.node.keys) last.node.keys(key);
    return true;
  }

  return { apply, onFolder, reset, handleKey, count: () => open.size };
})();
