// A stand-in for the program behind the page, for the browser tests. It
// binds the same global functions the program binds, records every call
// with its JS arguments, turns the arguments into text the way the program
// receives them (the JSON array, brackets and double quotes stripped, split
// at commas) and answers with the program's exact result texts, which are
// parsed the way the web view library parses them. The settings fields
// (their JSON order, defaults, types and the update calls' argument order)
// come from the page's own schema, ui/schema.js, loaded before this file.
//
// Options come from window.__fakeOptions, set by an earlier init script:
//   panel: true       bind only the twenty-nine calls of a pop-out window
//   events: N         start with N recorded events
//   eventLines: text  start with these events instead (event lines, as in
//                     tests/contract/events/*.txt)
//   eventWindow: true also bind getEventWindow, the table's windowed read
//   profiles: [...]   start with these profile names
//   theme: name       start with this theme (also in the pop-out's theme file)
//   notices: [...]    start-up notices the program has for the page
//   wayland: true     report a Wayland desktop session
//   throughCompositor: true   and input sent through its compositor
//   inputPermission: 'asking' the desktop's answer to the program's request for input
//   gnome: true       report a GNOME desktop
//   heldStatus: true  also bind waitForStatus, the main window's held poll
(function () {
  'use strict';
  const options = window.__fakeOptions || {};
  const schema = Varnet.schema;

  // What the fake cannot answer as the program would; said on the page's
  // console (which the tests collect), never taken for the program's "".
  class FakeLacks extends Error {}

  const KEY_NAMES = { 27: 'Esc', 32: 'Space', 65: 'A', 117: 'F6', 118: 'F7', 119: 'F8', 120: 'F9', 121: 'F10', 4: 'Middle Mouse' };
  const SLOTS = { rec: 'hkRec', play: 'hkPlay', auto: 'hkAuto', keyspamhotkey: 'hkKeySpam', keyspamtarget: 'keySpamTarget' };
  const KIND = { AbsMove: 0, RelMove: 1, MouseButton: 2, KeyStroke: 3, Scroll: 4, TypedText: 5 };

  // The profile's fields (and the key spammer's key), and the recorder's.
  function clickerDefaults() {
    return Object.assign(schema.defaults(true), { keySpamTarget: 32, clickSteps: [] });
  }
  function trackerDefaults() {
    return schema.defaults(false);
  }
  function settingsOf(field) {
    return field.profile ? state.clicker : state.tracker;
  }
  function appDefaults() {
    return { alwaysOnTop: false, launchOnStartup: false, startMinimized: false, hotkeysEnabled: true, disableAnimations: false,
      waylandSession: !!options.wayland, waylandNoticeDismissed: false,
      inputThroughCompositor: !!options.throughCompositor, inputPermission: options.inputPermission || '',
      gnomeDesktop: !!options.gnome, welcomeDismissed: false };
  }

  function sampleEvents(n) {
    const list = [];
    for (let i = 0; i < n; i++) {
      const kind = i % 5;
      list.push({ kind, x: (i * 7) % 1280, y: (i * 3) % 1024, vk: 65 + (i % 26), down: i % 2 === 0, delta: -120, time: i * 0.01 });
    }
    return list;
  }

  const state = {
    clicker: clickerDefaults(),
    tracker: trackerDefaults(),
    app: appDefaults(),
    hotkeys: { hkRec: 119, hkPlay: 118, hkAuto: 117, hkKeySpam: 120 },
    theme: 'modern-blue',
    version: '1.2.3',  // the build's own version in the program
    recording: false,
    playing: false,
    autoClicking: false,
    keySpamming: false,
    reassigning: '',
    pickingLocation: false,
    pickAddsStep: false,
    panelHover: false,
    openPanels: [],
    endedPanels: [],
    profiles: (options.profiles || ['Default Tracking Profile']).map((name) => ({ name, settings: null, events: [] })),
    current: 0,
    statusFile: '',
    saveError: '',                     // why the last save failed; set by a test
    pipeProblem: '',                   // why pop-outs cannot reach the main window; set by a test
    clickRate: 0,                      // actions per second the engines achieve; set by a test
    keySpamRate: 0,
    clickerRefused: '',                // why the program refused the last start; set by a test
    keySpamRefused: '',
    hookProblem: '',                   // what went wrong with the input hooks; set by a test
    notices: options.notices || [],    // start-up notices
    eventsFile: '',
    themeFile: '',
    undo: [],                          // {label, profiles, current}: what Undo brings back, newest last
    redo: [],
  };
  state.profiles[0].events = options.eventLines !== undefined ? eventsOfLines(options.eventLines)
    : sampleEvents(options.events === undefined ? 6 : options.events);
  if (options.theme) state.theme = state.themeFile = options.theme;

  // The profiles as they are now, kept for Undo under a label.
  function snapshot(label) {
    return { label, profiles: JSON.parse(JSON.stringify(state.profiles)), current: state.current };
  }
  function remember(label) {
    state.undo.push(snapshot(label));
    state.redo = [];
  }
  function takeBack(from, to) {
    if (state.recording || from.length === 0) return '';
    const step = from.pop();
    to.push(snapshot(step.label));
    state.profiles = step.profiles;
    state.current = step.current;
    applyProfileSettings(currentProfile());
    return '';
  }

  // ------------------------------------------------------------ argument text

  function strip(text) {
    return text.replace(/[[\]"]/g, '');
  }
  function fields(text) {
    const parts = strip(text).split(',');
    if (parts.length && parts[parts.length - 1] === '') parts.pop();
    return parts;
  }
  // Classic stoi/stod: leading blanks, a sign, digits up to the first other
  // character; no digit at all is an error.
  function toInt(text) {
    const m = /^\s*[+-]?\d+/.exec(text);
    if (!m) throw new Error('invalid stoi argument');
    const v = Number(m[0]);
    if (v > 2147483647 || v < -2147483648) throw new Error('stoi argument out of range');
    return v;
  }
  function toReal(text) {
    const m = /^\s*[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?/.exec(text);
    if (!m) throw new Error('invalid stod argument');
    return Number(m[0]);
  }

  // ------------------------------------------------------------ result texts

  function general6(v) {
    return String(Number(v.toPrecision(6)));
  }
  // The text typer's values follow the fields only while it is in use.
  function typerText() {
    const t = state.clicker.typer;
    if (!t || (t.mode === 0 && !t.enter && t.delay === 0 && t.text === '')) return '';
    return ',"ksMode":' + t.mode + ',"ksEnter":' + t.enter + ',"ksCharMs":' + t.delay + ',"ksText":' + jsonText(t.text);
  }
  // As the program escapes a string: only quotes, backslashes and control characters.
  function jsonText(text) {
    return '"' + text.replace(/["\\\u0000-\u001f]/g, (c) => (c === '"' || c === '\\' ? '\\' + c
      : '\\u00' + c.charCodeAt(0).toString(16).padStart(2, '0'))) + '"';
  }
  function settingsText() {
    const steps = state.clicker.clickSteps;
    return '{' + schema.FIELDS.map((f) => {
      const value = settingsOf(f)[f.key];
      return '"' + f.key + '":' + (f.type === 'real' ? general6(value) : String(value));
    }).join(',') + typerText() + (steps.length ? ',"clickSteps":' + JSON.stringify(steps) : '') + '}';
  }
  // A step's five values, or null when one is no number or out of its range.
  function stepOf(list) {
    if (list.length < 5) return null;
    let step;
    try { step = list.slice(0, 5).map(toInt); } catch { return null; }
    const [, , button, type, waitMs] = step;
    return button >= 0 && button <= 2 && type >= 0 && type <= 1 && waitMs >= 0 && waitMs <= 3600000 ? step : null;
  }
  function indexOf(text, steps) {
    try { const i = toInt(text); return i >= 0 && i < steps.length ? i : -1; } catch { return -1; }
  }
  // Each edit gives the clicker a new list, so a profile's copy keeps its own.
  function editSteps(list) {
    const steps = state.clicker.clickSteps.slice();
    const step = stepOf(list.slice(list[0] === 'set' ? 2 : 1));
    const at = indexOf(list[1], steps);
    if (list[0] === 'add' && step && steps.length < 1000) steps.push(step);
    else if (list[0] === 'set' && step && at >= 0) steps[at] = step;
    else if (list[0] === 'move' && at >= 0 && indexOf(list[2], steps) >= 0) steps.splice(toInt(list[2]), 0, steps.splice(at, 1)[0]);
    else if (list[0] === 'delete' && at >= 0) steps.splice(at, 1);
    else if (list[0] === 'pick') { state.pickAddsStep = true; state.pickingLocation = true; return; }
    else return;
    state.clicker.clickSteps = steps;
    storeProfileSettings();
  }
  // What a test chose the file dialogs to end in: '' for a cancelled one.
  function fileAnswerText() {
    return state.fileAnswer ? JSON.stringify(state.fileAnswer) : '';
  }
  function keyName(code) {
    return KEY_NAMES[code] || 'Key[' + code + ']';
  }
  function statusText() {
    const restore = state.endedPanels.slice().sort();
    state.endedPanels = [];
    state.openPanels = state.openPanels.filter((id) => !restore.includes(id));
    if (restore.length) state.panelHover = false;
    const events = currentProfile().events;
    const stateName = state.recording ? 'Recording' : (state.playing ? 'Playing' : 'Idle');
    return '{"state":"' + stateName + '","count":' + events.length + ',"restore":[' + restore.map((id) => '"' + id + '"').join(',') +
      '],"hkRec":"' + keyName(state.hotkeys.hkRec) + '","hkPlay":"' + keyName(state.hotkeys.hkPlay) +
      '","hkAuto":"' + keyName(state.hotkeys.hkAuto) + '","hkKeySpam":"' + keyName(state.hotkeys.hkKeySpam) +
      '","keySpamTarget":"' + keyName(state.clicker.keySpamTarget) + '","reassigning":"' + state.reassigning +
      '","panelHover":' + state.panelHover + ',"autoClicking":' + state.autoClicking + ',"keySpamming":' + state.keySpamming +
      ',"saveError":' + JSON.stringify(state.saveError) + ',"picking":' + state.pickingLocation + ',"pipeProblem":' + JSON.stringify(state.pipeProblem) +
      ',"clickRate":' + state.clickRate + ',"keySpamRate":' + state.keySpamRate +
      ',"clickerRefused":' + JSON.stringify(state.clickerRefused) + ',"keySpamRefused":' + JSON.stringify(state.keySpamRefused) +
      (state.hookProblem ? ',"hookProblem":' + JSON.stringify(state.hookProblem) : '') +
      (state.autoClicking ? ',"clickAsked":' + general6(clickerAskedRate()) : '') +
      (state.keySpamming ? ',"keySpamAsked":' + general6(askedRate(state.clicker.ksh, state.clicker.ksm, state.clicker.kss, state.clicker.ksms)) : '') + '}';
  }
  function askedRate(h, m, s, ms) {
    const interval = h * 3600000 + m * 60000 + s * 1000 + ms;
    return interval > 0 ? 1000 / interval : 0;
  }
  // In a sequence one pass, the steps' waits (each at least 1 ms), is the action.
  function clickerAskedRate() {
    const c = state.clicker;
    if (c.locMode !== 2) return askedRate(c.sh, c.sm, c.ss, c.sms);
    const pass = c.clickSteps.reduce((sum, step) => sum + Math.max(1, step[4]), 0);
    return pass > 0 ? 1000 / pass : 0;
  }
  function describe(ev) {
    switch (ev.kind) {
      case KIND.AbsMove: return 'Abs Move to X:' + ev.x + ' Y:' + ev.y;
      case KIND.RelMove: return 'Rel Move dX:' + ev.x + ' dY:' + ev.y;
      case KIND.MouseButton: return 'Mouse Click at X:' + ev.x + ' Y:' + ev.y;
      case KIND.KeyStroke: return 'Keyboard VK: ' + ev.vk + (ev.down ? ' (DOWN)' : ' (UP)');
      case KIND.Scroll: return 'Mouse Scroll Delta: ' + ev.delta;
      case KIND.TypedText: {
        const characters = Array.from(ev.text);
        return jsonText('Type "' + (characters.length > 60 ? characters.slice(0, 60).join('') + '\u2026' : ev.text) + '"').slice(1, -1);
      }
      default: return '';
    }
  }
  // Which button a recorded press names, from its flags (left when none are given).
  function buttonOf(flags) {
    const action = (flags || 2) & 0xFFFF;
    if (action & 0x6) return 'Left';
    if (action & 0x18) return 'Right';
    if (action & 0x60) return 'Middle';
    const side = (flags || 0) >>> 16;
    return side ? 'Side ' + side : 'Side';
  }
  function details(ev) {
    const point = ',"x":' + ev.x + ',"y":' + ev.y;
    switch (ev.kind) {
      case KIND.AbsMove: case KIND.RelMove: return point;
      case KIND.MouseButton:
        return point + ',"button":"' + buttonOf(ev.flags) + '","down":' + (((ev.flags || 2) & 0xAA) !== 0);
      case KIND.KeyStroke: return ',"key":' + JSON.stringify(keyName(ev.vk)) + ',"down":' + ev.down;
      case KIND.Scroll: return ',"delta":' + ev.delta;
      case KIND.TypedText: return ',"text":' + jsonText(ev.text);
      default: return '';
    }
  }
  function eventObject(ev, i) {
    return '{"id":' + i + ',"time":' + ev.time.toFixed(6) + ',"desc":"' + describe(ev) + '","kind":' + ev.kind +
      details(ev) + '}';
  }
  function eventsText() {
    return '[' + currentProfile().events.map(eventObject).join(',') + ']';
  }
  function eventWindowText(arg) {
    const [offset, count] = fields(arg).map((f) => parseInt(f, 10) || 0);
    const events = currentProfile().events;
    const first = Math.min(events.length, Math.max(0, offset));
    const rows = events.slice(first, first + Math.max(0, Math.min(count, 1000)));
    return '{"total":' + events.length + ',"offset":' + first + ',"events":[' +
      rows.map((ev, i) => eventObject(ev, first + i)).join(',') + ']}';
  }
  function profilesText() {
    const names = state.profiles.map((p) => '"' + p.name.replace(/[\\"]/g, (c) => '\\' + c) + '"');
    return '{"current":' + state.current + ',"names":[' + names.join(',') + '],"cap":-1}';
  }
  function appSettingsText() {
    const a = state.app;
    return '{"alwaysOnTop":' + a.alwaysOnTop + ',"launchOnStartup":' + a.launchOnStartup + ',"startMinimized":' +
      a.startMinimized + ',"hotkeysEnabled":' + a.hotkeysEnabled + ',"disableAnimations":' + a.disableAnimations +
      ',"version":"' + state.version + '"' +
      ',"waylandSession":' + a.waylandSession + ',"waylandNoticeDismissed":' + a.waylandNoticeDismissed +
      ',"inputThroughCompositor":' + a.inputThroughCompositor +
      ',"inputPermission":"' + a.inputPermission + '","gnomeDesktop":' + a.gnomeDesktop + ',"welcomeDismissed":' + a.welcomeDismissed + '}';
  }

  function quoted(name) {
    return '\u201c' + name + '\u201d';
  }
  function nameOutcome(done, message) {
    return '{"done":' + done + ',"message":' + JSON.stringify(message) + '}';
  }
  function nameRefusal(name, renamed) {
    if (name === '') return 'Type a name for the profile.';
    if ([...name].length > 64) return 'A profile\'s name has at most 64 characters.';
    if (state.profiles.some((p, i) => p.name === name && i !== renamed)) return 'There is a profile named ' + quoted(name) + ' already.';
    return '';
  }
  // The file's own name while free, else marked as imported and numbered.
  function importName(name) {
    const taken = (n) => state.profiles.some((p) => p.name === n);
    if (!taken(name)) return name;
    let candidate = name + ' (Imported)';
    for (let n = 2; taken(candidate); n++) candidate = name + ' (Imported ' + n + ')';
    return candidate;
  }

  function currentProfile() {
    return state.profiles[state.current];
  }
  function storeProfileSettings() {
    currentProfile().settings = Object.assign({}, state.clicker);
  }
  function applyProfileSettings(p) {
    state.clicker = p.settings ? Object.assign({}, p.settings) : clickerDefaults();
  }

  // ------------------------------------------------------------ handlers
  // Each takes the argument text and returns the result text.

  // An update call's arguments, in the order of its fields; too few change
  // nothing, and the later fields may be left out. Each is read as the
  // program reads a field of its type.
  function updateSettings(call, arg) {
    const fieldsOfCall = schema.fieldsOf(call);
    const list = fields(arg);
    if (list.length < fieldsOfCall.filter((f) => !f.later).length) return false;
    fieldsOfCall.slice(0, list.length).forEach((f, i) => {
      settingsOf(f)[f.key] = f.type === 'int' ? toInt(list[i]) : (f.type === 'real' ? toReal(list[i]) : list[i] === 'true');
    });
    return true;
  }

  const handlers = {
    resizeWindow() { return ''; },
    popOutPanel(arg) {
      const parts = strip(arg).split('|');
      if (parts.length >= 2) state.openPanels.push(parts[1]);
      return '';
    },
    updateSpammer(arg) {
      if (updateSettings('updateSpammer', arg)) storeProfileSettings();
      return '';
    },
    toggleSpammer() { state.autoClicking = !state.autoClicking; return ''; },
    startSpammer(arg) { startAfter(arg, 'autoClicking'); return ''; },
    stopSpammer() { stopPending('autoClicking'); state.autoClicking = false; return ''; },
    updateKeySpam(arg) {
      if (updateSettings('updateKeySpam', arg)) storeProfileSettings();
      return '';
    },
    toggleKeySpam() { state.keySpamming = !state.keySpamming; return ''; },
    startKeySpam(arg) { startAfter(arg, 'keySpamming'); return ''; },
    stopKeySpam() { stopPending('keySpamming'); state.keySpamming = false; return ''; },
    pickLocation() { state.pickAddsStep = false; state.pickingLocation = true; return ''; },
    editClickSteps(arg) { editSteps(fields(arg)); return ''; },
    cancelPick() { state.pickingLocation = false; state.pickAddsStep = false; return ''; },
    // The fake backend's one monitor is 1920 x 1080.
    setFixedPoint(arg) {
      const list = fields(arg);
      if (list.length !== 2 || !list.every((f) => /^\s*[+-]?\d+$/.test(f))) return JSON.stringify('X and Y must be whole numbers.');
      const [x, y] = list.map(toInt);
      if (x < 0 || y < 0 || x >= 1920 || y >= 1080) return JSON.stringify('X ' + x + ', Y ' + y + ' is on no screen.');
      Object.assign(state.clicker, { fixedX: x, fixedY: y, locMode: 1 });
      storeProfileSettings();
      return '';
    },
    cancelReassign() { state.reassigning = ''; return ''; },
    setTheme(arg) { state.theme = strip(arg); state.themeFile = state.theme; return ''; },
    getSharedTheme() { return '"' + state.theme + '"'; },
    getAppSettings() { return appSettingsText(); },
    setAppSetting(arg) {
      const list = fields(arg);
      if (list.length !== 2) return '';
      if (list[0] in state.app) state.app[list[0]] = list[1] === '1';
      return '';
    },
    resetHotkeys() { state.hotkeys = { hkRec: 119, hkPlay: 118, hkAuto: 117, hkKeySpam: 120 }; return ''; },
    updateTracker(arg) {
      updateSettings('updateTracker', arg);
      return '';
    },
    toggleRecording() {
      if (state.recording) state.recording = false;
      else {
        remember('recording replaced ' + currentProfile().events.length + ' events');
        state.playing = false; state.recording = true; currentProfile().events = [];
      }
      return '';
    },
    togglePlayback() {
      if (!state.recording) state.playing = !state.playing;
      return '';
    },
    optimizeMacro() { optimise(); state.eventsFile = eventsText(); return ''; },
    insertPause(arg) {
      const list = fields(arg);
      const events = currentProfile().events;
      if (list.length !== 2) return '';
      const id = toInt(list[0]);
      const seconds = toReal(list[1]);
      if (!(seconds > 0) || seconds > 86400 || id < 0 || id >= events.length) return '';
      remember('inserting a pause before event ' + id);
      for (const ev of events.slice(id)) ev.time += seconds;
      state.eventsFile = eventsText();
      return '';
    },
    insertText(arg) {
      const [id, text] = JSON.parse(arg);
      const events = currentProfile().events;
      if (!Number.isInteger(id) || typeof text !== 'string' || text === '' || Array.from(text).length > 10000 ||
          id < 0 || id > events.length) return '';
      remember('inserting a text before event ' + id);
      const time = id < events.length ? events[id].time : (events.length ? events[events.length - 1].time : 0);
      events.splice(id, 0, { kind: KIND.TypedText, text, time, x: 0, y: 0 });
      state.eventsFile = eventsText();
      return '';
    },
    setKeyTyper(arg) {
      const list = JSON.parse(arg);
      if (!Array.isArray(list) || list.length !== 4) return '';
      const [mode, enter, delay, text] = list;
      if ((mode !== 0 && mode !== 1) || !Number.isInteger(delay) || delay < 0 || delay > 1000 ||
          typeof text !== 'string' || Array.from(text).length > 10000) return '';
      state.clicker.typer = { mode, enter: enter === true || enter === 1, delay, text };
      storeProfileSettings();
      return '';
    },
    getTrackerStatus() {
      const text = statusText();
      state.statusFile = text;
      state.eventsFile = null; // the side file now holds the current list; built when read
      return text;
    },
    getMacroEvents() { const text = eventsText(); state.eventsFile = text; return text; },
    getNotices() { return JSON.stringify(state.notices); },
    deleteEvent(arg) {
      const id = toInt(strip(arg));
      const events = currentProfile().events;
      if (id >= 0 && id < events.length) {
        remember('deleting event ' + id);
        events.splice(id, 1);
      }
      state.eventsFile = eventsText();
      return '';
    },
    updateEventTime(arg) {
      const list = fields(arg);
      if (list.length !== 2) return '';
      const id = toInt(list[0]);
      const time = toReal(list[1]);
      const events = currentProfile().events;
      if (id >= 0 && id < events.length && events[id].time !== time) {
        remember('editing the time of event ' + id);
        events[id].time = time;
      }
      state.eventsFile = eventsText();
      return '';
    },
    resetEverything() {
      state.recording = state.playing = state.autoClicking = state.keySpamming = false;
      state.clicker = clickerDefaults();
      state.tracker = trackerDefaults();
      state.hotkeys = { hkRec: 119, hkPlay: 118, hkAuto: 117, hkKeySpam: 120 };
      state.app = appDefaults();
      state.theme = 'modern-blue';
      currentProfile().events = [];
      storeProfileSettings();
      return '';
    },
    clearProfile() {
      if (state.recording) return '';
      remember('clearing “' + currentProfile().name + '” (' + currentProfile().events.length + ' events)');
      state.clicker = clickerDefaults();
      currentProfile().events = [];
      storeProfileSettings();
      return '';
    },
    addProfile(arg) {
      const name = strip(arg);
      if (name === '' || state.recording) return '';
      state.profiles.push({ name, settings: Object.assign({}, state.clicker), events: [] });
      state.current = state.profiles.length - 1;
      return '';
    },
    deleteProfile() {
      if (state.recording || state.profiles.length <= 1) return '';
      state.profiles.splice(state.current, 1);
      if (state.current >= state.profiles.length) state.current = state.profiles.length - 1;
      applyProfileSettings(currentProfile());
      return '';
    },
    switchProfile(arg) {
      if (state.recording) return '';
      const index = toInt(strip(arg));
      if (index < 0 || index >= state.profiles.length) return '';
      state.current = index;
      applyProfileSettings(currentProfile());
      return '';
    },
    getProfiles() { return profilesText(); },
    renameProfile(arg) {
      const name = strip(arg);
      const p = currentProfile();
      if (state.recording) return nameOutcome(false, 'Stop recording first.');
      if (p.name === name) return nameOutcome(false, quoted(name) + ' keeps its name.');
      const refusal = nameRefusal(name, state.current);
      if (refusal) return nameOutcome(false, refusal);
      const message = 'Renamed ' + quoted(p.name) + ' to ' + quoted(name) + '.';
      remember('renaming ' + quoted(p.name) + ' to ' + quoted(name));
      p.name = name;
      return nameOutcome(true, message);
    },
    duplicateProfile(arg) {
      const name = strip(arg);
      if (state.recording) return nameOutcome(false, 'Stop recording first.');
      const refusal = nameRefusal(name, -1);
      if (refusal) return nameOutcome(false, refusal);
      const p = currentProfile();
      const message = 'Duplicated ' + quoted(p.name) + ' as ' + quoted(name) + '.';
      remember('duplicating as ' + quoted(name));
      state.profiles.push({ name, settings: p.settings && Object.assign({}, p.settings), events: JSON.parse(JSON.stringify(p.events)) });
      state.current = state.profiles.length - 1;
      return nameOutcome(true, message);
    },
    exportProfile() {
      if (state.fileAnswer !== undefined) return fileAnswerText();
      return JSON.stringify({ path: '/home/u/' + currentProfile().name + '.mcr', error: '', name: currentProfile().name });
    },
    importProfile() {
      if (state.fileAnswer !== undefined) return fileAnswerText();
      const name = importName(state.importedName || 'Shared');
      state.profiles.push({ name, settings: null, events: sampleEvents(3) });
      state.current = state.profiles.length - 1;
      applyProfileSettings(currentProfile());
      return JSON.stringify({ path: '/home/u/shared.mcr', error: '', name });
    },
    getSettings() { return settingsText(); },
    undoChange() { return takeBack(state.undo, state.redo); },
    redoChange() { return takeBack(state.redo, state.undo); },
    getUndoState() {
      const last = (/** @type {any[]} */ list) => (list.length ? list[list.length - 1].label : '');
      return JSON.stringify({ undo: last(state.undo), redo: last(state.redo) });
    },
    reassignKey(arg) {
      const name = strip(arg);
      if (name in SLOTS) state.reassigning = name;
      return '';
    },
  };

  // A pop-out window forwards its commands and reads the side files.
  const panelHandlers = {
    getSharedTheme() { return '"' + (state.themeFile || 'modern-blue') + '"'; },
    getTrackerStatus() {
      return state.statusFile || '{"state":"Idle","count":0,"restore":[],"hkRec":"","hkPlay":"","hkAuto":"","hkKeySpam":"","keySpamTarget":"","reassigning":"","panelHover":false,"autoClicking":false,"keySpamming":false,"saveError":"","picking":false,"pipeProblem":"","clickRate":0,"keySpamRate":0,"clickerRefused":"","keySpamRefused":""}';
    },
    getMacroEvents() { return (state.eventsFile === null ? eventsText() : state.eventsFile) || '[]'; },
    beginWindowDrag() { return ''; },
    closeThisWindow() { return ''; },
    // The command, a bar and the text go in one pipe message of at most 511 bytes.
    setKeyTyper(arg) {
      const utf8Bytes = Array.from('setKeyTyper|' + arg)
        .reduce((n, c) => { const p = c.codePointAt(0) || 0; return n + (p < 0x80 ? 1 : p < 0x800 ? 2 : p < 0x10000 ? 3 : 4); }, 0);
      if (utf8Bytes >= 512)
        return '"This text is too long to send from a pop-out window; set it in the main window."';
      return handlers.setKeyTyper(arg);
    },
  };
  const PANEL_CALLS = ['updateSpammer', 'toggleSpammer', 'updateKeySpam', 'toggleKeySpam', 'updateTracker', 'setTheme',
    'getSharedTheme', 'toggleRecording', 'togglePlayback', 'getTrackerStatus', 'getMacroEvents', 'deleteEvent',
    'updateEventTime', 'optimizeMacro', 'reassignKey', 'resizeWindow', 'beginWindowDrag', 'closeThisWindow',
    'startSpammer', 'stopSpammer', 'startKeySpam', 'stopKeySpam', 'getSettings', 'editClickSteps', 'pickLocation',
    'cancelPick', 'setFixedPoint', 'cancelReassign', 'setKeyTyper'];

  // A Start may name a delay in milliseconds; a Stop cancels it.
  const pendingStarts = {};
  function startAfter(arg, flag) {
    const list = fields(arg);
    const delay = list.length ? Math.max(0, toInt(list[0])) : 0;
    stopPending(flag);
    if (delay === 0) state[flag] = true;
    else pendingStarts[flag] = setTimeout(() => { state[flag] = true; }, delay);
  }
  function stopPending(flag) {
    clearTimeout(pendingStarts[flag]);
  }

  // The program's thinning of the list, as the build recorded it
  // (window.__recordedThinnings, the list's text before to its text after,
  // from tests/contract/page_calls.txt): the fake keeps the events the
  // program kept and never decides which moves go itself.
  function optimise() {
    const events = currentProfile().events;
    if (!events.length) return;
    const before = eventsText();
    const recorded = window.__recordedThinnings || {};
    if (!Object.prototype.hasOwnProperty.call(recorded, before)) {
      throw new FakeLacks('the fake has no recorded thinning of this list (' + events.length + ' events): start a sequence ' +
        'of tests/contract/page_calls.txt from it with @events and build varnet_page_answers_json' +
        (window.__recordedFrom ? ' (read ' + window.__recordedFrom + ')' : ''));
    }
    const after = JSON.parse(recorded[before]);
    const kept = [];
    for (const ev of events) {
      const entry = after[kept.length];
      if (entry && JSON.stringify(JSON.parse(eventObject(ev, kept.length))) === JSON.stringify(entry)) kept.push(ev);
    }
    if (kept.length !== after.length) throw new FakeLacks('the recorded thinning of this list is no selection of its events');
    if (kept.length === events.length) return;
    remember('optimising away ' + (events.length - kept.length) + ' moves');
    currentProfile().events = kept;
  }

  // Events from event lines as a session file holds them
  // (kind,time,x,y,flags,vk,down,delta); blank and '#' lines say nothing.
  function eventsOfLines(text) {
    return text.split(/\r?\n/).filter((line) => line !== '' && !line.startsWith('#')).map((line) => {
      const [kind, time, x, y, flags, vk, down, delta] = line.split(',').map(Number);
      if ([kind, time, x, y, flags, vk, down, delta].some((v) => !Number.isFinite(v))) throw new Error('not an event line the fake reads: ' + line);
      return { kind, time, x, y, flags, vk, down: down !== 0, delta };
    });
  }

  // ------------------------------------------------------------ binding

  const calls = [];
  // Calls whose handler has run: a call is listed when the page makes it and
  // answered a task later, as the program's answers are.
  const answered = new WeakSet();
  const handlerMs = {};
  function bind(name, handler) {
    window[name] = function (...args) {
      const entry = { name, args: JSON.parse(JSON.stringify(args)) };
      calls.push(entry);
      const argText = JSON.stringify(args);
      return new Promise((resolve, reject) => {
        setTimeout(() => {
          let text = '';
          const started = performance.now();
          try {
            text = handler(argText);
          } catch (err) {
            if (err instanceof FakeLacks) console.error('fake_bindings.js: ' + err.message);
            text = ''; // the program keeps what it stored and answers ""
          }
          // The program builds its answers natively; what the fake spends
          // here is not the page's own cost.
          handlerMs[name] = performance.now() - started;
          answered.add(entry);
          try {
            resolve(text === '' ? undefined : JSON.parse(text));
          } catch (err) {
            reject(err);
          }
        }, 0);
      });
    };
  }

  // The main window's held poll: answered once the status or the theme has
  // moved on from the version the page holds, or after HOLD_MS.
  const HOLD_MS = 5000;
  let statusVersion = 0, shownStatus = '', shownTheme = '', shownSettings = '';
  function statusAnswer() {
    const text = handlers.getTrackerStatus();
    const settings = settingsText();
    if (statusVersion === 0 || text !== shownStatus || state.theme !== shownTheme || settings !== shownSettings) {
      statusVersion++;
      shownStatus = text;
      shownTheme = state.theme;
      shownSettings = settings;
    }
    return JSON.stringify({ version: statusVersion, status: JSON.parse(text), theme: state.theme });
  }
  function bindHeldStatus() {
    window.waitForStatus = function (seen) {
      calls.push({ name: 'waitForStatus', args: [seen] });
      const until = performance.now() + HOLD_MS;
      return new Promise((resolve) => {
        (function look() {
          const answer = statusAnswer();
          if (statusVersion !== seen || performance.now() >= until) resolve(JSON.parse(answer));
          else setTimeout(look, 20);
        })();
      });
    };
  }

  if (options.panel) {
    for (const name of PANEL_CALLS) bind(name, panelHandlers[name] || handlers[name]);
  } else {
    for (const name of Object.keys(handlers)) bind(name, handlers[name]);
    if (options.eventWindow) bind('getEventWindow', eventWindowText);
    if (options.heldStatus) bindHeldStatus();
  }

  // ------------------------------------------------------------ test controls

  window.__fake = {
    state,
    calls,
    handlerMs,
    names() { return calls.map((c) => c.name); },
    wasAnswered(name) { return calls.some((c) => c.name === name && answered.has(c)); },
    // The text the program would return for this argument text.
    answer(name, argText = '[]') {
      const main = name === 'getEventWindow' ? eventWindowText : handlers[name];
      const handler = options.panel ? (panelHandlers[name] || handlers[name]) : main;
      return handler(argText);
    },
    clear() { calls.length = 0; },
    // The user presses a key while a reassignment or a pick waits (Esc
    // cancels either). A hotkey taking another hotkey's key swaps the two.
    pressKey(code) {
      if (code === 27) state.pickingLocation = state.pickAddsStep = false;
      const slot = state.reassigning;
      if (!slot) return;
      if (code !== 27) {
        const field = SLOTS[slot];
        if (field === 'keySpamTarget') {
          state.clicker.keySpamTarget = code;
        } else {
          const old = state.hotkeys[field];
          for (const other of Object.keys(state.hotkeys)) if (state.hotkeys[other] === code) state.hotkeys[other] = old;
          state.hotkeys[field] = code;
        }
      }
      state.reassigning = '';
    },
    // The user clicks the screen while a location pick waits.
    clickScreen(x, y) {
      if (!state.pickingLocation) return;
      state.pickingLocation = false;
      if (state.pickAddsStep) {
        state.pickAddsStep = false;
        editSteps(['add', String(x), String(y), String(state.clicker.sbtn), String(state.clicker.stype === 1 ? 1 : 0), '100']);
        return;
      }
      state.clicker.fixedX = x;
      state.clicker.fixedY = y;
      state.clicker.locMode = 1;
    },
    endPanel(id) { state.endedPanels.push(id); },
    setEvents(n) { currentProfile().events = sampleEvents(n); },
    setEventLines(text) { currentProfile().events = eventsOfLines(text); },
    set(values) { Object.assign(state, values); },
    writeSideFiles() { handlers.getTrackerStatus(); state.themeFile = state.theme; },
  };
})();
