// Varnet's page script. It talks to the program only through the bound
// calls (global functions returning promises) and never assumes a call
// exists: a pop-out panel window binds only twenty-three of them, and the page
// opened straight from disk binds none.
'use strict';

(function () {

// ---------------------------------------------------------------- defaults

const DEFAULT_SETTINGS = {
  sh: 0, sm: 0, ss: 0, sms: 100, sbtn: 0, stype: 0, rptMode: 1, rptTimes: 10,
  locMode: 0, fixedX: 0, fixedY: 0,
  tmv: true, tclk: true, tscr: true, tkey: true, trel: false, tspd: 1, tloop: false, tloopMs: 500,
  ksh: 0, ksm: 0, kss: 0, ksms: 100, ksRptMode: 1, ksRptTimes: 10,
};
const DEFAULT_STATUS = {
  state: 'Idle', count: 0, restore: [], hkRec: '', hkPlay: '', hkAuto: '', hkKeySpam: '',
  keySpamTarget: '', reassigning: '', panelHover: false, autoClicking: false, keySpamming: false,
  saveError: '',
  picking: false,
  pipeProblem: '',
};
const DEFAULT_APP_SETTINGS = {
  alwaysOnTop: false, launchOnStartup: false, startMinimized: false, hotkeysEnabled: true, disableAnimations: false,
  waylandSession: false, waylandNoticeDismissed: false,
};
const THEMES = ['modern-blue', 'midnight', 'graphite', 'forest', 'sunset', 'high-contrast'];
const DEFAULT_THEME = 'modern-blue';

const POLL_MS = 250;
// While the window is hidden or minimised nobody looks at it, but the
// pop-out panels' files still follow each poll.
const HIDDEN_POLL_MS = 1000;
const THEME_POLL_MS = 2000;
const PICK_TIMEOUT_MS = 60000;
const ROW_HEIGHT = 30;
const OVERSCAN_ROWS = 8;
// Rows fetched either side of those in view, so a short scroll needs no call.
const WINDOW_MARGIN_ROWS = 100;
const MAX_LIST_HEIGHT = 240;
const MAX_INT = 2147483647;
const PANEL_WINDOW_WIDTH = 420;

// ---------------------------------------------------------------- bindings

function has(name) {
  return typeof window[name] === 'function';
}

// Every call goes through here: a missing call or a failed promise gives
// undefined, so a page event never ends in an unhandled rejection.
async function call(name, ...args) {
  if (!has(name)) return undefined;
  try {
    return await window[name](...args);
  } catch (err) {
    return undefined;
  }
}

// Only a pop-out window binds closeThisWindow.
const inPanel = has('closeThisWindow');

const $ = (id) => document.getElementById(id);

// ---------------------------------------------------------------- model

const model = {
  settings: Object.assign({}, DEFAULT_SETTINGS),
  status: Object.assign({}, DEFAULT_STATUS),
  app: Object.assign({}, DEFAULT_APP_SETTINGS),
  profiles: { current: 0, names: [] },
  // The table asks for the stretch of the list it shows (a pop-out window,
  // which reads the list from a file, holds all of it from offset 0).
  eventTotal: 0,
  eventWindow: { offset: 0, rows: [] },
  statusText: '',
  statusVersion: 0,
  theme: DEFAULT_THEME,
  fetchedCount: -1,
  settingsSeen: '',
  fetchingEvents: false,
  lastFetchAt: 0,
  lastFetchMs: 0,
  pickStartedAt: 0,
  pickAsked: false,
  reassignAsked: null,
  hotkeyNote: '',
  themeChangedAt: 0,
  lastThemePoll: 0,
};

function asInt(value, fallback) {
  return Number.isInteger(value) ? value : fallback;
}

function asBool(value, fallback) {
  return typeof value === 'boolean' ? value : fallback;
}

function asText(value) {
  return typeof value === 'string' ? value : '';
}

function mergeSettings(raw) {
  if (!raw || typeof raw !== 'object') return;
  const s = model.settings;
  for (const key of Object.keys(DEFAULT_SETTINGS)) {
    const fallback = s[key];
    if (typeof fallback === 'boolean') s[key] = asBool(raw[key], fallback);
    else if (key === 'tspd') s[key] = Number.isFinite(raw[key]) ? raw[key] : fallback;
    else s[key] = asInt(raw[key], fallback);
  }
}

function normaliseStatus(raw) {
  const r = raw && typeof raw === 'object' ? raw : {};
  const st = {};
  for (const key of Object.keys(DEFAULT_STATUS)) {
    const d = DEFAULT_STATUS[key];
    if (key === 'restore') st.restore = Array.isArray(r.restore) ? r.restore.filter((x) => typeof x === 'string') : [];
    else if (typeof d === 'boolean') st[key] = asBool(r[key], d);
    else if (typeof d === 'number') st[key] = asInt(r[key], d);
    else st[key] = asText(r[key]);
  }
  if (!['Idle', 'Recording', 'Playing'].includes(st.state)) st.state = 'Idle';
  return st;
}

// ---------------------------------------------------------------- validation

function setInvalid(input, hintId, message) {
  input.setAttribute('aria-invalid', 'true');
  const hint = $(hintId);
  if (hint) hint.textContent = message;
}

function clearInvalid(inputs, hintId) {
  for (const input of inputs) input.removeAttribute('aria-invalid');
  const hint = $(hintId);
  if (hint) hint.textContent = '';
}

// Whole numbers only: "12px", "1e3", " " and "" are refused rather than
// sent for the program to read half of.
function readWhole(input, min, max, name) {
  const text = input.value.trim();
  if (!/^-?\d+$/.test(text)) return { error: name + ' needs a whole number' + rangeText(min, max) + '.' };
  const value = Number(text);
  if (value < min || value > max) return { error: name + ' must be' + rangeText(min, max) + '.' };
  return { value };
}

function rangeText(min, max) {
  return ' from ' + min.toLocaleString('en-US') + ' to ' + max.toLocaleString('en-US');
}

function readDecimal(input, min, max, name) {
  const text = input.value.trim();
  if (!/^(\d+\.?\d*|\.\d+)$/.test(text)) return { error: name + ' needs a number' + rangeText(min, max) + ', like 1.5.' };
  const value = Number(text);
  if (!Number.isFinite(value) || value < min || value > max) return { error: name + ' must be' + rangeText(min, max) + '.' };
  return { value };
}

// Reads every field of a form; on the first bad one marks it, shows the
// hint and returns null so that nothing is sent.
function readFields(fields, hintId) {
  const values = {};
  clearInvalid(fields.map((f) => $(f.id)), hintId);
  for (const f of fields) {
    const input = $(f.id);
    const result = f.decimal ? readDecimal(input, f.min, f.max, f.name) : readWhole(input, f.min, f.max, f.name);
    if (result.error) {
      setInvalid(input, hintId, result.error);
      return null;
    }
    values[f.key] = result.value;
  }
  return values;
}

const CLICKER_FIELDS = [
  { id: 'clk-h', key: 'sh', name: 'Hours', min: 0, max: 999 },
  { id: 'clk-m', key: 'sm', name: 'Minutes', min: 0, max: 59999 },
  { id: 'clk-s', key: 'ss', name: 'Seconds', min: 0, max: 599999 },
  { id: 'clk-ms', key: 'sms', name: 'Milliseconds', min: 0, max: MAX_INT },
  { id: 'clk-times', key: 'rptTimes', name: 'Click count', min: 1, max: MAX_INT },
];
const KEYSPAM_FIELDS = [
  { id: 'ks-h', key: 'ksh', name: 'Hours', min: 0, max: 999 },
  { id: 'ks-m', key: 'ksm', name: 'Minutes', min: 0, max: 59999 },
  { id: 'ks-s', key: 'kss', name: 'Seconds', min: 0, max: 599999 },
  { id: 'ks-ms', key: 'ksms', name: 'Milliseconds', min: 0, max: MAX_INT },
  { id: 'ks-times', key: 'ksRptTimes', name: 'Press count', min: 1, max: MAX_INT },
];
const TRACKER_FIELDS = [
  { id: 'opt-tspd', key: 'tspd', name: 'Speed', min: 0.01, max: 100, decimal: true },
  { id: 'opt-tloopMs', key: 'tloopMs', name: 'Loop pause', min: 0, max: MAX_INT },
];

function radioValue(name) {
  const checked = document.querySelector('input[name="' + name + '"]:checked');
  return checked ? Number(checked.value) : 0;
}

function setRadio(name, value) {
  const radios = document.querySelectorAll('input[name="' + name + '"]');
  let matched = false;
  for (const r of radios) {
    r.checked = Number(r.value) === value;
    matched = matched || r.checked;
  }
  return matched;
}

// ---------------------------------------------------------------- theme

function applyTheme(name) {
  const theme = THEMES.includes(name) ? name : DEFAULT_THEME;
  model.theme = theme;
  document.documentElement.setAttribute('data-theme', theme);
  const select = $('theme-select');
  if (select) select.value = theme;
}

async function readSharedTheme() {
  const name = await call('getSharedTheme');
  if (typeof name === 'string' && name !== '' && name !== model.theme) applyTheme(name);
}

async function onThemeChosen(event) {
  const name = event.target.value;
  applyTheme(name);
  model.themeChangedAt = Date.now();
  await call('setTheme', name);
  // A pop-out window reads the theme back from a file that the main window
  // rewrites a moment later, so only the main window reads it back at once.
  if (!inPanel) await readSharedTheme();
}

// ---------------------------------------------------------------- window fit

function visibleContentHeight() {
  let bottom = 0;
  for (const el of document.body.children) {
    const style = getComputedStyle(el);
    if (style.display === 'none' || style.position === 'fixed' || style.position === 'absolute') continue;
    bottom = Math.max(bottom, el.getBoundingClientRect().bottom + window.scrollY);
  }
  const padding = parseFloat(getComputedStyle(document.body).paddingBottom) || 0;
  return Math.ceil(bottom + padding);
}

let lastFit = { width: 0, height: 0 };

function resizeHostWindow() {
  if (!has('resizeWindow')) return;
  const limit = (window.screen && window.screen.availHeight) ? window.screen.availHeight - 40 : 900;
  const height = Math.max(120, Math.min(limit, visibleContentHeight() + 2));
  const width = inPanel ? PANEL_WINDOW_WIDTH : Math.max(PANEL_WINDOW_WIDTH, window.innerWidth);
  lastFit = { width, height };
  call('resizeWindow', width, height);
}

// A pop-out window keeps fitting its panel as the panel grows or shrinks
// (a hint shows, the event list fills).
function followPanelSize() {
  if (!inPanel || typeof ResizeObserver !== 'function') return;
  let queued = false;
  new ResizeObserver(() => {
    if (queued) return;
    queued = true;
    requestAnimationFrame(() => {
      queued = false;
      const height = visibleContentHeight() + 2;
      if (lastFit.height && Math.abs(height - lastFit.height) > 2) resizeHostWindow();
    });
  }).observe($('dashboard'));
}

// ---------------------------------------------------------------- status

function keyName(name, fallback) {
  return name !== '' ? name : fallback;
}

// A button's hotkey badge; no badge while the program names no key.
function showHotkey(id, name) {
  const kbd = $(id);
  setText(kbd, name);
  kbd.hidden = name === '' || !model.app.hotkeysEnabled;
}

// Writes only what changed: the status arrives four times a second, and a
// rewrite of the same words would be announced again by a screen reader.
function setText(el, text) {
  if (el.textContent !== text) el.textContent = text;
}

function setAttr(el, name, value) {
  if (el.getAttribute(name) !== value) el.setAttribute(name, value);
}

function setRunButton(button, on, startText, stopText) {
  button.dataset.on = String(on);
  setText(button.querySelector('.run-label'), on ? stopText : startText);
  setAttr(button, 'aria-pressed', String(on));
}

function setRunChip(chip, on) {
  chip.dataset.on = String(on);
  setText(chip, on ? 'Running' : 'Stopped');
}

const SLOT_KEYCAPS = { rec: ['hk-rec', 'hkRec'], play: ['hk-play', 'hkPlay'], auto: ['hk-auto', 'hkAuto'],
  keyspamhotkey: ['hk-keyspam', 'hkKeySpam'], keyspamtarget: ['ks-target', 'keySpamTarget'] };

function applyStatus(raw) {
  // A status like the last one touches no element: no layout, no repaint.
  const text = JSON.stringify(raw);
  if (text === model.statusText) return;
  model.statusText = text;
  const before = model.status;
  const st = normaliseStatus(raw);
  model.status = st;

  $('app-state').dataset.state = st.state;
  // The chips say what runs; "Idle" beside one of them would contradict it.
  $('app-state').hidden = st.state === 'Idle' && (st.autoClicking || st.keySpamming);
  setText($('app-state-text'), st.state);
  $('app-clicking').hidden = !st.autoClicking;
  $('app-spamming').hidden = !st.keySpamming;

  setRunChip($('clk-state'), st.autoClicking);
  showEngineRunning(ENGINES.clicker, st.autoClicking);
  showHotkey('clk-hotkey', st.hkAuto);

  setRunChip($('ks-state'), st.keySpamming);
  showEngineRunning(ENGINES.keySpam, st.keySpamming);
  showHotkey('ks-hotkey', st.hkKeySpam);

  $('rec-state').dataset.state = st.state;
  setText($('rec-state'), st.state);
  setRunButton($('rec-toggle'), st.state === 'Recording', 'Record', 'Stop');
  setRunButton($('play-toggle'), st.state === 'Playing', 'Play', 'Stop');
  showHotkey('rec-hotkey', st.hkRec);
  showHotkey('play-hotkey', st.hkPlay);

  showReassigning(st.reassigning);

  // Only the main window takes a dropped panel, so only it shows the cue.
  document.body.classList.toggle('panel-hover', st.panelHover && !inPanel);
  for (const id of st.restore) restorePanel(id);
  // A panel that came back may have changed the settings while it was out.
  if (st.restore.length && !inPanel) readSettings();

  if (st.count !== before.count || model.fetchedCount < 0) showEventCount(st.count);
  updateProfileLock();
  showWarning('save-error', st.saveError);
  showPipeProblem(st.pipeProblem);
}

// Without the command pipe a popped-out panel could do nothing, so the
// pop-out buttons go while it is missing and the page says why.
function showPipeProblem(problem) {
  if (inPanel) return;
  showWarning('pipe-problem', problem && 'Panels cannot pop out: ' + problem + '. They stay in this window until that is fixed.');
  document.body.classList.toggle('no-pop-out', Boolean(problem));
}

// Key names, with the one being reassigned shown as waiting for its key.
function showReassigning(slot) {
  for (const [name, [id, key]] of Object.entries(SLOT_KEYCAPS)) {
    const waiting = name === slot;
    const keycap = $(id);
    keycap.classList.toggle('waiting', waiting);
    setText(keycap, waiting ? 'Press a key' : keyName(model.status[key], '—'));
  }
  for (const button of document.querySelectorAll('button[data-slot]')) {
    const waiting = button.dataset.slot === slot;
    const row = button.closest('li');
    if (row) row.classList.toggle('waiting', waiting);
    setText(button, waiting ? 'Press a key…' : (button.id === 'ks-settarget' ? 'Press a key to set' : 'Reassign'));
    setAttr(button, 'aria-pressed', String(waiting));
  }
  setText($('hk-note'), slot !== ''
    ? 'Waiting for a key or mouse button… Esc cancels.'
    : model.hotkeyNote || 'Press Reassign, then the new key or mouse button. Esc cancels.');
}

const HOTKEY_LABELS = { rec: 'Record', play: 'Play', auto: 'Auto click', keyspamhotkey: 'Key spam' };

// A key fires one hotkey only: the program swaps two hotkeys when one takes
// the other's key, and the note under the list says so. asked holds the slot
// and the names the page knew when the reassignment began.
function noteReassignment(asked, st) {
  if (model.reassignAsked !== asked) return;
  model.reassignAsked = null;
  const { slot, before } = asked;
  if (!(slot in HOTKEY_LABELS)) return;
  const key = SLOT_KEYCAPS[slot][1];
  const label = HOTKEY_LABELS[slot];
  if (st[key] === before[key]) {
    model.hotkeyNote = label + ' keeps ' + keyName(st[key], 'no key') + '.';
  } else {
    model.hotkeyNote = label + ' is now ' + st[key] + '.';
    for (const other of Object.keys(HOTKEY_LABELS)) {
      const otherKey = SLOT_KEYCAPS[other][1];
      if (other !== slot && st[otherKey] !== before[otherKey]) {
        model.hotkeyNote = st[key] + ' moved from ' + HOTKEY_LABELS[other] + ' to ' + label + '; ' +
          HOTKEY_LABELS[other] + ' now has ' + keyName(st[otherKey], 'no key') + '.';
      }
    }
  }
  announce(model.hotkeyNote);
}

let polling = false;
let pollTimer = 0;

async function poll() {
  clearTimeout(pollTimer);
  if (polling) return;
  polling = true;
  try {
    // A pop-out window may read the status file half written: such a read
    // gives no object and the last good status stays on screen.
    // Only a report asked for after the program took the pick or the
    // reassignment can end it.
    const pickAsked = model.pickAsked;
    const reassignAsked = model.reassignAsked;
    const status = await nextStatus();
    const fresh = status && typeof status === 'object';
    if (fresh) {
      if (reassignAsked && status.reassigning === '') noteReassignment(reassignAsked, normaliseStatus(status));
      applyStatus(status);
    }
    await refreshEventsIfStale();
    await checkPickedLocation(pickAsked && fresh && status.picking === false);
    await followSettings();
    if (!has('waitForStatus')) await pollTheme();
  } finally {
    polling = false;
    pollTimer = setTimeout(poll, pollPeriod());
  }
}

// The main window's program holds the answer until something changes (or a
// few seconds pass), so an idle window costs almost nothing; the answer
// carries the theme too. A pop-out window reads the status file.
async function nextStatus() {
  if (!has('waitForStatus')) return call('getTrackerStatus');
  const answer = await call('waitForStatus', model.statusVersion);
  if (!answer || typeof answer !== 'object') return undefined;
  model.statusVersion = answer.version;
  if (typeof answer.theme === 'string' && answer.theme !== '' && answer.theme !== model.theme &&
      Date.now() - model.themeChangedAt >= THEME_POLL_MS) applyTheme(answer.theme);
  return answer.status;
}

function pollPeriod() {
  return document.visibilityState === 'hidden' ? HIDDEN_POLL_MS : POLL_MS;
}

// The program applies start and stop requests on its control thread a
// moment after the command, so the state is read back shortly after it.
function pollSoon() {
  clearTimeout(pollTimer);
  pollTimer = setTimeout(poll, 40);
}

async function pollTheme() {
  const now = Date.now();
  if (now - model.lastThemePoll < THEME_POLL_MS || now - model.themeChangedAt < THEME_POLL_MS) return;
  model.lastThemePoll = now;
  await readSharedTheme();
}

// ---------------------------------------------------------------- panels

function restorePanel(id) {
  const panel = document.getElementById(id);
  if (!panel || !panel.classList.contains('panel') || !panel.hidden) return;
  panel.hidden = false;
  updateDashboardEmpty();
  announce(panel.dataset.title + ' is back in the main window.');
}

// The panel window opens with its header under the pointer; from the
// keyboard there is no pointer, so the button's own place on screen stands in.
function screenPointFor(event, button) {
  if (event && event.detail > 0 && (event.screenX || event.screenY)) {
    return { x: Math.round(event.screenX), y: Math.round(event.screenY) };
  }
  const rect = button.getBoundingClientRect();
  return {
    x: Math.round(window.screenX + rect.left + rect.width / 2),
    y: Math.round(window.screenY + rect.top + rect.height / 2),
  };
}

function updateDashboardEmpty() {
  $('dash-empty').hidden = inPanel || document.querySelector('.panel:not([hidden])') !== null;
}

async function popOut(panel, button, event) {
  const point = screenPointFor(event, button);
  await call('popOutPanel', panel.dataset.title + '|' + panel.id + '|' + point.x + '|' + point.y);
  panel.hidden = true;
  updateDashboardEmpty();
  announce(panel.dataset.title + ' opened in its own window.');
  const next = document.querySelector('.panel:not([hidden]) .panel-btn');
  if (next && document.activeElement === button) next.focus();
}

const ICON_POP_OUT = '<svg viewBox="0 0 24 24" aria-hidden="true"><path d="M14 4h6v6"/><path d="M20 4l-8 8"/><path d="M18 14v4a2 2 0 0 1-2 2H6a2 2 0 0 1-2-2V8a2 2 0 0 1 2-2h4"/></svg>';
const ICON_CLOSE = '<svg viewBox="0 0 24 24" aria-hidden="true"><path d="M6 6l12 12M18 6L6 18"/></svg>';

// Profiles and the program's settings are managed where every call is
// bound: those two panels stay in the main window.
const DOCKED_PANELS = ['profiles-panel', 'settings-panel'];

function addHeaderButtons() {
  for (const panel of document.querySelectorAll('.panel')) {
    if (!inPanel && DOCKED_PANELS.includes(panel.id)) continue;
    const header = panel.querySelector('.panel-header');
    const button = document.createElement('button');
    button.type = 'button';
    button.className = 'panel-btn';
    if (inPanel) {
      button.innerHTML = ICON_CLOSE;
      button.title = 'Close and dock back';
      button.setAttribute('aria-label', 'Close ' + panel.dataset.title + ' and return it to the main window');
      button.addEventListener('click', () => call('closeThisWindow'));
      if (!has('closeThisWindow')) button.hidden = true;
    } else {
      button.innerHTML = ICON_POP_OUT;
      button.title = 'Pop out into its own window';
      button.setAttribute('aria-label', 'Pop out ' + panel.dataset.title);
      button.addEventListener('click', (event) => popOut(panel, button, event));
      if (!has('popOutPanel')) button.hidden = true;
    }
    header.appendChild(button);
  }
}

function announce(text) {
  const el = $('announcer');
  el.textContent = '';
  el.textContent = text;
}

// ---------------------------------------------------------------- forms

function fillForms() {
  const s = model.settings;
  $('clk-h').value = s.sh;
  $('clk-m').value = s.sm;
  $('clk-s').value = s.ss;
  $('clk-ms').value = s.sms;
  setRadio('clk-btn', s.sbtn);
  setRadio('clk-type', s.stype === 1 ? 1 : 0);
  setRadio('clk-rpt', s.rptMode === 0 ? 0 : 1);
  $('clk-times').value = s.rptTimes;
  setRadio('clk-loc', s.locMode === 1 ? 1 : 0);
  showPoint();

  $('ks-h').value = s.ksh;
  $('ks-m').value = s.ksm;
  $('ks-s').value = s.kss;
  $('ks-ms').value = s.ksms;
  setRadio('ks-rpt', s.ksRptMode === 0 ? 0 : 1);
  $('ks-times').value = s.ksRptTimes;

  $('opt-tmv').checked = s.tmv;
  $('opt-tclk').checked = s.tclk;
  $('opt-tscr').checked = s.tscr;
  $('opt-tkey').checked = s.tkey;
  $('opt-trel').checked = s.trel;
  $('opt-tspd').value = String(s.tspd);
  $('opt-tloop').checked = s.tloop;
  $('opt-tloopMs').value = s.tloopMs;

  clearInvalid([...CLICKER_FIELDS, ...KEYSPAM_FIELDS, ...TRACKER_FIELDS].map((f) => $(f.id)), 'clk-hint');
  $('ks-hint').textContent = '';
  $('rec-hint').textContent = '';
  syncRepeatFields();
}

function showPoint() {
  $('clk-point').textContent = 'X ' + model.settings.fixedX + ' · Y ' + model.settings.fixedY;
}

function syncRepeatFields() {
  $('clk-times').disabled = radioValue('clk-rpt') !== 0;
  $('ks-times').disabled = radioValue('ks-rpt') !== 0;
  $('opt-tloopMs').disabled = !$('opt-tloop').checked;
}

async function sendClicker() {
  syncRepeatFields();
  const v = readFields(CLICKER_FIELDS, 'clk-hint');
  if (!v) return;
  const s = model.settings;
  s.sh = v.sh; s.sm = v.sm; s.ss = v.ss; s.sms = v.sms; s.rptTimes = v.rptTimes;
  s.sbtn = radioValue('clk-btn');
  s.stype = radioValue('clk-type');
  s.rptMode = radioValue('clk-rpt');
  s.locMode = radioValue('clk-loc');
  await call('updateSpammer', s.sh, s.sm, s.ss, s.sms, s.sbtn, s.stype, s.rptMode, s.rptTimes, s.locMode);
}

async function sendKeySpam() {
  syncRepeatFields();
  const v = readFields(KEYSPAM_FIELDS, 'ks-hint');
  if (!v) return;
  const s = model.settings;
  s.ksh = v.ksh; s.ksm = v.ksm; s.kss = v.kss; s.ksms = v.ksms; s.ksRptTimes = v.ksRptTimes;
  s.ksRptMode = radioValue('ks-rpt');
  await call('updateKeySpam', s.ksh, s.ksm, s.kss, s.ksms, s.ksRptMode, s.ksRptTimes);
}

async function sendTracker() {
  syncRepeatFields();
  const v = readFields(TRACKER_FIELDS, 'rec-hint');
  if (!v) return;
  const s = model.settings;
  s.tmv = $('opt-tmv').checked;
  s.tclk = $('opt-tclk').checked;
  s.tscr = $('opt-tscr').checked;
  s.tkey = $('opt-tkey').checked;
  s.trel = $('opt-trel').checked;
  s.tspd = v.tspd;
  s.tloop = $('opt-tloop').checked;
  s.tloopMs = v.tloopMs;
  await call('updateTracker', s.tmv, s.tclk, s.tscr, s.tkey, s.trel, s.tspd, s.tloop, s.tloopMs);
}

async function readSettings() {
  if (!has('getSettings')) return;
  const raw = await call('getSettings');
  model.settingsSeen = JSON.stringify(raw);
  mergeSettings(raw);
  fillForms();
}

// A pop-out window follows what the user changes elsewhere (the main window,
// a hotkey, another pop-out). A field being edited here keeps its text: the
// values are taken up at the next poll after it loses the focus.
async function followSettings() {
  if (!inPanel || !has('getSettings')) return;
  const raw = await call('getSettings');
  const seen = JSON.stringify(raw);
  if (!raw || typeof raw !== 'object' || seen === model.settingsSeen) return;
  if (document.activeElement && document.activeElement.matches('.panel input')) return;
  model.settingsSeen = seen;
  mergeSettings(raw);
  fillForms();
}

// Arrow keys step a number field and commit it, like a spin box.
function onNumberKey(event) {
  const input = event.target;
  if (event.key !== 'ArrowUp' && event.key !== 'ArrowDown') return;
  const text = input.value.trim();
  const decimal = input.inputMode === 'decimal';
  const current = Number(text);
  if (text === '' || !Number.isFinite(current)) return;
  event.preventDefault();
  const step = decimal ? 0.25 : (event.shiftKey ? 10 : 1);
  const next = current + (event.key === 'ArrowUp' ? step : -step);
  if (next < 0) return;
  input.value = decimal ? String(Math.round(next * 100) / 100) : String(next);
  input.dispatchEvent(new Event('change', { bubbles: true }));
}

function wireForm(panelId, send) {
  const panel = $(panelId);
  panel.addEventListener('change', (event) => {
    // The event table's time fields commit on their own.
    if (event.target.matches('input') && !event.target.classList.contains('ev-time')) send();
  });
  for (const input of panel.querySelectorAll('input[inputmode]')) {
    input.addEventListener('keydown', onNumberKey);
  }
}

// ---------------------------------------------------------------- location

async function startPick() {
  if (!has('pickLocation')) return;
  model.pickStartedAt = Date.now();
  model.pickAsked = false;
  model.pickFrom = { x: model.settings.fixedX, y: model.settings.fixedY, mode: model.settings.locMode };
  $('clk-pick-text').textContent = 'Click anywhere…';
  $('clk-pick').setAttribute('aria-pressed', 'true');
  $('clk-pick-note').hidden = false;
  await call('pickLocation');
  model.pickAsked = true;
}

function endPick() {
  model.pickStartedAt = 0;
  model.pickAsked = false;
  $('clk-pick-text').textContent = 'Pick on screen';
  $('clk-pick').setAttribute('aria-pressed', 'false');
  $('clk-pick-note').hidden = true;
}

// The status report says whether a pick is pending but not the point, so
// while one is the point is read from the settings on each poll; ended tells
// that the program has ended the pick (taken a point, maybe the same one, or
// cancelled).
async function checkPickedLocation(ended) {
  if (!model.pickStartedAt || !has('getSettings')) return;
  const raw = await call('getSettings');
  if (raw && typeof raw === 'object') {
    const s = model.settings;
    const from = model.pickFrom;
    const x = asInt(raw.fixedX, s.fixedX);
    const y = asInt(raw.fixedY, s.fixedY);
    const mode = asInt(raw.locMode, s.locMode);
    if (x !== from.x || y !== from.y || mode !== from.mode) {
      s.fixedX = x; s.fixedY = y; s.locMode = mode;
      setRadio('clk-loc', mode === 1 ? 1 : 0);
      showPoint();
      endPick();
      announce('Fixed point set to X ' + x + ', Y ' + y + '.');
      return;
    }
  }
  if (ended) {
    endPick();
    announce('Fixed point unchanged.');
  } else if (Date.now() - model.pickStartedAt > PICK_TIMEOUT_MS) {
    endPick();
  }
}

// ---------------------------------------------------------------- events

const table = { first: 0, last: 0, rows: new Map() };

function formatTime(t) {
  if (!Number.isFinite(t)) return '';
  return t.toFixed(6).replace(/\.?0+$/, '') || '0';
}

function eventAt(i) {
  const ev = model.eventWindow.rows[i - model.eventWindow.offset];
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
function eventLabel(ev) {
  const edge = ev.down ? ' down' : ' up';
  switch (ev.kind) {
    case EVENT_KIND.AbsMove: return 'Move to ' + ev.x + ', ' + ev.y;
    case EVENT_KIND.RelMove: return 'Move by ' + ev.x + ', ' + ev.y;
    case EVENT_KIND.MouseButton: return ev.button + edge + ' at ' + ev.x + ', ' + ev.y;
    case EVENT_KIND.KeyStroke: return ev.key + edge;
    case EVENT_KIND.Scroll: {
      const notches = Math.abs(ev.delta) / 120;
      return 'Wheel ' + (ev.delta > 0 ? 'up ' : 'down ') + notches + (notches === 1 ? ' notch' : ' notches');
    }
    default: return ev.desc;
  }
}

// The other half of a press or release among the events at hand: the next
// release of the same button or key after a press, the last press before a
// release. -1 when there is none.
function partnerOf(i) {
  const ev = eventAt(i);
  if (ev.kind !== EVENT_KIND.MouseButton && ev.kind !== EVENT_KIND.KeyStroke) return -1;
  const same = (other) => other.kind === ev.kind && other.button === ev.button && other.key === ev.key;
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

function fillRow(tr, i) {
  const ev = eventAt(i);
  tr.dataset.index = String(i);
  tr.setAttribute('aria-rowindex', String(i + 2));
  const [idCell, timeCell, descCell, delCell] = tr.children;
  idCell.textContent = String(ev.id);
  const input = timeCell.firstChild;
  input.dataset.id = String(ev.id);
  input.setAttribute('aria-label', 'Time of event ' + ev.id + ' in seconds');
  if (!(document.activeElement === input && input.dataset.dirty === '1')) {
    input.value = formatTime(ev.time);
    input.removeAttribute('aria-invalid');
    delete input.dataset.dirty;
  }
  descCell.textContent = eventLabel(ev);
  descCell.title = ev.desc;
  // A time earlier than the one before plays at once after that event.
  const before = i > model.eventWindow.offset ? eventAt(i - 1) : null;
  const early = !!before && ev.time < before.time;
  tr.classList.toggle('ev-early', early);
  if (early) input.title = 'Earlier than the event before it: it plays right after that one.';
  else input.removeAttribute('title');
  const del = delCell.firstChild;
  del.dataset.id = String(ev.id);
  del.setAttribute('aria-label', 'Delete event ' + ev.id);
}

function makeRows(from, to) {
  const fragment = document.createDocumentFragment();
  for (let i = from; i < to; i++) {
    const tr = createRow();
    fillRow(tr, i);
    table.rows.set(i, tr);
    fragment.appendChild(tr);
  }
  return fragment;
}

// The rows in view and a few either side, of a list of n.
function rowsInView(n) {
  const scroller = $('ev-scroll');
  const head = $('ev-table').tHead.offsetHeight || 28;
  const top = Math.max(0, scroller.scrollTop - head);
  const viewHeight = Math.max(scroller.clientHeight, MAX_LIST_HEIGHT);
  const first = Math.min(n, Math.max(0, Math.floor(top / ROW_HEIGHT) - OVERSCAN_ROWS));
  const last = Math.min(n, Math.ceil((top + viewHeight) / ROW_HEIGHT) + OVERSCAN_ROWS);
  return { first, last };
}

function windowHolds(first, last) {
  const w = model.eventWindow;
  return first >= w.offset && last <= w.offset + w.rows.length;
}

// Only the rows in view (and a few either side) exist; spacer rows stand in
// for the rest. Rows that stay in view are kept, so a time being edited
// keeps its focus while the list scrolls.
function renderEvents(dataChanged) {
  const scroller = $('ev-scroll');
  const n = model.eventTotal;
  const head = $('ev-table').tHead.offsetHeight || 28;
  const { first, last } = rowsInView(n);
  if (!windowHolds(first, last)) fetchEventsSoon();

  for (const [i, tr] of table.rows) {
    if (i < first || i >= last) {
      tr.remove();
      table.rows.delete(i);
    } else if (dataChanged) {
      fillRow(tr, i);
    }
  }
  const topSpacer = $('ev-top');
  const bottomSpacer = $('ev-bottom');
  const overlap = table.rows.size > 0;
  const keptFirst = overlap ? Math.max(first, table.first) : last;
  const keptLast = overlap ? Math.min(last, table.last) : last;
  if (first < keptFirst) topSpacer.after(makeRows(first, keptFirst));
  if (keptLast < last) bottomSpacer.before(makeRows(keptLast, last));
  table.first = first;
  table.last = last;

  // One height whatever the list holds: a box that grew or shrank with a
  // change of profile would move the controls under a double-click.
  if (scroller.style.height !== MAX_LIST_HEIGHT + 'px') scroller.style.height = MAX_LIST_HEIGHT + 'px';
  topSpacer.firstChild.style.height = (first * ROW_HEIGHT) + 'px';
  bottomSpacer.firstChild.style.height = ((n - last) * ROW_HEIGHT) + 'px';
  $('ev-table').setAttribute('aria-rowcount', String(n + 1));
  $('ev-empty').hidden = n > 0;
}

let renderQueued = false;
function queueRender() {
  if (renderQueued) return;
  renderQueued = true;
  requestAnimationFrame(() => {
    renderQueued = false;
    renderEvents(false);
  });
}

function showEventCount(count) {
  $('ev-count').textContent = count.toLocaleString('en-US');
  $('ev-count-word').textContent = count === 1 ? 'event' : 'events';
  $('ev-optimize').disabled = count === 0;
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
    model.fetchingEvents = false;
    model.lastFetchAt = Date.now();
    model.lastFetchMs = performance.now() - started;
  }
}

// A scroll past the rows at hand: read the new stretch once the current
// read (if any) is done.
let windowWanted = false;
function fetchEventsSoon() {
  if (windowWanted || !has('getEventWindow')) return;
  windowWanted = true;
  setTimeout(async () => {
    while (model.fetchingEvents) await new Promise((done) => setTimeout(done, 20));
    windowWanted = false;
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

async function commitTime(input) {
  const id = Number(input.dataset.id);
  const result = readDecimal(input, 0, 1e9, 'Time');
  if (result.error) {
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
  const next = table.rows.get(Math.min(index, model.eventTotal - 1));
  if (next) next.querySelector('.ev-del').focus();
}

// Moves the keyboard to another row's time, scrolling it into view first
// since rows out of view do not exist.
function focusEventTime(index) {
  if (index < 0 || index >= model.eventTotal) return;
  const scroller = $('ev-scroll');
  const head = $('ev-table').tHead.offsetHeight || 28;
  const top = head + index * ROW_HEIGHT;
  if (top - head < scroller.scrollTop) scroller.scrollTop = top - head;
  else if (top + ROW_HEIGHT > scroller.scrollTop + scroller.clientHeight) scroller.scrollTop = top + ROW_HEIGHT - scroller.clientHeight;
  renderEvents(false);
  const row = table.rows.get(index);
  if (row) row.querySelector('.ev-time').focus();
}

function wireEvents() {
  const body = $('ev-body');
  $('ev-scroll').addEventListener('scroll', queueRender, { passive: true });
  body.addEventListener('input', (event) => {
    if (event.target.classList.contains('ev-time')) event.target.dataset.dirty = '1';
  });
  body.addEventListener('change', (event) => {
    if (event.target.classList.contains('ev-time')) commitTime(event.target);
  });
  body.addEventListener('keydown', (event) => {
    const t = event.target;
    if (!t.classList.contains('ev-time')) return;
    if (event.key === 'ArrowDown' || event.key === 'ArrowUp') {
      event.preventDefault();
      const index = Number(t.closest('tr').dataset.index) + (event.key === 'ArrowDown' ? 1 : -1);
      focusEventTime(index);
    } else if (event.key === 'Escape') {
      const ev = eventAt(Number(t.closest('tr').dataset.index));
      t.value = formatTime(ev.time);
      delete t.dataset.dirty;
      t.removeAttribute('aria-invalid');
      $('ev-hint').textContent = '';
    }
  });
  body.addEventListener('click', (event) => {
    const button = event.target.closest('.ev-del');
    if (button) deleteEventRow(button);
  });
  $('ev-optimize').addEventListener('click', async () => {
    await call('optimizeMacro');
    await fetchEvents();
  });
  if (typeof ResizeObserver === 'function') new ResizeObserver(queueRender).observe($('ev-scroll'));
}

// ---------------------------------------------------------------- profiles

function renderProfiles() {
  const list = $('profile-list');
  const { names, current } = model.profiles;
  const items = names.map((name, i) => {
    const li = document.createElement('li');
    const button = document.createElement('button');
    button.type = 'button';
    button.className = 'profile-item';
    button.dataset.index = String(i);
    const label = document.createElement('span');
    label.className = 'name';
    label.textContent = name;
    label.title = name;
    button.appendChild(label);
    if (i === current) {
      button.setAttribute('aria-current', 'true');
      const badge = document.createElement('span');
      badge.className = 'badge';
      badge.textContent = 'Current';
      button.appendChild(badge);
    }
    li.appendChild(button);
    return li;
  });
  if (items.length === 0) {
    const empty = document.createElement('li');
    empty.className = 'profile-empty';
    empty.textContent = 'No profiles to show.';
    items.push(empty);
  }
  list.replaceChildren(...items);
  setText($('app-profile'), names[current] || '');
  updateProfileLock();
}

// The program refuses profile changes while it records; the page says so
// instead of offering buttons that do nothing.
function updateProfileLock() {
  const recording = model.status.state === 'Recording';
  const manage = has('getProfiles');
  for (const el of document.querySelectorAll('#profiles-panel .panel-body button, #profiles-panel .panel-body input')) {
    const importExport = el.id === 'profile-import' || el.id === 'profile-export';
    el.disabled = !manage || (recording && !importExport);
  }
  if (manage && model.profiles.names.length <= 1) $('profile-delete').disabled = true;
  $('profile-note').textContent = !manage
    ? 'Profiles are managed in the main window.'
    : (recording ? 'Stop recording to switch, add, clear or delete profiles.' : '');
}

async function readProfiles() {
  if (!has('getProfiles')) return;
  const raw = await call('getProfiles');
  if (raw && typeof raw === 'object' && Array.isArray(raw.names)) {
    model.profiles = {
      names: raw.names.map((n) => String(n)),
      current: asInt(raw.current, 0),
    };
  }
  renderProfiles();
}

// After anything that changes the current profile the program has new
// settings and events but returns nothing, so all of it is read again.
async function rereadAfterProfileChange() {
  await readProfiles();
  await readSettings();
  await fetchEvents();
  if (has('getTrackerStatus')) applyStatus(await call('getTrackerStatus'));
}

function currentProfileName() {
  return model.profiles.names[model.profiles.current] || 'this profile';
}

// The program drops brackets and double quotes from names and would keep
// the backslash of an escaped quote, so the page leaves them out itself.
function cleanProfileName(text) {
  return text.replace(/[[\]"\\]/g, '').trim();
}

async function onAddProfile(event) {
  event.preventDefault();
  const input = $('profile-name');
  const typed = input.value;
  const name = cleanProfileName(typed);
  if (name === '') {
    setInvalid(input, 'profile-hint', typed.trim() === '' ? 'Type a name for the new profile.' : 'Brackets, quotes and backslashes cannot be used in a name.');
    return;
  }
  clearInvalid([input], 'profile-hint');
  if (name !== typed.trim()) $('profile-hint').textContent = 'Brackets, quotes and backslashes were left out of the name.';
  await call('addProfile', name);
  input.value = '';
  await rereadAfterProfileChange();
}

async function onProfileClick(event) {
  const button = event.target.closest('.profile-item');
  if (!button || button.disabled) return;
  await call('switchProfile', Number(button.dataset.index));
  await rereadAfterProfileChange();
  const again = document.querySelector('.profile-item[aria-current="true"]');
  if (again) again.focus();
}

function wireProfiles() {
  $('profile-form').addEventListener('submit', onAddProfile);
  $('profile-list').addEventListener('click', onProfileClick);
  $('profile-clear').addEventListener('click', async () => {
    const ok = await confirmAction('Clear profile?', 'This removes every recorded event from "' + currentProfileName() + '" and resets its clicker and key settings.', 'Clear');
    if (!ok) return;
    await call('clearProfile');
    await rereadAfterProfileChange();
  });
  $('profile-delete').addEventListener('click', async () => {
    const ok = await confirmAction('Delete profile?', '"' + currentProfileName() + '" and its recorded events will be deleted.', 'Delete');
    if (!ok) return;
    await call('deleteProfile');
    await rereadAfterProfileChange();
  });
  $('profile-import').addEventListener('click', async () => {
    const outcome = await call('importProfile');
    showFileOutcome(outcome, 'Imported "' + (outcome && outcome.name) + '" from ', 'Could not import ');
    await rereadAfterProfileChange();
  });
  $('profile-export').addEventListener('click', async () => {
    const outcome = await call('exportProfile');
    showFileOutcome(outcome, 'Exported "' + (outcome && outcome.name) + '" to ', 'Could not export to ');
  });
}

// What an export or import did, under the profile buttons; nothing after a
// cancelled dialog.
function showFileOutcome(outcome, done, failed) {
  if (!outcome || typeof outcome.path !== 'string') return;
  const text = outcome.error ? failed + outcome.path + ': ' + outcome.error + '.' : done + outcome.path + '.';
  setText($('profile-hint'), text);
  announce(text);
}

// ---------------------------------------------------------------- settings

function showWaylandNotice() {
  $('wayland-notice').hidden = inPanel || !model.app.waylandSession || model.app.waylandNoticeDismissed;
}

function dismissWaylandNotice() {
  model.app.waylandNoticeDismissed = true;
  showWaylandNotice();
  call('setAppSetting', 'waylandNoticeDismissed', '1');
}

const HOTKEY_BADGES = [['clk-hotkey', 'hkAuto'], ['ks-hotkey', 'hkKeySpam'], ['rec-hotkey', 'hkRec'], ['play-hotkey', 'hkPlay']];

function fillAppSettings() {
  showWaylandNotice();
  // The badges follow the hotkeys switch at once, not at the next change of status.
  for (const [id, key] of HOTKEY_BADGES) showHotkey(id, model.status[key]);
  for (const input of document.querySelectorAll('input[data-setting]')) {
    input.checked = model.app[input.dataset.setting];
    input.disabled = !has('setAppSetting');
  }
  document.documentElement.classList.toggle('reduce-motion', model.app.disableAnimations);
}

async function readAppSettings() {
  if (!has('getAppSettings')) {
    fillAppSettings();
    return;
  }
  const raw = await call('getAppSettings');
  if (raw && typeof raw === 'object') {
    for (const key of Object.keys(DEFAULT_APP_SETTINGS)) model.app[key] = asBool(raw[key], model.app[key]);
    showVersion(raw.version);
  }
  fillAppSettings();
}

function showVersion(version) {
  const line = $('app-version');
  if (typeof version !== 'string' || version === '') return;
  line.textContent = 'Varnet ' + version;
  line.hidden = false;
}

async function onAppSetting(event) {
  const input = event.target;
  if (!input.dataset.setting) return;
  // The program takes exactly "1" as true; the word true would read as off.
  await call('setAppSetting', input.dataset.setting, input.checked ? 1 : 0);
  await readAppSettings();
}

async function onReassign(event) {
  const button = event.target.closest('button[data-slot]');
  if (!button) return;
  model.hotkeyNote = '';
  model.reassignAsked = null;
  showReassigning(button.dataset.slot);
  // Shown ahead of the program: the next report must be applied even if it
  // reads as the last one did.
  model.statusText = '';
  const asked = { slot: button.dataset.slot, before: Object.assign({}, model.status) };
  await call('reassignKey', button.dataset.slot);
  model.reassignAsked = asked;
  pollSoon();
}

async function onResetEverything() {
  const ok = await confirmAction('Reset everything?',
    'All engines stop; settings, hotkeys, preferences, theme and window size go back to their defaults, and the current profile is emptied. Other profiles stay.',
    'Reset everything');
  if (!ok) return;
  await call('resetEverything');
  await readSharedTheme();
  await readAppSettings();
  await rereadAfterProfileChange();
}

// The main window's own size: compact for a corner of the screen, or the
// full height that shows a whole panel at once.
function onWindowSize(event) {
  const button = event.target.closest('button[data-height]');
  if (!button) return;
  call('resizeWindow', Math.max(PANEL_WINDOW_WIDTH, window.innerWidth), Number(button.dataset.height));
}

function wireSettings() {
  $('wayland-dismiss').addEventListener('click', dismissWaylandNotice);
  $('window-size').addEventListener('click', onWindowSize);
  $('window-size').hidden = inPanel || !has('resizeWindow');
  $('settings-panel').addEventListener('click', onReassign);
  $('ks-settarget').addEventListener('click', onReassign);
  $('app-switches').addEventListener('change', onAppSetting);
  $('theme-select').addEventListener('change', onThemeChosen);
  $('hk-reset').addEventListener('click', async () => {
    await call('resetHotkeys');
    pollSoon();
  });
  $('reset-all').addEventListener('click', onResetEverything);
  $('hk-reset').hidden = !has('resetHotkeys');
  $('danger-zone').hidden = !has('resetEverything');
  $('app-switches').hidden = inPanel;
}

// ---------------------------------------------------------------- dialog

function confirmAction(title, text, okText) {
  const dialog = $('confirm-dialog');
  $('confirm-title').textContent = title;
  $('confirm-text').textContent = text;
  $('confirm-ok').textContent = okText;
  if (typeof dialog.showModal !== 'function') return Promise.resolve(window.confirm(title + '\n\n' + text));
  const opener = document.activeElement;
  return new Promise((resolve) => {
    dialog.returnValue = 'cancel';
    dialog.addEventListener('close', () => {
      if (opener && opener.focus) opener.focus();
      resolve(dialog.returnValue === 'ok');
    }, { once: true });
    dialog.showModal();
    $('confirm-cancel').focus();
  });
}

// ---------------------------------------------------------------- notices

// What the program has to tell the user above the panels: the failure of
// the last save, shown until a save succeeds again, and start-up notices
// (an unreadable session kept aside), shown until dismissed.
function noticeElement(id, text, dismissible) {
  const notice = document.createElement('div');
  notice.className = 'notice';
  notice.id = id;
  const message = document.createElement('p');
  message.className = 'notice-text';
  message.textContent = text;
  notice.append(message);
  if (dismissible) {
    const close = document.createElement('button');
    close.type = 'button';
    close.className = 'btn btn-ghost notice-dismiss';
    close.textContent = 'Dismiss';
    close.addEventListener('click', () => notice.remove());
    notice.append(close);
  }
  return notice;
}

// A warning shown for as long as its text is not empty.
function showWarning(id, text) {
  const shown = $(id);
  if (!text) {
    if (shown) shown.remove();
    return;
  }
  if (shown) {
    setText(shown.querySelector('.notice-text'), text);
    return;
  }
  const notice = noticeElement(id, text, false);
  notice.classList.add('notice-warning');
  $('notices').prepend(notice);
  announce(text);
}

async function readNotices() {
  if (!has('getNotices')) return;
  const list = await call('getNotices');
  if (!Array.isArray(list)) return;
  list.forEach((text, i) => {
    if (typeof text === 'string' && text) $('notices').append(noticeElement('notice-' + i, text, true));
  });
}

// ---------------------------------------------------------------- start-up

// Start and Stop are two controls, so that the engine's own click or key
// landing where the user left the pointer or the focus (on Start) can never
// stop it: Start does nothing while running, Stop only ever stops.
const ENGINES = {
  clicker: { start: 'clk-start', stop: 'clk-stop', hint: 'clk-hint', delay: 'clk-delay', fields: CLICKER_FIELDS,
    startCall: 'startSpammer', stopCall: 'stopSpammer', toggleCall: 'toggleSpammer', running: 'autoClicking',
    countdown: null },
  keySpam: { start: 'ks-start', stop: 'ks-stop', hint: 'ks-hint', delay: 'ks-delay', fields: KEYSPAM_FIELDS,
    startCall: 'startKeySpam', stopCall: 'stopKeySpam', toggleCall: 'toggleKeySpam', running: 'keySpamming',
    countdown: null },
};

// A delayed start counts down on Start itself and can be stopped meanwhile.
function showEngineRunning(engine, on) {
  const busy = on || engine.countdown !== null;
  $(engine.start).disabled = busy;
  const stop = $(engine.stop);
  stop.disabled = !busy;
  stop.dataset.on = String(busy);
}

function showCountdown(engine) {
  const c = engine.countdown;
  const left = c ? Math.ceil((c.due - Date.now()) / 1000) : 0;
  setText($(engine.start).querySelector('.run-label'), left > 0 ? 'In ' + left + ' s' : 'Start');
  if (c && left <= 0) endCountdown(engine, true);
}

function beginCountdown(engine, delayMs) {
  engine.countdown = { due: Date.now() + delayMs, timer: setInterval(() => showCountdown(engine), 250) };
  showCountdown(engine);
}

// started: the wait ran out, so the program is starting the engine now.
function endCountdown(engine, started) {
  if (!engine.countdown) return;
  clearInterval(engine.countdown.timer);
  engine.countdown = null;
  if (started) model.status[engine.running] = true;
  showCountdown(engine);
  showEngineRunning(engine, model.status[engine.running]);
  pollSoon();
}

// Without its own call (an older program) the toggle serves, asked only
// while the engine is known to be in the other state, and at once.
async function switchEngine(engine, on, knownOn, delayMs) {
  const name = on ? engine.startCall : engine.stopCall;
  if (has(name)) await (on ? call(name, delayMs) : call(name));
  else if (knownOn !== on) await call(engine.toggleCall);
}

// Refused while a field of the panel is invalid: the engine would run with
// the last valid values, not the ones on screen.
async function onStart(engine) {
  if (!readFields(engine.fields, engine.hint)) {
    const hint = $(engine.hint);
    hint.textContent = 'Not started: ' + hint.textContent;
    const bad = $(engine.start).closest('.panel').querySelector('[aria-invalid="true"]');
    if (bad) bad.focus();
    return;
  }
  // Nothing the engine types or clicks may press a control of this page.
  if (document.activeElement && document.activeElement.blur) document.activeElement.blur();
  const knownOn = model.status[engine.running];
  const delayMs = has(engine.startCall) ? Number($(engine.delay).value) || 0 : 0;
  if (delayMs > 0) {
    beginCountdown(engine, delayMs);
  } else {
    model.status[engine.running] = true;
  }
  showEngineRunning(engine, true);
  await switchEngine(engine, true, knownOn, delayMs);
  pollSoon();
}

async function onStop(engine) {
  endCountdown(engine, false);
  await switchEngine(engine, false, model.status[engine.running]);
  pollSoon();
}

const NOTHING_TO_PLAY = 'Nothing to play yet: record a macro first.';

function wireRunButtons() {
  for (const engine of Object.values(ENGINES)) {
    $(engine.start).addEventListener('click', () => onStart(engine));
    $(engine.stop).addEventListener('click', () => onStop(engine));
    $(engine.delay).closest('label').hidden = !has(engine.startCall);
  }
  $('rec-toggle').addEventListener('click', async () => { await call('toggleRecording'); pollSoon(); });
  $('play-toggle').addEventListener('click', async () => {
    if (model.status.state === 'Idle' && model.status.count === 0) {
      $('rec-hint').textContent = NOTHING_TO_PLAY;
      return;
    }
    if ($('rec-hint').textContent === NOTHING_TO_PLAY) $('rec-hint').textContent = '';
    await call('togglePlayback');
    pollSoon();
  });
  $('clk-pick').addEventListener('click', startPick);
  $('clk-pick').hidden = !has('pickLocation');
}

function reveal() {
  document.body.style.visibility = 'visible';
}

async function start() {
  try {
    await readSharedTheme();
    await readAppSettings();
    await readSettings();
    await readProfiles();
    if (has('getTrackerStatus')) applyStatus(await call('getTrackerStatus'));
    await fetchEvents();
    await readNotices();
  } finally {
    reveal();
    if (inPanel) {
      resizeHostWindow();
      followPanelSize();
    }
    pollTimer = setTimeout(poll, pollPeriod());
  }
}

// A window shown again catches up at once rather than at its slow pace.
function followVisibility() {
  document.addEventListener('visibilitychange', () => {
    if (document.visibilityState !== 'hidden') pollSoon();
  });
}

function init() {
  if (inPanel) document.body.classList.add('in-panel');
  addHeaderButtons();
  fillForms();
  fillAppSettings();
  renderProfiles();
  showEventCount(0);
  renderEvents(true);
  wireForm('clicker-panel', sendClicker);
  wireForm('keyspam-panel', sendKeySpam);
  wireForm('recorder-panel', sendTracker);
  wireRunButtons();
  wireEvents();
  wireProfiles();
  wireSettings();
  followVisibility();
  // Never leave the window blank if a call hangs.
  setTimeout(reveal, 1500);
  start();
}

window.applyTheme = applyTheme;
window.resizeHostWindow = resizeHostWindow;
init();

})();
