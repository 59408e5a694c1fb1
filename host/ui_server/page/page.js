'use strict';
// zorhost's dialogs in a browser. The server pushes its whole state over server-sent events; the page
// draws it and posts what the person does as actions, one at a time and in order. The state is the
// truth: nothing here changes a value on its own except a field the person is typing in.

const TOKEN = document.querySelector('meta[name="zorhost-token"]').content;
const $ = (id) => document.getElementById(id);

function url(path, params = {}) {
  return `${path}?${new URLSearchParams({ ...params, token: TOKEN })}`;
}

const PROPS = new Set(['value', 'checked', 'disabled', 'selected', 'hidden', 'inert']);

// el('button', {type: 'button', onclick: f}, 'OK'): attributes, listeners (on...), style objects and a
// few properties; null, undefined and false attributes are left out, as are null children.
function el(tag, attrs = {}, ...children) {
  const e = document.createElement(tag);
  for (const [k, v] of Object.entries(attrs)) {
    if (v === null || v === undefined) continue;
    if (k.startsWith('on')) e.addEventListener(k.slice(2), v);
    else if (k === 'style') Object.assign(e.style, v);
    else if (PROPS.has(k)) e[k] = v;
    else if (v !== false) e.setAttribute(k, v === true ? '' : String(v));
  }
  for (const c of children) if (c !== null && c !== undefined && c !== false) e.append(c);
  return e;
}

// Puts kids into parent in order, moving only what is out of place: an element that stays where it was
// keeps its focus and its caret.
function place(parent, kids) {
  const keep = new Set(kids);
  for (const c of [...parent.children]) if (!keep.has(c)) c.remove();
  kids.forEach((k, i) => {
    const at = parent.children[i];
    if (at !== k) parent.insertBefore(k, at || null);
  });
}

function findGadget(gadgets, id) {
  for (const g of gadgets || []) {
    if (g.id === id) return g;
    const inner = findGadget(g.children, id);
    if (inner) return inner;
  }
  return null;
}

// ---------------------------------------------------------------------------------------------------
// Actions: posted one at a time, each after the answer to the one before, so that a typed value is set
// before the OK that follows it.

const queue = [];
let pumping = false;

function showError(text) {
  $('error').textContent = text;
}

function act(action) {
  queue.push(action);
  if (!pumping) pump();
}

async function pump() {
  pumping = true;
  while (queue.length) {
    const action = queue.shift();
    let answer;
    try {
      const r = await fetch(url('/action'), {
        method: 'POST',
        headers: { 'Content-Type': 'application/json' },
        body: JSON.stringify(action),
      });
      answer = await r.json().catch(() => ({ ok: false, error: `zorhost answered ${r.status}` }));
    } catch (e) {
      answer = { ok: false, error: `zorhost did not answer (${e.message})` };
    }
    if (answer.ok) {
      showError('');
      for (const t of trees.values()) if (t.dlg === action.dialog) t.stale();
    } else {
      showError(answer.error || 'zorhost refused the action');
      resync(action);
    }
  }
  pumping = false;
}

// A refused action leaves the state as it was, while the page may already show what the person did
// (a ticked box, a chosen entry): draw that dialog, box or choice afresh from the state.
function resync(action) {
  const rec = drawn.get(action.dialog);
  if (rec) {
    rec.json = '';
    rec.cache = new Map();
  }
  shownMessage = null;
  answeredChooser = null;
  if (state) apply(state);
}

// ---------------------------------------------------------------------------------------------------
// The state

let state = null;

function apply(s) {
  state = s;
  try {
    drawMenu(s);
    drawConsole(s.console || { total: 0, lines: [] });
    drawStatus(s.status || { text: '', percent: null });
    const opened = drawDialogs(s.dialogs || []);
    drawChooser(s.chooser);
    drawMessage(s.messages || []);
    layers(opened);
  } catch (e) {
    showError(`The page could not draw what zorhost sent: ${e.message}`);
    console.error(e);
  }
  document.body.dataset.version = String(s.version);
}

let menuJson = null;

function drawMenu(s) {
  const nav = $('menu');
  const json = JSON.stringify([s.commands || [], s.switchedOff || []]);
  if (json !== menuJson) {
    menuJson = json;
    const buttons = (s.commands || []).map((c) =>
      el('button', { type: 'button', onclick: () => act({ do: 'command', id: c.id }) }, c.name)
    );
    // Tools behind a switch that is off are not registered: say how to turn them on.
    const off = (s.switchedOff || []).map((name) =>
      el('span', { class: 'switched-off' }, `Tools switched off: start zorhost with --set ${name}=true`)
    );
    const quit = el('button', { type: 'button', class: 'quit', onclick: () => act({ do: 'quit' }) }, 'Quit');
    nav.replaceChildren(...buttons, ...off, quit);
  }
  const modal = (s.dialogs || []).some((d) => d.modal);
  // The backdrop of a modal dialog covers the menu too; disabled, the buttons say so.
  for (const b of nav.querySelectorAll('button')) b.disabled = s.ended || modal;
  $('running').textContent = s.ended ? 'zorhost has ended' : s.running ? `Running: ${s.running}` : '';
}

let consoleTotal = 0;
let consoleNodes = 0;

// Appends the new lines only: a screen reader reads what was added, not the whole console again.
function drawConsole(c) {
  const pre = $('console');
  const added = c.total - consoleTotal;
  if (added === 0) return;
  if (added < 0 || added > c.lines.length || consoleNodes + added > 1000) {
    pre.replaceChildren(...c.lines.map((l) => l + '\n'));
    consoleNodes = c.lines.length;
  } else {
    pre.append(...c.lines.slice(-added).map((l) => l + '\n'));
    consoleNodes += added;
  }
  consoleTotal = c.total;
  pre.scrollTop = pre.scrollHeight;
}

function drawStatus(st) {
  const box = $('status');
  const pct = typeof st.percent === 'number' ? Math.round(st.percent) : null;
  const key = `${st.text}\n${pct}`;
  if (box.dataset.key === key) return;
  box.dataset.key = key;
  const parts = [el('span', { class: 'text' }, st.text || '')];
  if (pct !== null) {
    parts.push(el('span', { class: 'pct' }, `${pct}%`));
    const bar = el('span', { style: { width: `${Math.min(100, Math.max(0, pct))}%` } });
    parts.push(el('span', { class: 'bar', 'aria-hidden': 'true' }, bar));
  }
  box.replaceChildren(...parts);
}

// ---------------------------------------------------------------------------------------------------
// Dialogs. Each open dialog keeps the JSON it was drawn from (an unchanged dialog is not touched) and a
// cache of its gadgets' elements by their place in the layout (an unchanged gadget keeps its element).

const drawn = new Map(); // dialog id -> record
let swapping = false; // while the page draws or moves focus: a field losing focus then is not left

function drawDialogs(dialogs) {
  swapping = true;
  try {
    return placeDialogs(dialogs);
  } finally {
    swapping = false;
  }
}

function placeDialogs(dialogs) {
  const firstModal = dialogs.findIndex((d) => d.modal);
  const opened = [];
  const kids = { main: [], modal: [] };
  const seen = new Set();
  dialogs.forEach((d, i) => {
    seen.add(d.id);
    let rec = drawn.get(d.id);
    if (!rec) {
      rec = newDialog(d);
      drawn.set(d.id, rec);
      opened.push(rec);
    }
    const json = JSON.stringify(d);
    if (rec.json !== json) {
      updateDialog(rec, d);
      rec.json = json;
    }
    kids[firstModal >= 0 && i >= firstModal ? 'modal' : 'main'].push(rec.section);
  });
  for (const [id, rec] of drawn) {
    if (!seen.has(id)) {
      rec.section.remove();
      drawn.delete(id);
    }
  }
  place($('dialogs'), kids.main);
  place($('modal-layer'), kids.modal);
  for (const [k, t] of trees) {
    if (t.el.isConnected) t.restore();
    else trees.delete(k);
  }
  return opened;
}

function newDialog(d) {
  const rec = { id: d.id, d, json: '', cache: new Map(), lastFocus: null };
  rec.title = el('span', { class: 'title' });
  rec.body = el('div', { class: 'body' });
  rec.section = el(
    'section',
    {
      role: 'dialog',
      'data-dialog-id': d.id,
      onkeydown: (e) => dialogKey(e, rec),
      onfocusin: (e) => (rec.lastFocus = e.target),
    },
    el('div', { class: 'titlebar' }, rec.title,
      el('button', { type: 'button', class: 'close', 'aria-label': 'Close',
        onclick: () => act({ do: 'close', dialog: rec.id }) }, '×')),
    rec.body
  );
  return rec;
}

function updateDialog(rec, d) {
  rec.d = d;
  const s = rec.section;
  s.setAttribute('aria-modal', String(!!d.modal));
  s.setAttribute('aria-label', d.title || 'Dialog');
  const panes = hasPanes(d.gadgets);
  s.className = `dialog${d.modal ? ' modal' : ''}${panes ? ' wide' : ''}`;
  // Set once per size the module asks for, so that a size the person dragged to stays. A dialog split
  // into panes starts as big as the page lets it, the module's size being its least.
  const size = `${d.width}x${d.height}`;
  if (rec.size !== size) {
    rec.size = size;
    s.style.width = d.width > 0 ? `${d.width}px` : '';
    s.style.height = d.height > 0 ? `${d.height}px` : '';
    s.style.setProperty('--w', `${Math.max(0, d.width)}px`);
    s.style.setProperty('--h', `${Math.max(0, d.height)}px`);
    if (panes) s.style.width = s.style.height = '';
  }
  rec.title.textContent = d.title || '';

  const focus = saveFocus(s);
  const scroll = rec.body.scrollTop;
  const ctx = { dlg: d.id, prev: rec.cache, next: new Map() };
  const kids = drawList(d.gadgets || [], '', ctx);
  // OK and Cancel at the end of a dialog sit side by side at its foot, out of the part that scrolls.
  const foot = [];
  while (kids.length && kids[kids.length - 1].matches('button[data-gadget-id="1"], button[data-gadget-id="2"]'))
    foot.unshift(kids.pop());
  grid(rec.body, d.gadgets || [], 1, 0);
  place(rec.body, kids);
  rec.foot = rec.foot || el('div', { class: 'buttons foot' });
  place(rec.foot, foot);
  if (!foot.length) rec.foot.remove();
  else if (rec.foot.parentNode !== s) s.append(rec.foot);
  rec.cache = ctx.next;
  rec.body.scrollTop = scroll;
  restoreFocus(s, focus);
}

const PANES = 0x10000;

function hasPanes(gadgets) {
  return (gadgets || []).some((g) => (g.kind === 'group' && g.groupFlags & PANES) || hasPanes(g.children));
}

function saveFocus(root) {
  const a = document.activeElement;
  if (!a || !root.contains(a) || !a.dataset.key) return null;
  let start = null;
  let end = null;
  try {
    start = a.selectionStart;
    end = a.selectionEnd;
  } catch {
    // a number field has no caret to keep
  }
  return { el: a, key: a.dataset.key, dirty: !!a.dirty, value: a.value, start, end };
}

function restoreFocus(root, f) {
  if (!f) return;
  const e = root.querySelector(`[data-key="${CSS.escape(f.key)}"]`);
  if (!e) return;
  if (e !== f.el && f.dirty) {
    e.value = f.value;
    e.dirty = true;
  }
  if (document.activeElement !== e) e.focus({ preventScroll: true });
  if (f.start !== null && typeof e.setSelectionRange === 'function') {
    try {
      e.setSelectionRange(f.start, f.end);
    } catch {
      // the new element takes no caret
    }
  }
}

function firstField(section) {
  return (
    section.querySelector(
      '.body :is(input, select, textarea):not(:disabled), .body [role="grid"]:not([aria-disabled="true"])'
    ) ||
    section.querySelector('.body button:not(:disabled), .foot button:not(:disabled)') ||
    section.querySelector('.close')
  );
}

function dialogKey(e, rec) {
  if (e.defaultPrevented || e.isComposing) return;
  const t = e.target;
  const d = rec.d;
  if (e.key === 'Enter') {
    if (t.tagName === 'TEXTAREA' || t.tagName === 'BUTTON') return;
    const ok = findGadget(d.gadgets, 1);
    if (!ok || !ok.enabled) return;
    e.preventDefault();
    commit(t);
    act({ do: 'press', dialog: d.id, button: 'ok' });
  } else if (e.key === 'Escape') {
    e.preventDefault();
    const cancel = findGadget(d.gadgets, 2);
    act(cancel && cancel.enabled ? { do: 'press', dialog: d.id, button: 'cancel' } : { do: 'close', dialog: d.id });
  }
}

// ---------------------------------------------------------------------------------------------------
// Gadgets

// Draws a list of gadgets (a group's children); a static text right before a field labels it.
function drawList(gadgets, key, ctx) {
  const out = [];
  let label = null;
  gadgets.forEach((g, i) => {
    const e = drawGadget(g, `${key}/${i}:${g.kind}:${g.id}`, ctx, label);
    label = g.kind === 'staticText' && g.text ? e.id : null;
    out.push(e);
  });
  return out;
}

function drawGadget(g, key, ctx, labelId) {
  const json = `${JSON.stringify(g)}|${labelId}`;
  const old = ctx.prev.get(key);
  if (old && old.json === json) {
    for (const [k, v] of ctx.prev) if (k.startsWith(key + '/')) ctx.next.set(k, v);
    ctx.next.set(key, old);
    return old.el;
  }
  const build = BUILDERS[g.kind] || buildUnknown;
  const e = build(g, key, ctx, labelId, old);
  if (!e.classList.contains('empty')) {
    e.dataset.gadgetId = g.id;
    const f = g.flags || 0;
    e.style.justifySelf = f & 0x10 ? 'stretch' : 'start';
    e.style.alignSelf = f & 0x20 ? 'stretch' : 'center';
    if (g.width > 0) e.style.minWidth = `${Math.min(g.width, 760)}px`;
    if (g.height > 0 && g.kind !== 'treeView') e.style.minHeight = `${g.height}px`;
  }
  ctx.next.set(key, { json, el: e });
  return e;
}

// A group's grid: columns side by side (none: as many as fit its rows, or one); a column or row with a
// gadget that stretches takes the room left. A stretched label, box or button shows nothing more for
// the room, so a column of labels stays as wide as its widest label. The panes of a split group, and
// a group of one column, keep at least the width of what they hold (a tree's columns), so that nothing
// overlaps its neighbour; side by side fields may shrink.
const NARROW = new Set(['staticText', 'checkbox', 'button']);

function grid(box, gadgets, columns, rows, panes = false) {
  const n = columns > 0 ? columns : rows > 0 ? Math.max(1, Math.ceil(gadgets.length / rows)) : 1;
  const across = new Array(n).fill(false);
  const down = [];
  gadgets.forEach((g, i) => {
    const f = g.flags || 0;
    if (f & 0x10 && !NARROW.has(g.kind)) across[i % n] = true;
    down[Math.floor(i / n)] = down[Math.floor(i / n)] || (f & 0x3f) === 0x3f;
  });
  const wide = panes || n === 1 ? 'minmax(min-content, 1fr)' : 'minmax(0, 1fr)';
  box.style.gridTemplateColumns = across.map((a) => (a ? wide : 'auto')).join(' ');
  box.style.gridTemplateRows = down.some(Boolean) ? down.map((d) => (d ? '1fr' : 'auto')).join(' ') : '';
}

const fieldLabel = (g, labelId) => (labelId ? { 'aria-labelledby': labelId } : { 'aria-label': `Gadget ${g.id}` });

// A field that is moved or replaced while the state is drawn loses its focus (and may say it changed):
// that is not the person leaving it, so nothing is sent then.
function commit(field) {
  if (!field || !field.dirty || swapping) return;
  field.dirty = false;
  act(field.setAction());
}

function buildField(g, key, ctx, labelId) {
  const kind = g.kind;
  const tag = kind === 'multiLineText' ? 'textarea' : 'input';
  const type = kind === 'editNumber' ? 'number' : tag === 'input' ? 'text' : null;
  const f = el(tag, {
    type,
    step: type === 'number' ? 'any' : null,
    ...fieldLabel(g, labelId),
    disabled: !g.enabled,
    'data-key': key,
    spellcheck: kind === 'fileName' ? 'false' : null,
  });
  f.value = g.value === null || g.value === undefined ? '' : String(g.value);
  f.setAction = () => ({
    do: 'set',
    dialog: ctx.dlg,
    id: g.id,
    value: type === 'number' ? (f.value === '' ? null : Number(f.value)) : f.value,
  });
  f.addEventListener('input', () => (f.dirty = true));
  f.addEventListener('change', () => commit(f));
  // Leaving the window is not leaving the field.
  f.addEventListener('blur', () => document.hasFocus() && commit(f));
  if (tag === 'input') f.addEventListener('keydown', (e) => e.key === 'Enter' && commit(f));
  return f;
}

function buildGroup(g, key, ctx, labelId, old) {
  const shell = JSON.stringify({ ...g, children: null });
  let box;
  // A group whose own settings did not change keeps its box: only its children are placed anew.
  if (old && old.el.shell === shell) {
    box = old.el;
  } else {
    box = el('fieldset', { class: 'group grid', disabled: !g.enabled });
    box.legend = g.text ? el('legend', {}, g.text) : null;
    box.shell = shell;
  }
  grid(box, g.children || [], g.columns, g.rows, !!(g.groupFlags & PANES));
  const kids = drawList(g.children || [], key, ctx);
  place(box, box.legend ? [box.legend, ...kids] : kids);
  return box;
}

function buildTabs(g, key, ctx) {
  const pages = g.children || [];
  const active = pages.find((p) => p.id === g.value) || pages[0];
  const base = `t${ctx.dlg}-${g.id}`;
  const tabs = pages.map((p, i) =>
    el('button', {
      type: 'button',
      role: 'tab',
      id: `${base}-${p.id}`,
      'aria-selected': String(p === active),
      'aria-controls': `${base}-panel`,
      tabindex: p === active ? '0' : '-1',
      disabled: !g.enabled,
      'data-key': `${key}#${p.id}`,
      onclick: () => p.id !== g.value && act({ do: 'set', dialog: ctx.dlg, id: g.id, value: p.id }),
    }, p.text || `Page ${i + 1}`)
  );
  const list = el('div', { role: 'tablist', 'aria-label': g.text || null }, ...tabs);
  list.addEventListener('keydown', (e) => {
    const i = tabs.indexOf(e.target);
    const to = { ArrowLeft: i - 1, ArrowUp: i - 1, ArrowRight: i + 1, ArrowDown: i + 1, Home: 0, End: tabs.length - 1 }[e.key];
    if (i < 0 || to === undefined) return;
    e.preventDefault();
    const next = tabs[(to + tabs.length) % tabs.length];
    next.focus();
    next.click();
  });
  const panel = el('div', {
    role: 'tabpanel',
    id: `${base}-panel`,
    class: 'grid',
    'aria-labelledby': active ? `${base}-${active.id}` : null,
  });
  if (active) {
    grid(panel, active.children || [], active.columns, active.rows);
    place(panel, drawList(active.children || [], `${key}/${active.id}`, ctx));
  }
  return el('div', { class: 'tabs' }, list, panel);
}

function buildButton(g, key, ctx) {
  const press = g.id === 1 ? 'ok' : g.id === 2 ? 'cancel' : null;
  return el('button', {
    type: 'button',
    disabled: !g.enabled,
    'data-key': key,
    'aria-label': g.text ? null : `Gadget ${g.id}`,
    onclick: () => act(press ? { do: 'press', dialog: ctx.dlg, button: press } : { do: 'click', dialog: ctx.dlg, id: g.id }),
  }, g.text);
}

function buildCheckbox(g, key, ctx) {
  const box = el('input', {
    type: 'checkbox',
    checked: !!g.value,
    disabled: !g.enabled,
    'data-key': key,
    'aria-label': g.text ? null : `Gadget ${g.id}`,
  });
  box.addEventListener('change', () => act({ do: 'set', dialog: ctx.dlg, id: g.id, value: box.checked }));
  return el('label', { class: 'check' }, box, g.text ? ` ${g.text}` : null);
}

function buildCombo(g, key, ctx, labelId) {
  const sel = el('select', { ...fieldLabel(g, labelId), disabled: !g.enabled, 'data-key': key },
    ...(g.choices || []).map((c) => el('option', { value: String(c.id), selected: c.id === g.value }, c.text)));
  if (!(g.choices || []).some((c) => c.id === g.value)) sel.selectedIndex = -1;
  sel.addEventListener('change', () => act({ do: 'set', dialog: ctx.dlg, id: g.id, value: Number(sel.value) }));
  return sel;
}

function buildFileName(g, key, ctx, labelId) {
  const field = buildField(g, key, ctx, labelId);
  const choose = el('button', {
    type: 'button',
    'aria-label': 'Choose…',
    disabled: !g.enabled,
    'data-key': `${key}#choose`,
    onclick: () =>
      openChooser({
        key: 'local',
        kind: g.folder ? 'folder' : 'load',
        title: g.folder ? 'Choose a folder' : 'Choose a file',
        start: field.value,
        dlg: ctx.dlg,
        answer: (path) => {
          if (path === null) return;
          field.value = path;
          field.dirty = false;
          act({ do: 'set', dialog: ctx.dlg, id: g.id, value: path });
        },
      }),
  }, '…');
  return el('div', { class: 'filename' }, field, choose);
}

function buildImage(g, key, ctx) {
  if (!g.image) return el('span', { class: 'empty' });
  const src = `${url('/image', { dialog: ctx.dlg, gadget: g.id })}&serial=${g.image.serial}`;
  const img = el('img', { alt: g.text || 'Image', src, width: g.image.width, height: g.image.height });
  if (!g.button) return img;
  return el('button', {
    type: 'button',
    class: 'bitmap',
    disabled: !g.enabled,
    'data-key': key,
    onclick: () => act({ do: 'click', dialog: ctx.dlg, id: g.id }),
  }, img);
}

function buildTree(g, key, ctx) {
  const k = `${ctx.dlg}:${g.id}`;
  let t = trees.get(k);
  if (!t) trees.set(k, (t = new Tree(ctx.dlg, g)));
  t.update(g);
  t.el.dataset.key = key;
  return t.el;
}

function buildUnknown(g) {
  return el('span', { class: 'unknown' }, `(${g.kind})`);
}

const BUILDERS = {
  group: buildGroup,
  tabGroup: buildTabs,
  staticText: (g, key, ctx) =>
    el('span', { class: g.enabled ? 'static' : 'static off', id: `s${ctx.dlg}-${key}` }, g.text),
  editText: buildField,
  editNumber: buildField,
  multiLineText: buildField,
  checkbox: buildCheckbox,
  button: buildButton,
  comboBox: buildCombo,
  fileName: buildFileName,
  treeView: buildTree,
  bitmapButton: buildImage,
  userArea: (g) =>
    el('div', { class: 'userarea', style: { width: `${g.width || 0}px`, height: `${g.height || 0}px` } }),
};

// ---------------------------------------------------------------------------------------------------
// Message boxes, in front of everything; the first waiting one is shown.

let shownMessage = null;

function drawMessage(messages) {
  const layer = $('message-layer');
  const m = messages[0];
  if (!m) {
    shownMessage = null;
    layer.replaceChildren();
    return;
  }
  if (m.id === shownMessage) return;
  shownMessage = m.id;
  const ok = el('button', { type: 'button' }, 'OK');
  ok.addEventListener('click', () => {
    ok.disabled = true; // one acknowledgement per box, however often it is clicked
    act({ do: 'message', id: m.id });
  });
  const box = el(
    'div',
    {
      role: 'alertdialog',
      'aria-modal': 'true',
      'aria-label': 'Message',
      'aria-describedby': 'message-text',
      class: 'panel message',
      onkeydown: (e) => {
        if (e.key !== 'Enter' && e.key !== 'Escape') return;
        e.preventDefault();
        if (!ok.disabled) ok.click();
      },
    },
    el('div', { class: 'titlebar' }, el('span', { class: 'title' }, 'Message')),
    el('div', { class: 'body' }, el('p', { id: 'message-text' }, m.text), el('div', { class: 'buttons' }, ok))
  );
  layer.replaceChildren(box);
}

// ---------------------------------------------------------------------------------------------------
// Layers: the page, modal dialogs, the chooser, message boxes. Only the front one takes input.

// Focus moved by the page, not by the person: a field left that way keeps its typed text unsent, to
// be sent when the person leaves it.
function moveFocus(e) {
  if (!e) return;
  swapping = true;
  try {
    e.focus();
  } finally {
    swapping = false;
  }
}

function layers(opened) {
  const modal = $('modal-layer');
  const chooserLayer = $('chooser-layer');
  const message = $('message-layer');
  for (const l of [modal, chooserLayer, message]) l.hidden = l.childElementCount === 0;
  const front = [message, chooserLayer, modal].find((l) => !l.hidden) || null;
  $('app').inert = front !== null;
  modal.inert = front !== modal;
  chooserLayer.inert = front === message;
  // Of several modal dialogs only the last takes input.
  [...modal.children].forEach((s, i) => (s.inert = i < modal.childElementCount - 1));

  const frontBox = front && front.lastElementChild;
  const a = document.activeElement;
  if (front === message || front === chooserLayer) {
    if (!frontBox.contains(a)) moveFocus(frontBox.querySelector('input') || frontBox.querySelector('button:not(:disabled)'));
    return;
  }
  const target = opened.length ? opened[opened.length - 1] : null;
  if (target && (!front || front.contains(target.section))) {
    moveFocus(firstField(target.section));
  } else if (frontBox ? !frontBox.contains(a) : !a || a === document.body) {
    // Focus was in something that went away: back to where it was in the front dialog.
    const section = frontBox || $('dialogs').lastElementChild;
    const rec = section && drawn.get(Number(section.dataset.dialogId));
    if (rec) moveFocus(rec.lastFocus && rec.lastFocus.isConnected ? rec.lastFocus : firstField(section));
  }
}

// ---------------------------------------------------------------------------------------------------
// The connection

function connect() {
  const events = new EventSource(url('/events'));
  events.onopen = () => {
    if ($('error').dataset.connection) showError('');
    delete $('error').dataset.connection;
  };
  events.onmessage = (e) => {
    let s;
    try {
      s = JSON.parse(e.data);
    } catch {
      showError('zorhost sent a state the page cannot read');
      return;
    }
    apply(s);
  };
  events.onerror = () => {
    if (state && state.ended) {
      events.close();
      document.body.dataset.ended = 'true';
      return;
    }
    $('error').dataset.connection = 'lost';
    showError(
      events.readyState === EventSource.CLOSED
        ? 'zorhost refused the connection: open the address zorhost printed, with its token'
        : 'The connection to zorhost is lost; trying again…'
    );
  };
}

document.addEventListener('DOMContentLoaded', connect);
