// One renderer per control kind. A control is an absolutely positioned element inside its
// dialog's client area; its rectangle comes in dialog units (1 unit = 1.5 px across,
// 1.625 px down). The page never changes a control's state on its own: it reports what
// the installer did and draws what the model sends back.
'use strict';
window.Kaptiv = window.Kaptiv || {};

Kaptiv.Controls = (() => {
  const UNIT_X = 1.5;
  const UNIT_Y = 1.625;
  // Style bits, as the dialog templates set them.
  const STYLE = {
    alignRight: 1 << 5, alignCenter: 1 << 6, border: 1 << 7, multiSelect: 1 << 9,
    dropDownList: 1 << 10, vertical: 1 << 12, defaultButton: 1 << 13, noCaret: 1 << 14,
    noHeader: 1 << 16, notify: 1 << 18,
  };

  const px = (v) => `${Math.round(v * 100) / 100}px`;
  const el = (tag, cls) => {
    const e = document.createElement(tag);
    if (cls) e.className = cls;
    return e;
  };
  const send = (msg) => Kaptiv.send(msg);
  const image = (name) => (name ? Kaptiv.imageUrl(name) : '');

  function place(node, c) {
    node.style.left = px(c.x * UNIT_X);
    node.style.top = px(c.y * UNIT_Y);
    node.style.width = px(c.w * UNIT_X);
    node.style.height = px(c.h * UNIT_Y);
  }

  function common(node, c) {
    place(node, c);
    node.hidden = !c.visible;
    node.classList.toggle('disabled', !c.enabled);
    node.classList.toggle('bordered', (c.style & STYLE.border) !== 0);
    node.style.color = c.color || '';
    node.style.backgroundColor = c.back || '';
    if (c.font) {
      node.style.fontFamily = `"${c.font.family}", "Liberation Sans", Arial, sans-serif`;
      node.style.fontSize = px(c.font.px * 0.8);
      node.style.fontWeight = c.font.bold ? '600' : '';
    }
    node.style.textAlign = (c.style & STYLE.alignRight) ? 'right' : (c.style & STYLE.alignCenter) ? 'center' : '';
  }

  function setText(node, text) {
    if (node.textContent !== text) node.textContent = text;
  }

  function setImg(img, name) {
    const url = image(name);
    if (!url) { img.hidden = true; return; }
    img.hidden = false;
    if (img.getAttribute('src') !== url) img.setAttribute('src', url);
  }

  // ---- kinds ------------------------------------------------------------------------------

  const kinds = {};

  kinds.static = {
    create(ctx) {
      const n = el('div', 'ctl static');
      n.addEventListener('click', () => {
        if (ctx.data.style & STYLE.notify) send({ type: 'click', dialog: ctx.dialog, control: ctx.data.id });
      });
      return n;
    },
    update(n, c) { setText(n, c.text); },
  };

  kinds.picture = {
    create(ctx) {
      const n = el('div', 'ctl picture');
      n.append(el('img'));
      n.firstChild.alt = '';
      n.firstChild.draggable = false;
      n.addEventListener('click', () => {
        if (ctx.data.style & STYLE.notify) send({ type: 'click', dialog: ctx.dialog, control: ctx.data.id });
      });
      return n;
    },
    update(n, c) { setImg(n.firstChild, c.image); },
  };

  kinds.button = {
    create(ctx) {
      const n = el('button', 'ctl button');
      n.type = 'button';
      n.append(el('img'), el('span'));
      n.firstChild.alt = '';
      n.firstChild.draggable = false;
      n.addEventListener('click', () => send({ type: 'click', dialog: ctx.dialog, control: ctx.data.id }));
      return n;
    },
    update(n, c) {
      n.disabled = !c.enabled;
      n.classList.toggle('icon', !!c.image);
      n.classList.toggle('default', (c.style & STYLE.defaultButton) !== 0);
      setImg(n.firstChild, c.image);
      setText(n.lastChild, c.image ? '' : c.text.replace(/&(.)/g, '$1'));
      n.title = c.image ? c.text.replace(/&/g, '') : '';
    },
  };

  kinds.check = {
    create(ctx) {
      const n = el('label', 'ctl check');
      const box = el('input');
      box.type = 'checkbox';
      n.append(box, el('span'));
      box.addEventListener('change', () => {
        const wanted = box.checked;
        box.checked = ctx.data.checked; // the model decides
        send({ type: 'check', dialog: ctx.dialog, control: ctx.data.id, value: wanted ? 1 : 0 });
      });
      return n;
    },
    update(n, c) {
      n.firstChild.checked = !!c.checked;
      n.firstChild.disabled = !c.enabled;
      setText(n.lastChild, c.text.replace(/&(.)/g, '$1'));
    },
  };

  kinds.edit = {
    create(ctx) {
      const c = ctx.data;
      const n = el(c.multiLine ? 'textarea' : 'input', 'ctl edit');
      if (!c.multiLine) n.type = c.password ? 'password' : 'text';
      n.spellcheck = false;
      n.autocomplete = 'off';
      // Texts sent while typing and not yet echoed back by the model (see update).
      n.sentTexts = [];
      n.addEventListener('input', () => {
        n.sentTexts.push(n.value);
        if (n.sentTexts.length > 64) n.sentTexts.shift();
        send({ type: 'edit', dialog: ctx.dialog, control: ctx.data.id, text: n.value });
      });
      n.addEventListener('focus', () => send({ type: 'focus', dialog: ctx.dialog, control: ctx.data.id }));
      n.addEventListener('blur', () => {
        n.sentTexts = [];
        send({ type: 'focuslost', dialog: ctx.dialog, control: ctx.data.id });
      });
      return n;
    },
    update(n, c) {
      n.readOnly = !!c.readOnly;
      n.disabled = !c.enabled;
      n.classList.toggle('display', !!c.readOnly && (c.style & STYLE.noCaret) !== 0);
      n.tabIndex = c.readOnly && (c.style & STYLE.noCaret) ? -1 : 0;
      if (c.maxLength > 0) n.maxLength = c.maxLength; else n.removeAttribute('maxlength');
      // The model echoes every text typed. An echo of an older text, arriving while the
      // installer has typed on, must not undo the newer keys: their own echo follows.
      const stale = document.activeElement === n ? n.sentTexts.lastIndexOf(c.text) : -1;
      // A one-line box drops line breaks; a display box (the message panel) shows them as a
      // dash so that "heading\r\noutcome" does not run together.
      const shown = !c.multiLine && c.readOnly && (c.style & STYLE.noCaret) ? c.text.replace(/\r?\n/g, ' \u2014 ') : c.text;
      if (stale >= 0 && stale < n.sentTexts.length - 1) {
        n.sentTexts.splice(0, stale + 1);
      } else {
        n.sentTexts = [];
        if (n.value !== shown) {
          const caret = document.activeElement === n ? n.selectionStart : null;
          n.value = shown;
          if (caret !== null) n.setSelectionRange(caret, caret);
        }
      }
    },
    recreate(old, c) { return old.multiLine !== c.multiLine || old.password !== c.password; },
  };

  kinds.combo = {
    create(ctx) {
      const n = el('select', 'ctl combo');
      n.addEventListener('change', () => {
        const wanted = n.selectedIndex;
        n.selectedIndex = ctx.data.selected;
        send({ type: 'select', dialog: ctx.dialog, control: ctx.data.id, value: wanted });
      });
      return n;
    },
    update(n, c) {
      n.disabled = !c.enabled;
      n.style.height = ''; // a combo's rectangle includes its drop-down; draw one line
      const same = n.options.length === c.items.length && c.items.every((t, i) => n.options[i].text === t);
      if (!same) {
        n.replaceChildren(...c.items.map((t) => { const o = el('option'); o.text = t; return o; }));
      }
      n.selectedIndex = c.selected;
    },
  };

  kinds.listbox = {
    create(ctx) {
      const n = el('div', 'ctl listbox');
      n.tabIndex = 0;
      n.addEventListener('click', (ev) => {
        const row = ev.target.closest('.item');
        if (!row) return;
        send({ type: 'select', dialog: ctx.dialog, control: ctx.data.id, value: Number(row.dataset.index) });
      });
      // The clicks before it have selected the line; the dialog reads the selection.
      n.addEventListener('dblclick', (ev) => {
        const row = ev.target.closest('.item');
        const index = row ? Number(row.dataset.index) : -1;
        send({ type: 'dblclick', dialog: ctx.dialog, control: ctx.data.id, row: index, col: 0 });
      });
      return n;
    },
    update(n, c) {
      // Lines are rebuilt only when they change: a selection alone must not replace the line
      // under the pointer between the two clicks of a double-click.
      const same = n.children.length === c.items.length && c.items.every((t, i) => n.children[i].textContent === t);
      if (!same) {
        n.replaceChildren(...c.items.map((t, i) => {
          const r = el('div', 'item');
          r.dataset.index = i;
          r.textContent = t;
          return r;
        }));
      }
      [...n.children].forEach((r, i) => r.classList.toggle('selected', i === c.selected));
    },
  };

  kinds.listview = {
    create(ctx) {
      const n = el('div', 'ctl listview');
      n.tabIndex = 0;
      const hit = (ev) => {
        const cell = ev.target.closest('[data-row]');
        return cell ? { row: Number(cell.dataset.row), col: Number(cell.dataset.col || 0) } : { row: -1, col: -1 };
      };
      n.addEventListener('click', (ev) => {
        const h = hit(ev);
        const id = ctx.data.id;
        send({ type: 'click', dialog: ctx.dialog, control: id, row: h.row, col: h.col });
        if (h.row < 0) return;
        let rows = [h.row];
        if ((ctx.data.style & STYLE.multiSelect) && (ev.ctrlKey || ev.metaKey)) {
          const now = ctx.data.rows.map((r, i) => (r.selected ? i : -1)).filter((i) => i >= 0);
          rows = now.includes(h.row) ? now.filter((i) => i !== h.row) : [...now, h.row].sort((a, b) => a - b);
        }
        send({ type: 'select', dialog: ctx.dialog, control: id, rows });
      });
      n.addEventListener('dblclick', (ev) => {
        if (ev.target.closest('.cell-edit')) return;
        const h = hit(ev);
        send({ type: 'dblclick', dialog: ctx.dialog, control: ctx.data.id, row: h.row, col: h.col });
      });
      // The rows live in their own box so that a repaint of the rows (a status tick) leaves an
      // open cell editor, its text and its focus alone.
      n.append(el('div', 'lv-body'));
      n.cellEditor = null;
      return n;
    },
    update(n, c, ctx) {
      n.classList.toggle('icon-mode', c.mode === 'icon');
      const scroll = n.scrollTop;
      const body = n.firstChild;
      morphChildren(body, c.mode === 'icon' ? iconItems(c) : [reportTable(c)]);
      n.scrollTop = scroll;
      cellEditor(n, c, ctx);
    },
  };

  // ---- in-place cell editor (CInPlaceEdit) ------------------------------------------------
  // Opened by the model over one cell; Return and focus loss end it with the text, Escape ends
  // it without. The box takes Return, Escape, Delete and Control combinations itself, and
  // widens with its text (plus 5 px) up to the right edge of the list's client area.
  const EDIT_MARGIN = 5;
  let measureCanvas = null;

  function textWidth(input) {
    measureCanvas = measureCanvas || document.createElement('canvas');
    const g = measureCanvas.getContext('2d');
    const cs = getComputedStyle(input);
    g.font = `${cs.fontWeight} ${cs.fontSize} ${cs.fontFamily}`;
    const pad = parseFloat(cs.paddingLeft) + parseFloat(cs.paddingRight) + parseFloat(cs.borderLeftWidth) + parseFloat(cs.borderRightWidth);
    return Math.ceil(g.measureText(input.value).width + pad);
  }

  function widen(n, input) {
    const left = input.offsetLeft;
    const clientRight = n.scrollLeft + n.clientWidth;
    const wanted = Math.max(input.offsetWidth, textWidth(input) + EDIT_MARGIN);
    const room = Math.max(clientRight - left, 0);
    input.style.width = px(Math.max(Math.min(wanted, room), Math.min(input.offsetWidth, room)));
  }

  // Ends an editor that the model has ended or replaced: nothing is sent for it. Marked done
  // first, because removing the focused input fires its blur, whose handler would otherwise
  // send the text and remove the input a second time (a NotFoundError).
  function dropCellEditor(open) {
    open.done = true;
    open.input.remove();
  }

  function cellEditor(n, c, ctx) {
    const open = n.cellEditor;
    // The serial tells a reopened editor on the same cell from the one the page just ended.
    const key = c.edit ? `${c.edit.row}:${c.edit.col}:${c.edit.serial}` : '';
    if (!c.edit) {
      n.ended = '';
      if (open) { dropCellEditor(open); n.cellEditor = null; }
      return;
    }
    if (open && open.key === key) return;
    if (n.ended === key) return; // ended here; the model has not heard of it yet
    if (open) dropCellEditor(open);
    const td = n.querySelector(`td[data-row="${c.edit.row}"][data-col="${c.edit.col}"]`);
    if (!td) return;
    const input = el('input', 'cell-edit');
    input.type = 'text';
    input.spellcheck = false;
    input.autocomplete = 'off';
    const box = n.getBoundingClientRect();
    const cell = td.getBoundingClientRect();
    input.style.left = px(cell.left - box.left - n.clientLeft + n.scrollLeft);
    input.style.top = px(cell.top - box.top - n.clientTop + n.scrollTop);
    input.style.width = px(cell.width);
    input.style.height = px(cell.height);
    input.style.textAlign = td.style.textAlign;
    input.value = c.edit.text;
    const state = { key, input, done: false };
    const finish = (text) => {
      if (state.done) return;
      state.done = true;
      n.ended = key;
      const msg = { type: 'endlabeledit', dialog: ctx.dialog, control: ctx.data.id, row: c.edit.row, col: c.edit.col };
      if (text !== null) msg.text = text;
      send(msg);
      if (n.cellEditor === state) n.cellEditor = null;
      input.remove();
    };
    input.addEventListener('keydown', (ev) => {
      ev.stopPropagation(); // the dialog's Return and Escape handling must not see these keys
      if (ev.key === 'Enter') { ev.preventDefault(); finish(input.value); n.focus(); }
      else if (ev.key === 'Escape') { ev.preventDefault(); finish(null); n.focus(); }
    });
    input.addEventListener('keyup', (ev) => ev.stopPropagation());
    input.addEventListener('input', () => widen(n, input));
    input.addEventListener('blur', () => finish(input.value));
    for (const name of ['click', 'dblclick', 'mousedown']) input.addEventListener(name, (ev) => ev.stopPropagation());
    n.append(input);
    n.cellEditor = state;
    input.focus();
    input.select();
    input.scrollLeft = input.scrollWidth;
  }

  function cellImage(c, index) {
    const img = el('img');
    img.alt = '';
    img.draggable = false;
    const name = c.images[index];
    if (name) img.src = image(name);
    return img;
  }

  function iconItems(c) {
    return c.rows.map((row, i) => {
      const item = el('div', row.selected ? 'lv-icon selected' : 'lv-icon');
      item.dataset.row = i;
      item.dataset.col = 0;
      const cell = row.cells[0] ?? '';
      const text = typeof cell === 'string' ? cell : cell.text;
      if (typeof cell === 'object' && cell.image >= 0) item.append(cellImage(c, cell.image));
      if (text) {
        const label = el('span');
        label.textContent = text;
        item.append(label);
      }
      if (row.color) item.style.color = row.color;
      return item;
    });
  }

  // Brings the rows already on the page to the freshly built ones, keeping every element whose
  // tag matches. A repaint that lands between the two clicks of a double-click (the first click
  // selects the row, and the selection comes back as a repaint) would otherwise detach the cell
  // the mouse went down on, and the browser would never report the double-click.
  function morph(old, fresh) {
    if (old.nodeType !== fresh.nodeType || old.nodeName !== fresh.nodeName) {
      old.replaceWith(fresh);
      return;
    }
    if (old.nodeType !== Node.ELEMENT_NODE) {
      if (old.nodeValue !== fresh.nodeValue) old.nodeValue = fresh.nodeValue;
      return;
    }
    for (const a of [...old.attributes]) if (!fresh.hasAttribute(a.name)) old.removeAttribute(a.name);
    for (const a of [...fresh.attributes]) {
      if (a.name === 'style') {
        // The page's security policy refuses style attributes set as text; the style object
        // is the way in (widths, alignment and colours of the cells).
        if (old.style.cssText !== fresh.style.cssText) old.style.cssText = fresh.style.cssText;
      } else if (old.getAttribute(a.name) !== a.value) {
        old.setAttribute(a.name, a.value);
      }
    }
    morphChildren(old, [...fresh.childNodes]);
  }

  function morphChildren(parent, fresh) {
    const old = [...parent.childNodes];
    const common = Math.min(old.length, fresh.length);
    for (let i = 0; i < common; i++) morph(old[i], fresh[i]);
    for (let i = common; i < old.length; i++) old[i].remove();
    parent.append(...fresh.slice(common));
  }

  // Columns narrower than this lose their side padding, so that an image column keeps its image
  // whole and a hidden (width 0) column takes no room at all.
  const NARROW_COLUMN = 24;

  function reportTable(c) {
    const table = el('table', 'lv-report');
    const colgroup = el('colgroup');
    // The columns are exactly as wide as the model says, like the window system's list view:
    // the table is as wide as their sum, so it neither grows with its texts nor stretches to
    // the list, and labels placed over the columns stay over them.
    const widths = c.columns.map((col) => Math.max(0, Number(col.width) || 0));
    for (const w of widths) {
      const e = el('col');
      e.style.width = px(w);
      colgroup.append(e);
    }
    table.append(colgroup);
    if (widths.length) table.style.width = px(widths.reduce((a, b) => a + b, 0));
    const narrow = (k) => k < widths.length && widths[k] < NARROW_COLUMN;
    if (!(c.style & STYLE.noHeader) && c.columns.length) {
      const head = el('thead');
      const tr = el('tr');
      c.columns.forEach((col, k) => {
        const th = el('th', narrow(k) ? 'narrow' : '');
        th.textContent = col.header;
        th.style.textAlign = col.align;
        tr.append(th);
      });
      head.append(tr);
      table.append(head);
    }
    const body = el('tbody');
    c.rows.forEach((row, r) => {
      const tr = el('tr', row.selected ? 'selected' : '');
      if (row.color) tr.style.color = row.color;
      const count = Math.max(c.columns.length, 1);
      for (let k = 0; k < count; k++) {
        const td = el('td', narrow(k) ? 'narrow' : '');
        td.dataset.row = r;
        td.dataset.col = k;
        const cell = row.cells[k] ?? '';
        const text = typeof cell === 'string' ? cell : cell.text;
        if (typeof cell === 'object' && cell.image >= 0) {
          const img = cellImage(c, cell.image);
          if (text) img.className = 'before-text';
          td.append(img);
        }
        td.append(document.createTextNode(text));
        if (c.columns[k]) td.style.textAlign = c.columns[k].align;
        const colors = c.columnColors && c.columnColors[k];
        if (colors) {
          if (colors.color) td.style.color = colors.color;
          if (colors.back) td.style.backgroundColor = colors.back;
        }
        tr.append(td);
      }
      body.append(tr);
    });
    table.append(body);
    return table;
  }

  kinds.progress = {
    create() {
      const n = el('div', 'ctl progress');
      n.append(el('div', 'fill'));
      n.setAttribute('role', 'progressbar');
      return n;
    },
    update(n, c) {
      const span = c.max - c.min;
      const ratio = span > 0 ? Math.min(Math.max((c.pos - c.min) / span, 0), 1) : 0;
      n.firstChild.style.width = `${(ratio * 100).toFixed(2)}%`;
      n.setAttribute('aria-valuenow', String(c.pos));
    },
  };

  kinds.slider = {
    create(ctx) {
      const n = el('input', 'ctl slider');
      n.type = 'range';
      n.addEventListener('change', () => {
        const wanted = Number(n.value);
        n.value = ctx.data.pos;
        send({ type: 'scroll', dialog: ctx.dialog, control: ctx.data.id, value: wanted });
      });
      return n;
    },
    update(n, c) {
      n.min = c.min;
      n.max = c.max;
      n.value = c.pos;
      n.disabled = !c.enabled;
    },
  };

  kinds.updown = {
    create(ctx) {
      const n = el('div', 'ctl updown');
      const up = el('button');
      const down = el('button');
      up.type = down.type = 'button';
      up.textContent = '▲';
      down.textContent = '▼';
      const step = (d) => {
        const c = ctx.data;
        const value = Math.min(Math.max(c.pos + d, Math.min(c.min, c.max)), Math.max(c.min, c.max));
        send({ type: 'scroll', dialog: ctx.dialog, control: c.id, value });
      };
      up.addEventListener('click', () => step(1));
      down.addEventListener('click', () => step(-1));
      n.append(up, down);
      return n;
    },
    update(n, c) {
      for (const b of n.children) b.disabled = !c.enabled;
    },
  };

  // HH:mm typed as text: the browser's own time input follows the PC's locale (AM/PM),
  // while the program always shows 24-hour times.
  const timeText = (minutes) => {
    const m = ((minutes % 1440) + 1440) % 1440;
    return `${String(Math.floor(m / 60)).padStart(2, '0')}:${String(m % 60).padStart(2, '0')}`;
  };
  kinds.time = {
    create(ctx) {
      const n = el('input', 'ctl time');
      n.type = 'text';
      n.maxLength = 5;
      n.inputMode = 'numeric';
      n.spellcheck = false;
      n.addEventListener('change', () => {
        const m = /^([01]\d|2[0-3]):([0-5]\d)$/.exec(n.value.trim());
        if (m) send({ type: 'time', dialog: ctx.dialog, control: ctx.data.id, text: m[0] });
        n.value = timeText(ctx.data.minutes); // the model's answer replaces it
      });
      return n;
    },
    update(n, c) {
      if (document.activeElement !== n || n.value === '') n.value = timeText(c.minutes);
      n.disabled = !c.enabled;
    },
  };

  kinds.group = {
    create() {
      const n = el('fieldset', 'ctl group');
      n.append(el('legend'));
      return n;
    },
    update(n, c) {
      setText(n.firstChild, c.text.replace(/&(.)/g, '$1'));
      n.firstChild.hidden = !c.text;
    },
  };

  kinds.drawn = {
    create() { return el('div', 'ctl drawn'); },
    update(n, c) {
      n.replaceChildren(...c.shapes.map((s) => {
        const r = el('div', 'shape');
        r.style.left = px(s.x);
        r.style.top = px(s.y);
        r.style.width = px(s.w);
        r.style.height = px(s.h);
        if (s.filled) r.style.backgroundColor = s.color;
        else r.style.border = `1px solid ${s.color}`;
        return r;
      }));
    },
  };

  // Lines over time, drawn by uPlot (vendor/uplot). A small plot is a bare line; a large one
  // has a time axis, a y-axis in the series' unit and a legend. A null value is a gap: the
  // line breaks there. The chart is rebuilt when its shape changes (size, series, axes) and
  // only given new data otherwise.
  function lonePoints(u, seriesIdx) {
    const d = u.data[seriesIdx];
    const lone = [];
    for (let i = 0; i < d.length; i++)
      if (d[i] != null && (i === 0 || d[i - 1] == null) && (i === d.length - 1 || d[i + 1] == null)) lone.push(i);
    return lone;
  }

  kinds.plot = {
    create(ctx) {
      const n = el('div', 'ctl plot');
      n.addEventListener('click', () => {
        if (ctx.data.style & STYLE.notify) send({ type: 'click', dialog: ctx.dialog, control: ctx.data.id });
      });
      return n;
    },
    update(n, c) {
      const p = c.plot || { times: [], series: [], axes: false };
      const data = [p.times, ...p.series.map((s) => s.values)];
      // What the tests and a curious installer can read without the canvas.
      n.dataset.points = String(p.times.length);
      n.dataset.gaps = String(p.series.reduce((sum, s) => sum + s.values.filter((v) => v === null).length, 0));
      if (typeof uPlot === 'undefined' || n.hidden || !c.visible) return;
      const width = Math.max(40, Math.round(c.w * UNIT_X) - 2);
      const height = Math.max(20, Math.round(c.h * UNIT_Y) - 2);
      const shape = JSON.stringify([width, height, p.axes, p.yMin, p.yMax, p.series.map((s) => [s.label, s.unit, s.color])]);
      if (n.chart && n.shape === shape) {
        n.chart.setData(data);
        return;
      }
      if (n.chart) n.chart.destroy();
      n.replaceChildren();
      n.shape = shape;
      const unit = (p.series.find((s) => s.unit) || {}).unit || '';
      const range = (u, min, max) => [p.yMin ?? min, p.yMax ?? (max > (p.yMin ?? min) ? max : (p.yMin ?? min) + 1)];
      const opts = {
        width,
        height: p.axes ? height - 30 : height,
        legend: { show: p.axes },
        cursor: { show: p.axes, drag: { x: false, y: false } },
        select: { show: false },
        scales: { x: { time: true }, y: { range } },
        axes: p.axes
          ? [{ stroke: '#3a3f47', grid: { stroke: '#e3e5e8' } },
             { stroke: '#3a3f47', grid: { stroke: '#e3e5e8' }, label: unit, labelSize: 18, size: 46 }]
          : [{ show: false }, { show: false }],
        series: [{}, ...p.series.map((s) => ({
          label: s.label, stroke: s.color, width: p.axes ? 1.5 : 1, spanGaps: false,
          // A value with gaps on both sides has no line to be part of: it shows as a dot.
          points: { show: true, size: p.axes ? 5 : 3, fill: s.color, filter: lonePoints },
          value: (u, v) => (v == null ? '–' : `${Math.round(v * 10) / 10} ${s.unit}`.trim()),
        }))],
      };
      if (!p.axes) opts.padding = [2, 2, 2, 2];
      n.chart = new uPlot(opts, data, n);
    },
  };

  // ---- entry points ---------------------------------------------------------------------

  // ctx = { dialog, data, el }: created once, updated with every delta of the control.
  function apply(ctx, data, parent) {
    const kind = kinds[data.kind] || kinds.static;
    const old = ctx.data;
    ctx.data = data; // handlers read the latest state through ctx
    if (!ctx.el || old.kind !== data.kind || (kind.recreate && kind.recreate(old, data))) {
      const fresh = kind.create(ctx);
      fresh.dataset.control = data.id;
      if (ctx.el) ctx.el.replaceWith(fresh); else parent.append(fresh);
      ctx.el = fresh;
    }
    common(ctx.el, data);
    kind.update(ctx.el, data, ctx);
  }

  return { apply, UNIT_X, UNIT_Y, STYLE };
})();
