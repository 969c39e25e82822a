// @ts-check
// The recorder's list of events: a table that holds only the rows in view
// (and a few either side) of a list of any length, each row's time editable
// and each event deletable.
'use strict';

/**
 * One event as the table shows it, whatever the program sent for it.
 * @typedef {object} EventRow
 * @property {number} id
 * @property {number} time
 * @property {string} desc
 * @property {number} [kind]
 * @property {number} [x]
 * @property {number} [y]
 * @property {number} [delta]
 * @property {boolean} [down]
 * @property {string} [button]
 * @property {string} [key]
 */

Varnet.events = (function () {
  const { $, setInvalid, readDecimal, confirmAction } = Varnet.page;
  const tableHead = () => /** @type {HTMLTableSectionElement} */ (/** @type {HTMLTableElement} */ ($('ev-table')).tHead);
  const { model } = Varnet.model;
  const { has, call } = Varnet.bridge;
  const ROW_HEIGHT = 30;
  const OVERSCAN_ROWS = 8;
  // Rows fetched either side of those in view, so a short scroll needs no call.
  const WINDOW_MARGIN_ROWS = 100;
  const MAX_LIST_HEIGHT = 240;

  /** @param {number} t */
  function formatTime(t) {
    if (!Number.isFinite(t)) return '';
    return t.toFixed(6).replace(/\.?0+$/, '') || '0';
  }

  /**
   * @param {number} i
   * @returns {EventRow}
   */
  function eventAt(i) {
    const ev = /** @type {Record<string, any> | null | undefined} */ (model.eventWindow.rows[i - model.eventWindow.offset]);
    if (!ev || typeof ev !== 'object') return { id: i, time: NaN, desc: '' };
    return {
      id: Number.isInteger(ev.id) ? ev.id : i,
      time: typeof ev.time === 'number' ? ev.time : Number(ev.time),
      desc: ev.desc == null ? '' : String(ev.desc),
      kind: Number.isInteger(ev.kind) ? ev.kind : -1,
      x: ev.x, y: ev.y, delta: ev.delta, down: ev.down === true,
      button: typeof ev.button === 'string' ? ev.button : '',
      key: typeof ev.key === 'string' ? ev.key : '',
    };
  }

  const EVENT_KIND = { AbsMove: 0, RelMove: 1, MouseButton: 2, KeyStroke: 3, Scroll: 4 };

  // What the event does, in words: which button or key, and down or up. An
  // event from a program that does not say falls back to its description.
  /** @param {EventRow} ev */
  function eventLabel(ev) {
    const edge = ev.down ? ' down' : ' up';
    switch (ev.kind) {
      case EVENT_KIND.AbsMove: return 'Move to ' + ev.x + ', ' + ev.y;
      case EVENT_KIND.RelMove: return 'Move by ' + ev.x + ', ' + ev.y;
      case EVENT_KIND.MouseButton: return ev.button + edge + ' at ' + ev.x + ', ' + ev.y;
      case EVENT_KIND.KeyStroke: return ev.key + edge;
      case EVENT_KIND.Scroll: {
        const delta = Number(ev.delta);
        const notches = Math.abs(delta) / 120;
        return 'Wheel ' + (delta > 0 ? 'up ' : 'down ') + notches + (notches === 1 ? ' notch' : ' notches');
      }
      default: return ev.desc;
    }
  }

  // The other half of a press or release among the events at hand: the next
  // release of the same button or key after a press, the last press before a
  // release. -1 when there is none.
  /** @param {number} i */
  function partnerOf(i) {
    const ev = eventAt(i);
    if (ev.kind !== EVENT_KIND.MouseButton && ev.kind !== EVENT_KIND.KeyStroke) return -1;
    const same = (/** @type {EventRow} */ other) => other.kind === ev.kind && other.button === ev.button && other.key === ev.key;
    const { offset, rows } = model.eventWindow;
    const step = ev.down ? 1 : -1;
    for (let j = i + step; j >= offset && j < offset + rows.length; j += step) {
      const other = eventAt(j);
      if (same(other)) return other.down !== ev.down ? j : -1;
    }
    return -1;
  }

  function createRow() {
    const tr = document.createElement('tr');
    const id = document.createElement('td');
    id.className = 'ev-id';
    const timeCell = document.createElement('td');
    timeCell.className = 'ev-t';
    const time = document.createElement('input');
    time.className = 'ev-time';
    time.inputMode = 'decimal';
    time.autocomplete = 'off';
    timeCell.appendChild(time);
    const desc = document.createElement('td');
    desc.className = 'ev-desc';
    const delCell = document.createElement('td');
    delCell.className = 'ev-x';
    const del = document.createElement('button');
    del.type = 'button';
    del.className = 'ev-del';
    del.textContent = '×';
    delCell.appendChild(del);
    tr.append(id, timeCell, desc, delCell);
    return tr;
  }

  /**
   * @param {HTMLTableRowElement} tr
   * @param {number} i
   */
  function fillRow(tr, i) {
    const ev = eventAt(i);
    tr.dataset.index = String(i);
    tr.setAttribute('aria-rowindex', String(i + 2));
    const [idCell, timeCell, descCell, delCell] = tr.children;
    idCell.textContent = String(ev.id);
    const input = /** @type {HTMLInputElement} */ (timeCell.firstChild);
    input.dataset.id = String(ev.id);
    input.setAttribute('aria-label', 'Time of event ' + ev.id + ' in seconds');
    if (!(document.activeElement === input && input.dataset.dirty === '1')) {
      input.value = formatTime(ev.time);
      input.removeAttribute('aria-invalid');
      delete input.dataset.dirty;
    }
    descCell.textContent = eventLabel(ev);
    /** @type {HTMLElement} */ (descCell).title = ev.desc;
    // A time earlier than the one before plays at once after that event.
    const before = i > model.eventWindow.offset ? eventAt(i - 1) : null;
    const early = !!before && ev.time < before.time;
    tr.classList.toggle('ev-early', early);
    if (early) input.title = 'Earlier than the event before it: it plays right after that one.';
    else input.removeAttribute('title');
    const del = /** @type {HTMLButtonElement} */ (delCell.firstChild);
    del.dataset.id = String(ev.id);
    del.setAttribute('aria-label', 'Delete event ' + ev.id);
  }

  /**
   * @param {number} from
   * @param {number} to
   */
  function makeRows(from, to) {
    const fragment = document.createDocumentFragment();
    for (let i = from; i < to; i++) {
      const tr = createRow();
      fillRow(tr, i);
      model.table.rows.set(i, tr);
      fragment.appendChild(tr);
    }
    return fragment;
  }

  /**
   * The rows in view and a few either side, of a list of n.
   * @param {number} n
   */
  function rowsInView(n) {
    // A hidden page has not scrolled, and asking where the list stands would
    // lay the page out before the program's answers change it all again.
    let top = 0;
    let viewHeight = MAX_LIST_HEIGHT;
    if (model.pageShown) {
      const scroller = $('ev-scroll');
      top = Math.max(0, scroller.scrollTop - (tableHead().offsetHeight || 28));
      viewHeight = Math.max(scroller.clientHeight, MAX_LIST_HEIGHT);
    }
    const first = Math.min(n, Math.max(0, Math.floor(top / ROW_HEIGHT) - OVERSCAN_ROWS));
    const last = Math.min(n, Math.ceil((top + viewHeight) / ROW_HEIGHT) + OVERSCAN_ROWS);
    return { first, last };
  }

  /**
   * @param {number} first
   * @param {number} last
   */
  function windowHolds(first, last) {
    const w = model.eventWindow;
    return first >= w.offset && last <= w.offset + w.rows.length;
  }

  /**
   * Only the rows in view (and a few either side) exist; spacer rows stand in
   * for the rest. Rows that stay in view are kept, so a time being edited
   * keeps its focus while the list scrolls.
   * @param {boolean} dataChanged
   */
  function renderEvents(dataChanged) {
    const scroller = $('ev-scroll');
    const n = model.eventTotal;
    const { first, last } = rowsInView(n);
    if (!windowHolds(first, last)) fetchEventsSoon();

    for (const [i, tr] of model.table.rows) {
      if (i < first || i >= last) {
        tr.remove();
        model.table.rows.delete(i);
      } else if (dataChanged) {
        fillRow(tr, i);
      }
    }
    const topSpacer = $('ev-top');
    const bottomSpacer = $('ev-bottom');
    const overlap = model.table.rows.size > 0;
    const keptFirst = overlap ? Math.max(first, model.table.first) : last;
    const keptLast = overlap ? Math.min(last, model.table.last) : last;
    if (first < keptFirst) topSpacer.after(makeRows(first, keptFirst));
    if (keptLast < last) bottomSpacer.before(makeRows(keptLast, last));
    model.table.first = first;
    model.table.last = last;

    // One height whatever the list holds: a box that grew or shrank with a
    // change of profile would move the controls under a double-click.
    if (scroller.style.height !== MAX_LIST_HEIGHT + 'px') scroller.style.height = MAX_LIST_HEIGHT + 'px';
    /** @type {HTMLElement} */ (topSpacer.firstChild).style.height = (first * ROW_HEIGHT) + 'px';
    /** @type {HTMLElement} */ (bottomSpacer.firstChild).style.height = ((n - last) * ROW_HEIGHT) + 'px';
    $('ev-table').setAttribute('aria-rowcount', String(n + 1));
    $('ev-empty').hidden = n > 0;
  }

  function queueRender() {
    if (model.renderQueued) return;
    model.renderQueued = true;
    requestAnimationFrame(() => {
      model.renderQueued = false;
      renderEvents(false);
    });
  }

  /** @param {number} count */
  function showEventCount(count) {
    $('ev-count').textContent = Varnet.page.grouped(count);
    $('ev-count-word').textContent = count === 1 ? 'event' : 'events';
    /** @type {HTMLButtonElement} */ ($('ev-optimize')).disabled = count === 0;
  }

  // The main window asks for the rows around those in view; a pop-out window
  // reads the whole list, which its file holds.
  async function readEventWindow() {
    if (has('getEventWindow')) {
      const { first, last } = rowsInView(model.eventTotal);
      const from = Math.max(0, first - WINDOW_MARGIN_ROWS);
      const got = await call('getEventWindow', from, last - from + WINDOW_MARGIN_ROWS);
      if (!got || !Number.isInteger(got.total) || !Number.isInteger(got.offset) || !Array.isArray(got.events)) return null;
      return { total: got.total, offset: got.offset, rows: got.events };
    }
    if (!has('getMacroEvents')) return null;
    const list = await call('getMacroEvents');
    // A list read half written is no list: keep the one on screen.
    return Array.isArray(list) ? { total: list.length, offset: 0, rows: list } : null;
  }

  // What the next Undo and Redo bring back, as the program says; both
  // buttons go where the program has no such calls (a pop-out window).
  async function readUndoState() {
    const hasUndo = has('getUndoState');
    $('ev-undo').hidden = $('ev-redo').hidden = !hasUndo;
    if (!hasUndo) return;
    const got = await call('getUndoState');
    const undo = got && typeof got.undo === 'string' ? got.undo : '';
    const redo = got && typeof got.redo === 'string' ? got.redo : '';
    const undoButton = /** @type {HTMLButtonElement} */ ($('ev-undo'));
    const redoButton = /** @type {HTMLButtonElement} */ ($('ev-redo'));
    undoButton.disabled = !undo;
    redoButton.disabled = !redo;
    undoButton.title = undo ? 'Undo: ' + undo + ' (Ctrl+Z)' : 'Nothing to undo';
    redoButton.title = redo ? 'Redo: ' + redo + ' (Ctrl+Shift+Z)' : 'Nothing to redo';
    $('ev-undo-what').textContent = undo ? 'Undo: ' + undo : (redo ? 'Redo: ' + redo : '');
  }

  // Undo and Redo may bring back another profile, its settings and the
  // live ones, so everything is read again.
  /** @param {'undoChange' | 'redoChange'} name */
  async function takeBack(name) {
    await call(name);
    await Varnet.profiles.rereadAfterProfileChange();
  }

  // Ctrl+Z in a field that is being typed in undoes the typing, as
  // anywhere; elsewhere on the page it undoes the last change of the events
  // or the profiles.
  /** @param {KeyboardEvent} event */
  function onUndoKey(event) {
    if (!(event.ctrlKey || event.metaKey) || event.altKey || event.key.toLowerCase() !== 'z') return;
    const el = /** @type {HTMLElement | null} */ (document.activeElement);
    const typing = el && (el.tagName === 'TEXTAREA' || (el.tagName === 'INPUT' && !['checkbox', 'radio', 'button'].includes(/** @type {HTMLInputElement} */ (el).type)));
    if (typing || !has('undoChange')) return;
    event.preventDefault();
    takeBack(event.shiftKey ? 'redoChange' : 'undoChange');
  }

  async function fetchEvents() {
    model.fetchingEvents = true;
    const started = performance.now();
    try {
      const got = await readEventWindow();
      if (!got) return;
      model.eventTotal = got.total;
      model.eventWindow = { offset: got.offset, rows: got.rows };
      model.fetchedCount = got.total;
      renderEvents(true);
      showEventCount(got.total);
    } finally {
      readUndoState();
      model.fetchingEvents = false;
      model.lastFetchAt = Date.now();
      model.lastFetchMs = performance.now() - started;
    }
  }

  // A scroll past the rows at hand: read the new stretch once the current
  // read (if any) is done.
  function fetchEventsSoon() {
    if (model.windowWanted || !has('getEventWindow')) return;
    model.windowWanted = true;
    setTimeout(async () => {
      while (model.fetchingEvents) await new Promise((done) => setTimeout(done, 20));
      model.windowWanted = false;
      await fetchEvents();
    }, 0);
  }

  // Re-reads the list when the count moved. A big list costs time to build
  // and parse, so re-reads are spaced by a multiple of the last one's cost,
  // and by a second at least while a recording grows the list.
  async function refreshEventsIfStale() {
    if (model.fetchingEvents || model.status.count === model.fetchedCount) return;
    const gap = Math.max(model.lastFetchMs * 4, model.status.state === 'Recording' ? 1000 : 0);
    if (Date.now() - model.lastFetchAt < gap) return;
    await fetchEvents();
  }

  /** @param {HTMLInputElement} input */
  async function commitTime(input) {
    const id = Number(input.dataset.id);
    const result = readDecimal(input, 0, 1e9, 'Time');
    if ('error' in result) {
      setInvalid(input, 'ev-hint', 'Event ' + id + ': time must be seconds (0 or more), like 1.25.');
      return;
    }
    input.removeAttribute('aria-invalid');
    $('ev-hint').textContent = '';
    delete input.dataset.dirty;
    await call('updateEventTime', id, result.value);
    await fetchEvents();
  }

  // One half of a press and release alone would leave a key or button held
  // (or let go of one never pressed) when the macro plays: both go, or neither.
  /** @param {HTMLButtonElement} button */
  async function deleteEventRow(button) {
    const id = Number(button.dataset.id);
    const row = button.closest('tr');
    const index = row ? Number(row.dataset.index) : -1;
    const partner = index >= 0 ? partnerOf(index) : -1;
    if (partner >= 0) {
      const ev = eventAt(index);
      const other = eventAt(partner);
      const ok = await confirmAction('Delete both halves?',
        'Event ' + ev.id + ' (' + eventLabel(ev) + ') goes with event ' + other.id + ' (' + eventLabel(other) +
        '). Deleting only one would leave it held down when the macro plays, so both are deleted.', 'Delete both');
      if (!ok) return;
      await call('deleteEvent', Math.max(ev.id, other.id));
      await call('deleteEvent', Math.min(ev.id, other.id));
      await fetchEvents();
      return;
    }
    await call('deleteEvent', id);
    await fetchEvents();
    // Keep the keyboard where it was: on the delete button of the row that
    // moved up into the deleted one's place.
    const next = model.table.rows.get(Math.min(index, model.eventTotal - 1));
    if (next) /** @type {HTMLElement} */ (next.querySelector('.ev-del')).focus();
  }

  // Moves the keyboard to another row's time, scrolling it into view first
  // since rows out of view do not exist.
  /** @param {number} index */
  function focusEventTime(index) {
    if (index < 0 || index >= model.eventTotal) return;
    const scroller = $('ev-scroll');
    const head = tableHead().offsetHeight || 28;
    const top = head + index * ROW_HEIGHT;
    if (top - head < scroller.scrollTop) scroller.scrollTop = top - head;
    else if (top + ROW_HEIGHT > scroller.scrollTop + scroller.clientHeight) scroller.scrollTop = top + ROW_HEIGHT - scroller.clientHeight;
    renderEvents(false);
    const row = model.table.rows.get(index);
    if (row) /** @type {HTMLElement} */ (row.querySelector('.ev-time')).focus();
  }

  /**
   * The time field or button an event in the table's body came from.
   * @param {Event} event
   */
  function targetOf(event) {
    return /** @type {HTMLInputElement} */ (event.target);
  }

  /**
   * The index of the row that holds this element.
   * @param {Element} el
   */
  function rowIndexOf(el) {
    return Number(/** @type {HTMLElement} */ (el.closest('tr')).dataset.index);
  }

  function wireEvents() {
    const body = $('ev-body');
    $('ev-scroll').addEventListener('scroll', queueRender, { passive: true });
    body.addEventListener('input', (event) => {
      const t = targetOf(event);
      if (t.classList.contains('ev-time')) t.dataset.dirty = '1';
    });
    body.addEventListener('change', (event) => {
      const t = targetOf(event);
      if (t.classList.contains('ev-time')) commitTime(t);
    });
    body.addEventListener('keydown', (event) => {
      const t = targetOf(event);
      if (!t.classList.contains('ev-time')) return;
      if (event.key === 'ArrowDown' || event.key === 'ArrowUp') {
        event.preventDefault();
        const index = rowIndexOf(t) + (event.key === 'ArrowDown' ? 1 : -1);
        focusEventTime(index);
      } else if (event.key === 'Escape') {
        const ev = eventAt(rowIndexOf(t));
        t.value = formatTime(ev.time);
        delete t.dataset.dirty;
        t.removeAttribute('aria-invalid');
        $('ev-hint').textContent = '';
      }
    });
    body.addEventListener('click', (event) => {
      const button = /** @type {HTMLButtonElement | null} */ (targetOf(event).closest('.ev-del'));
      if (button) deleteEventRow(button);
    });
    $('ev-optimize').addEventListener('click', async () => {
      await call('optimizeMacro');
      await fetchEvents();
    });
    $('ev-undo').addEventListener('click', () => takeBack('undoChange'));
    $('ev-redo').addEventListener('click', () => takeBack('redoChange'));
    document.addEventListener('keydown', onUndoKey);
    if (typeof ResizeObserver === 'function') new ResizeObserver(queueRender).observe($('ev-scroll'));
  }

  return { renderEvents, showEventCount, fetchEvents, refreshEventsIfStale, wireEvents };
})();
