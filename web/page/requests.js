// Questions the program waits for: message boxes and the file dialog. Each is a modal
// window over the page, answered once; when another tab answers first the program closes
// it here too ("closed" in an update).
'use strict';
window.Kaptiv = window.Kaptiv || {};

Kaptiv.Requests = (() => {
  const open = new Map(); // request id -> { node, request }
  let folderRequest = 0;
  const folderWaiters = new Map(); // folder request id -> callback

  // Each button is its result; its label is the page text of the same key, in the
  // program's language (Kaptiv.t), English until the program has said which.
  const BUTTONS = {
    ok: ['ok'],
    okcancel: ['ok', 'cancel'],
    yesno: ['yes', 'no'],
    yesnocancel: ['yes', 'no', 'cancel'],
    retrycancel: ['retry', 'cancel'],
  };
  const LABELS = { ok: 'OK', cancel: 'Cancel', yes: 'Yes', no: 'No', retry: 'Retry' };
  const t = (key, english) => Kaptiv.t(key, english);
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
    for (const result of buttons) {
      const b = el('button', 'push', t(result, LABELS[result]));
      b.type = 'button';
      b.dataset.result = result;
      b.addEventListener('click', () => answer(r.id, result));
      row.append(b);
    }
    win.append(body, row);
    // Enter takes the first button, Escape the cancelling one (if any), as in a message box.
    win.keys = (key) => {
      if (key === 'Enter') answer(r.id, buttons[0]);
      else if (key === 'Escape') {
        const cancel = buttons.find((res) => res === 'cancel') || (buttons.length === 1 ? buttons[0] : null);
        if (cancel) answer(r.id, cancel);
      }
    };
    return win;
  }

  // Paths travel as refs: '%' is written %25 and the bytes of a name that is not UTF-8
  // come as %XX from the program (e.ref), so that every listed name can be sent back.
  const escapeRef = (text) => text.replace(/%/g, '%25');
  const refOf = (shown, ref) => (typeof ref === 'string' ? ref : escapeRef(shown));

  function patternList(patterns) {
    return (patterns || '*').split(';').map((p) => p.trim()).filter(Boolean);
  }

  function fileDialog(r) {
    const win = frame(r.id, r.title || (r.save ? t('saveAs', 'Save As') : t('openTitle', 'Open')), 'filedialog');
    const pathRow = el('div', 'fd-path');
    const up = el('button', 'push small', '↑');
    up.type = 'button';
    up.title = t('parentFolder', 'Parent folder');
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
    for (const f of r.filters.length ? r.filters : [{ label: t('allFiles', 'All files (*.*)'), patterns: '*' }]) {
      const o = el('option', '', f.label);
      o.value = f.patterns;
      filter.append(o);
    }
    nameRow.append(el('label', '', t('fileName', 'File name')), name, el('label', '', t('fileType', 'Type')), filter);
    const row = el('div', 'buttons');
    const ok = el('button', 'push default', r.save ? t('save', 'Save') : t('open', 'Open'));
    const cancel = el('button', 'push', t('cancel', 'Cancel'));
    ok.type = cancel.type = 'button';
    row.append(ok, cancel);
    win.append(pathRow, list, status, nameRow, row);

    let current = { path: '', parent: '', pathRef: '', parentRef: '' };
    let selected = []; // { name, ref } of the chosen files

    const join = (folder, file) => (folder.endsWith('/') ? folder + file : `${folder}/${file}`);
    const show = (listing, asked) => {
      current = listing;
      current.pathRef = refOf(listing.path || '', listing.pathRef);
      current.parentRef = listing.parent ? refOf(listing.parent, listing.parentRef) : '';
      path.value = listing.path;
      up.disabled = !listing.parent;
      selected = [];
      status.textContent = listing.notFolder
        ? t('notAFolder', 'not a folder: %s').replace('%s', asked)
        : listing.error ? listing.error : listing.truncated ? t('firstEntriesOnly', 'Only the first entries are shown.') : '';
      list.replaceChildren(...listing.entries.map((e) => {
        const item = el('div', e.dir ? 'fd-entry dir' : 'fd-entry file');
        const ref = refOf(e.name, e.ref);
        item.entry = { name: e.name, ref };
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
          selected = [...list.querySelectorAll('.fd-entry.file.selected')].map((s) => s.entry);
          name.value = selected.length > 1 ? selected.map((s) => `"${s.name}"`).join(' ') : e.name;
        });
        item.addEventListener('dblclick', () => (e.dir ? browseRef(join(current.pathRef, ref)) : accept()));
        return item;
      }));
    };
    // browseRef takes a ref; a folder typed by the installer is text (browseTyped), unless
    // it is still the one shown, whose ref is known.
    const browseRef = (ref, shown) => listFolder(ref, filter.value, (listing) => show(listing, shown || ref));
    const browseTyped = (typed) => browseRef(typed === current.path ? current.pathRef : escapeRef(typed), typed);
    const accept = () => {
      const typed = name.value.trim();
      if (!typed) return;
      // Names as refs: the chosen entries keep theirs, a typed name is text. The program adds
      // the extension (its own rule) and asks before replacing a file.
      let names;
      if (selected.length > 1) names = selected.map((s) => s.ref);
      else if (selected.length === 1 && typed === selected[0].name) names = [selected[0].ref];
      else names = [escapeRef(typed)];
      const paths = names.map((n) => (n.startsWith('/') ? n : join(current.pathRef, n)));
      answer(r.id, 'ok', paths);
    };

    up.addEventListener('click', () => current.parent && browseRef(current.parentRef, current.parent));
    path.addEventListener('keydown', (ev) => { if (ev.key === 'Enter') { ev.stopPropagation(); browseTyped(path.value); } });
    filter.addEventListener('change', () => browseRef(current.pathRef, current.path));
    ok.addEventListener('click', accept);
    cancel.addEventListener('click', () => answer(r.id, 'cancel'));
    win.keys = (key) => {
      if (key === 'Enter') accept();
      else if (key === 'Escape') answer(r.id, 'cancel');
    };
    browseRef(escapeRef(r.folder || ''), r.folder || '');
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
