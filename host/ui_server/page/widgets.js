'use strict';
// The two widgets that ask zorhost for more than the state holds: the tree view, which fetches only the
// rows in sight, and the folder and file chooser, which lists this machine's folders.

// ---------------------------------------------------------------------------------------------------
// Tree views. Only the rows in sight (and a margin) are in the page; rows come in pages from GET /tree
// and are kept while the tree's `walks` stays the same. A page is fetched again, in the background,
// after an action on the dialog, since a click may change the selection without a new walk.

const trees = new Map(); // "dialog:gadget" -> Tree
const TREE_PAGE = 200;
const TREE_MARGIN = 15;
const TREE_FETCHES = 2; // at most this many requests at once: a fast scroll skips the pages it passed

let treeCount = 0;

class Tree {
  constructor(dlg, g) {
    this.dlg = dlg;
    this.id = g.id;
    this.uid = `tree${++treeCount}`;
    this.pages = new Map(); // page number -> {walks, gen, rows}
    this.loading = new Set();
    this.gen = 0;
    this.top = 0;
    this.sel = -1;
    this.shown = new Map(); // row number -> {el, r, selected, look} drawn last
    this.look = 0; // counts the layouts: a row drawn under an older one is filled again
    this.head = el('div', { role: 'rowgroup', class: 'head' });
    this.body = el('div', { role: 'rowgroup', class: 'rows' });
    this.view = el('div', { class: 'view', role: 'none' }, this.head, this.body);
    this.el = el('div', { role: 'grid', tabindex: '0', class: 'tree' }, this.view);
    this.view.addEventListener('scroll', () => {
      this.top = this.view.scrollTop;
      this.schedule();
    });
    this.el.addEventListener('keydown', (e) => this.key(e));
    const rowOf = (e) => {
      const r = e.target.closest('[data-row]');
      return r ? Number(r.dataset.row) : -1;
    };
    this.body.addEventListener('click', (e) => {
      // The second click of a double-click selects nothing new: the double-click follows.
      if (rowOf(e) >= 0 && e.detail < 2) this.select(rowOf(e));
    });
    this.body.addEventListener('dblclick', (e) => {
      if (rowOf(e) >= 0) act({ do: 'treeDoubleClick', dialog: this.dlg, row: rowOf(e) });
    });
    new ResizeObserver(() => this.schedule()).observe(this.view);
  }

  update(g) {
    const t = g.tree;
    const old = this.t;
    this.t = t;
    this.lh = t.lineHeight > 0 ? t.lineHeight : 20;
    this.el.setAttribute('aria-label', g.text || 'Tree');
    this.el.setAttribute('aria-rowcount', String(t.total));
    this.el.setAttribute('aria-disabled', String(!g.enabled));
    // Set once per size the module asks for, so that a height the person dragged to stays. One that
    // stretches down without a height of its own takes the height its cell has.
    const fill = g.height <= 0 && (g.flags & 0x3f) === 0x3f;
    const height = g.height > 0 ? `${g.height}px` : fill ? '' : '320px';
    if (this.height !== height) this.el.style.height = height;
    this.el.classList.toggle('fill', fill);
    this.height = height;
    if (t.cut) this.el.dataset.cut = 'true';
    else delete this.el.dataset.cut;
    if (!old || old.walks !== t.walks) {
      // Rows of another walk are stale; a page already fetched for this walk is kept.
      for (const [p, c] of this.pages) if (c.walks !== t.walks) this.pages.delete(p);
      this.sel = -1;
    }
    if (!old || JSON.stringify([old.header, old.headers, old.widths, old.columns, old.lineHeight]) !==
        JSON.stringify([t.header, t.headers, t.widths, t.columns, t.lineHeight])) this.layout();
    this.body.style.height = `${t.total * this.lh}px`;
    this.schedule();
  }

  // The module measures cells in a fixed font 7 px wide: a column is at least as many characters wide
  // as its widest cell and its header. The module does not measure the tree column's names: that
  // column is as wide as the widest name fetched so far and takes the room left (else the last one).
  // It only grows, so that the panes around it stay put while the person walks through folders.
  layout() {
    const t = this.t;
    const n = Math.max(t.columns.length, (t.headers || []).length, 1);
    this.ncols = n;
    this.tcol = t.columns.findIndex((c) => c.type === 'tree');
    const grow = this.tcol >= 0 ? this.tcol : n - 1;
    const chars = [];
    for (let j = 0; j < n; j++) {
      const w = Math.ceil(Math.max(0, (t.widths || [])[j] || 0) / 7);
      const least = j === this.tcol ? Math.max(8, this.names || 0) : 4;
      chars.push(Math.max(w, ((t.headers || [])[j] || '').length, least));
    }
    this.laidNames = this.names || 0;
    const cols = chars.map((c, j) => (j === grow ? `minmax(calc(${c}ch + 12px), 1fr)` : `calc(${c}ch + 12px)`));
    this.el.style.setProperty('--cols', cols.join(' '));
    this.el.style.setProperty('--lh', `${this.lh}px`);
    // The rows' least width, and the tree's: all its columns and a scroll bar.
    const min = `calc(${chars.reduce((a, c) => a + c, 0)}ch + ${12 * n}px)`;
    this.head.style.minWidth = this.body.style.minWidth = min;
    this.el.style.setProperty('--min', min);
    const heads = (t.headers || []).map((h) => el('div', { role: 'columnheader', class: 'cell' }, h));
    if (t.header) this.head.replaceChildren(el('div', { role: 'row', class: 'row' }, ...heads));
    else this.head.replaceChildren();
    this.look++;
  }

  // After an action on the dialog: what is shown may have changed without a new walk.
  stale() {
    this.gen++;
    this.schedule();
  }

  restore() {
    if (this.view.scrollTop !== this.top) this.view.scrollTop = this.top;
  }

  schedule() {
    if (!this.frame) {
      this.frame = requestAnimationFrame(() => {
        this.frame = 0;
        this.draw();
      });
    }
  }

  range() {
    const lh = this.lh;
    const h = (this.view.clientHeight || 320) - this.head.offsetHeight;
    const top = this.view.scrollTop;
    const first = Math.max(0, Math.floor(top / lh) - TREE_MARGIN);
    const last = Math.min(this.t.total, Math.ceil((top + h) / lh) + TREE_MARGIN);
    return [first, last];
  }

  row(i) {
    const c = this.pages.get(Math.floor(i / TREE_PAGE));
    return c && c.walks === this.t.walks && c.rows ? c.rows.get(i) : undefined;
  }

  draw() {
    if (!this.el.isConnected) return;
    const [first, last] = this.range();
    const rows = [];
    const shown = new Map();
    let active = null;
    for (let i = first; i < last; i++) {
      const r = this.row(i);
      const selected = r ? r.selected : false;
      if (selected) this.sel = i;
      const old = this.shown.get(i);
      const row = old ? old.el : this.rowElement(i);
      if (!old || old.r !== r || old.selected !== selected || old.look !== this.look) this.fill(row, i, r, selected);
      shown.set(i, { el: row, r, selected, look: this.look });
      if (i === this.sel) active = row.id;
      rows.push(row);
    }
    this.shown = shown;
    // A row in sight keeps its element, and its cells, while what it shows changes: a press and its
    // release, or a double-click's two clicks, may straddle a redraw, and the browser sends the click
    // only to an element both met.
    place(this.body, rows);
    if (active) this.el.setAttribute('aria-activedescendant', active);
    else this.el.removeAttribute('aria-activedescendant');
    this.fetch(first, last);
  }

  rowElement(i) {
    return el('div', { role: 'row', id: `${this.uid}-${i}`, 'aria-rowindex': i + 1, 'data-row': i });
  }

  fill(row, i, r, selected) {
    row.className = r ? 'row' : 'row loading';
    row.setAttribute('aria-selected', String(selected));
    row.style.top = `${i * this.lh}px`;
    const texts = r ? r.texts || [] : [];
    const n = r ? this.ncols : 1;
    while (row.children.length > n) row.lastChild.remove();
    while (row.children.length < n) row.append(el('div', { role: 'gridcell', class: 'cell' }));
    for (let j = 0; j < n; j++) {
      const cell = row.children[j];
      const text = String(texts[j] ?? '');
      if (cell.textContent !== text) cell.textContent = text;
      const tree = r && (this.t.columns[j] || {}).type === 'tree';
      cell.style.paddingLeft = tree ? `${4 + 16 * (r.depth || 0)}px` : '';
    }
  }

  fetch(first, last) {
    if (last <= first) return;
    for (let p = Math.floor(first / TREE_PAGE); p <= Math.floor((last - 1) / TREE_PAGE); p++) {
      if (this.loading.size >= TREE_FETCHES) return;
      const c = this.pages.get(p);
      if ((c && c.walks === this.t.walks && c.gen === this.gen) || this.loading.has(p)) continue;
      this.load(p);
    }
  }

  async load(p) {
    const from = p * TREE_PAGE;
    // A whole page whatever the total is now: the answer may come from a newer walk with more rows, and a
    // page cut to the old total would pass for complete.
    const count = TREE_PAGE;
    const gen = this.gen;
    this.loading.add(p);
    let rows = null;
    let walks = this.t.walks;
    try {
      const r = await fetch(url('/tree', { dialog: this.dlg, gadget: this.id, from, count }));
      const j = await r.json().catch(() => ({ error: `zorhost answered ${r.status}` }));
      if (!r.ok || !Array.isArray(j.rows)) throw new Error(j.error || `zorhost answered ${r.status}`);
      walks = j.walks;
      rows = new Map(j.rows.map((row) => [row.row, row]));
      // A name's indent (16 px a level) counted in characters.
      if (walks === this.t.walks && this.tcol >= 0)
        for (const row of j.rows)
          this.names = Math.max(this.names || 0, ((row.texts || [])[this.tcol] || '').length + 3 * (row.depth || 0));
    } catch (e) {
      // Kept as a page without rows, so that it is not asked for again until something changes.
      showError(`The tree view's rows could not be read: ${e.message}`);
    }
    this.loading.delete(p);
    const c = this.pages.get(p);
    if (rows || !c) this.pages.set(p, { walks, gen, rows: rows || (c && c.rows) });
    else c.gen = gen;
    if (this.names > this.laidNames) this.layout();
    // Rows of a newer walk wait for the state that announces it, without asking again meanwhile.
    if (walks === this.t.walks) this.schedule();
  }

  current() {
    if (this.sel >= 0) return this.sel;
    for (const c of this.pages.values()) {
      if (c.walks !== this.t.walks || !c.rows) continue;
      for (const r of c.rows.values()) if (r.selected) return r.row;
    }
    return -1;
  }

  select(i) {
    if (i < 0 || i >= this.t.total || this.el.getAttribute('aria-disabled') === 'true') return;
    this.sel = i;
    // Shown at once; the rows fetched after the action say what the module made of it.
    for (const c of this.pages.values()) if (c.rows) for (const r of c.rows.values()) r.selected = r.row === i;
    const lh = this.lh;
    const h = this.view.clientHeight - this.head.offsetHeight;
    if (i * lh < this.view.scrollTop) this.view.scrollTop = i * lh;
    else if ((i + 1) * lh > this.view.scrollTop + h) this.view.scrollTop = (i + 1) * lh - h;
    this.top = this.view.scrollTop;
    this.schedule();
    act({ do: 'treeSelect', dialog: this.dlg, row: i });
  }

  key(e) {
    const cur = this.current();
    const pageRows = Math.max(1, Math.floor((this.view.clientHeight - this.head.offsetHeight) / this.lh) - 1);
    const to = {
      ArrowDown: cur + 1,
      ArrowUp: cur < 0 ? 0 : cur - 1,
      PageDown: cur + pageRows,
      PageUp: cur - pageRows,
      Home: 0,
      End: this.t.total - 1,
    }[e.key];
    if (to !== undefined) {
      e.preventDefault();
      const row = Math.min(this.t.total - 1, Math.max(0, to));
      if (row !== cur) this.select(row);
    } else if (e.key === 'Enter') {
      e.preventDefault();
      if (cur >= 0) act({ do: 'treeDoubleClick', dialog: this.dlg, row: cur });
    }
  }
}

// ---------------------------------------------------------------------------------------------------
// The chooser: a folder or file choice the module asked for (state.chooser), or one a file-name
// field's "…" opened. It lists folders with GET /files.

let chooser = null; // {key, kind, title, answer(path or null), path, box, ...}
let answeredChooser = null; // the module's choice answered last, until the state drops it

function drawChooser(c) {
  if (c) {
    if (c.id === answeredChooser) return;
    if (!chooser || chooser.key !== `module${c.id}`) {
      openChooser({
        key: `module${c.id}`,
        kind: c.kind,
        title: c.title,
        start: null,
        answer: (path) => {
          answeredChooser = c.id;
          act({ do: 'choose', id: c.id, path });
        },
      });
    }
  } else {
    answeredChooser = null;
    // A field's chooser goes with the field's dialog.
    if (chooser && (chooser.key !== 'local' || !drawn.has(chooser.dlg))) closeChooser();
  }
}

function openChooser(o) {
  const folder = o.kind === 'folder';
  const name = folder ? 'Choose a folder' : 'Choose a file';
  chooser = { ...o, back: document.activeElement };
  const c = chooser;
  c.path = el('input', {
    type: 'text',
    'aria-label': 'Path',
    'aria-describedby': folder ? null : 'chooser-hint',
    spellcheck: 'false',
  });
  c.list = el('ul', { 'aria-label': 'Entries', class: 'entries' });
  c.up = el('button', { type: 'button', class: 'up', onclick: () => c.parent && list(c, c.parent) }, '..');
  c.path.addEventListener('keydown', (e) => {
    if (e.key !== 'Enter') return;
    e.preventDefault();
    // A path that is no folder is the file itself (a new one, when saving).
    const typed = c.path.value;
    list(c, typed).then((ok) => !ok && !folder && typed && finish(c, typed));
  });
  c.box = el(
    'div',
    {
      role: 'dialog',
      'aria-modal': 'true',
      'aria-label': name,
      class: 'panel chooser',
      onkeydown: (e) => {
        if (e.key === 'Escape') {
          e.preventDefault();
          finish(c, null);
        }
      },
    },
    el('div', { class: 'titlebar' }, el('span', { class: 'title' }, o.title || name)),
    el('div', { class: 'body' },
      el('div', { class: 'pathrow' }, c.up, c.path),
      folder ? null : el('p', { class: 'hint', id: 'chooser-hint' }, 'Pick a file, or type its path and press Enter.'),
      c.list,
      el('div', { class: 'buttons' },
        folder ? el('button', { type: 'button', onclick: () => finish(c, c.where) }, 'Choose this folder') : null,
        el('button', { type: 'button', onclick: () => finish(c, null) }, 'Cancel')))
  );
  $('chooser-layer').replaceChildren(c.box);
  layers([]);
  moveFocus(c.path);
  // A field's value names a folder, or a file in one; failing both, the working folder.
  const start = o.start || '';
  const dir = start.includes('/') ? start.slice(0, start.lastIndexOf('/')) || '/' : '';
  list(c, start, true)
    .then((ok) => ok || (dir !== '' && list(c, dir, true)))
    .then((ok) => ok || list(c, ''));
}

function closeChooser() {
  const c = chooser;
  chooser = null;
  $('chooser-layer').replaceChildren();
  layers([]);
  if (c && c.back && c.back.isConnected && !c.back.closest('[inert]')) moveFocus(c.back);
}

function finish(c, path) {
  if (chooser !== c) return;
  closeChooser();
  c.answer(path);
}

// Lists a folder; answers whether it could. quiet: a failure is not shown (there is a fallback).
async function list(c, path, quiet = false) {
  let j;
  try {
    const r = await fetch(path ? url('/files', { path }) : url('/files'));
    j = await r.json().catch(() => ({ error: `zorhost answered ${r.status}` }));
    if (!r.ok || !Array.isArray(j.entries)) throw new Error(j.error || `zorhost answered ${r.status}`);
  } catch (e) {
    if (!quiet && (c.kind === 'folder' || !path)) showError(`${path || 'The working folder'}: ${e.message}`);
    return false;
  }
  if (chooser !== c) return true;
  c.where = j.path;
  c.parent = j.parent;
  c.path.value = j.path;
  c.up.disabled = !j.parent;
  const join = (name) => (j.path.endsWith('/') ? j.path + name : `${j.path}/${name}`);
  c.list.replaceChildren(
    ...j.entries.map((e) =>
      el('li', {}, el('button', {
        type: 'button',
        class: e.folder ? 'folder' : 'file',
        disabled: !e.folder && c.kind === 'folder',
        onclick: () => (e.folder ? list(c, join(e.name)) : finish(c, join(e.name))),
      }, e.folder ? `${e.name}/` : e.name))
    )
  );
  c.list.scrollTop = 0;
  return true;
}
