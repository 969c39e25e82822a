// @ts-check
// What the page knows: one model, filled from the program's answers and the
// user's edits, that every view draws from. Nothing else keeps state.
'use strict';

/**
 * @typedef {object} Status
 * @property {string} state  Idle, Recording or Playing
 * @property {number} count
 * @property {string[]} restore
 * @property {string} hkRec
 * @property {string} hkPlay
 * @property {string} hkAuto
 * @property {string} hkKeySpam
 * @property {string} keySpamTarget
 * @property {string} reassigning
 * @property {boolean} panelHover
 * @property {boolean} autoClicking
 * @property {boolean} keySpamming
 * @property {string} saveError
 * @property {boolean} picking
 * @property {string} pipeProblem  why pop-outs cannot reach the main window
 * @property {number} clickRate  clicks per second the auto-clicker achieves, 0 while off or measuring
 * @property {number} keySpamRate  presses per second the key spammer achieves, as clickRate
 * @property {string} clickerRefused  why the program refused the auto-clicker's last start, '' once one starts
 * @property {string} keySpamRefused  the same for the key spammer
 * @property {string} hookProblem  what went wrong with the input hooks; '' while they work (the report leaves it out)
 * @property {number} clickAsked  clicks per second the interval asks for, while the clicker runs (the report leaves it out otherwise)
 * @property {number} keySpamAsked  the same for the key spammer
 *
 * @typedef {object} AppSettings
 * @property {boolean} alwaysOnTop
 * @property {boolean} launchOnStartup
 * @property {boolean} startMinimized
 * @property {boolean} hotkeysEnabled
 * @property {boolean} disableAnimations
 * @property {boolean} waylandSession
 * @property {boolean} waylandNoticeDismissed
 * @property {boolean} welcomeDismissed
 * @property {boolean} inputThroughCompositor
 * @property {string} inputPermission  '', 'asking', 'granted' or 'refused': the desktop's answer, where it asks
 * @property {boolean} gnomeDesktop
 *
 * A reassignment asked for: its slot and the key names the page knew then.
 * @typedef {{ slot: string, before: Status }} ReassignAsked
 *
 * A delayed start counting down on its Start button.
 * @typedef {{ due: number, timer: number }} Countdown
 *
 * A step of the auto-clicker's click sequence.
 * @typedef {{ x: number, y: number, button: number, type: number, waitMs: number }} ClickStep
 */

Varnet.model = (function () {
  /** @type {Readonly<Status>} */
  const DEFAULT_STATUS = Object.freeze({
    state: 'Idle', count: 0, restore: [], hkRec: '', hkPlay: '', hkAuto: '', hkKeySpam: '',
    keySpamTarget: '', reassigning: '', panelHover: false, autoClicking: false, keySpamming: false,
    saveError: '',
    picking: false,
    pipeProblem: '',
    clickRate: 0,
    keySpamRate: 0,
    clickerRefused: '',
    keySpamRefused: '',
    hookProblem: '',
    clickAsked: 0,
    keySpamAsked: 0,
  });
  // Status numbers that may have a fraction; the others are counts.
  const REAL_STATUS_KEYS = ['clickRate', 'keySpamRate', 'clickAsked', 'keySpamAsked'];
  /** @type {Readonly<AppSettings>} */
  const DEFAULT_APP_SETTINGS = Object.freeze({
    alwaysOnTop: false, launchOnStartup: false, startMinimized: false, hotkeysEnabled: true, disableAnimations: false,
    waylandSession: false, waylandNoticeDismissed: false, welcomeDismissed: true, inputThroughCompositor: false,
    inputPermission: '', gnomeDesktop: false,
  });
  const INPUT_PERMISSIONS = ['', 'asking', 'granted', 'refused'];
  const THEMES = ['modern-blue', 'midnight', 'graphite', 'forest', 'sunset', 'high-contrast'];
  const DEFAULT_THEME = 'modern-blue';

  const model = {
    settings: Varnet.schema.defaults(),
    // The auto-clicker's click sequence, as getSettings last gave it.
    clickSteps: /** @type {ClickStep[]} */ ([]),
    status: /** @type {Status} */ (Object.assign({}, DEFAULT_STATUS)),
    app: /** @type {AppSettings} */ (Object.assign({}, DEFAULT_APP_SETTINGS)),
    profiles: { current: 0, names: /** @type {string[]} */ ([]) },
    // The id of the one panel a pop-out window shows; '' in the main window.
    panelId: '',
    // Panels of the main window that are out in windows of their own.
    poppedOut: /** @type {Set<string>} */ (new Set()),
    // The table asks for the stretch of the list it shows (a pop-out window,
    // which reads the list from a file, holds all of it from offset 0).
    eventTotal: 0,
    eventWindow: { offset: 0, rows: /** @type {unknown[]} */ ([]) },
    // The rows of the table that exist, by index, and their stretch.
    table: { first: 0, last: 0, rows: /** @type {Map<number, HTMLTableRowElement>} */ (new Map()) },
    renderQueued: false,
    // The page is shown once the program's answers have filled it; until
    // then nothing has scrolled.
    pageShown: false,
    windowWanted: false,
    statusText: '',
    // The version of the status the program last gave the held poll.
    statusVersion: 0,
    theme: DEFAULT_THEME,
    fetchedCount: -1,
    settingsSeen: '',
    // Settings that changed while a field was being edited, taken up later.
    settingsHeldBack: false,
    fetchingEvents: false,
    lastFetchAt: 0,
    lastFetchMs: 0,
    pickStartedAt: 0,
    pickAsked: false,
    pickSeen: false,
    pickFrom: { x: 0, y: 0, mode: 0, steps: '[]' },
    pickForStep: false,
    reassignAsked: /** @type {ReassignAsked | null} */ (null),
    hotkeyNote: '',
    themeChangedAt: 0,
    lastThemePoll: 0,
    // How many times in a row each call has failed.
    callFailures: /** @type {Record<string, number>} */ ({}),
    polling: false,
    pollTimer: 0,
    // The size the window was last fitted to.
    lastFit: { width: 0, height: 0 },
    /** @type {Record<string, Countdown | null>} by engine name */
    countdowns: { clicker: null, keySpam: null },
  };

  /**
   * @param {unknown} value
   * @param {number} fallback
   */
  function asInt(value, fallback) {
    return Number.isInteger(value) ? /** @type {number} */ (value) : fallback;
  }

  /** @param {unknown} value */
  function asRate(value) {
    return typeof value === 'number' && Number.isFinite(value) && value > 0 ? value : 0;
  }

  /**
   * @param {unknown} value
   * @param {boolean} fallback
   */
  function asBool(value, fallback) {
    return typeof value === 'boolean' ? value : fallback;
  }

  /** @param {unknown} value */
  function asText(value) {
    return typeof value === 'string' ? value : '';
  }

  /**
   * A settings field as a number (every field but the check boxes' is one).
   * @param {string} key
   */
  function setting(key) {
    return Number(model.settings[key]);
  }

  /**
   * Takes each field the program sent in the type the schema gives it; a
   * field missing or of another type keeps its value.
   * @param {unknown} raw
   */
  function mergeSettings(raw) {
    if (!raw || typeof raw !== 'object') return;
    const r = /** @type {Record<string, unknown>} */ (raw);
    const s = model.settings;
    for (const f of Varnet.schema.FIELDS) {
      const kept = s[f.key];
      const value = r[f.key];
      if (f.type === 'bool') s[f.key] = asBool(value, /** @type {boolean} */ (kept));
      else if (f.type === 'real') s[f.key] = Number.isFinite(value) ? /** @type {number} */ (value) : kept;
      else s[f.key] = asInt(value, /** @type {number} */ (kept));
    }
  }

  /**
   * @param {unknown} raw
   * @returns {Status}
   */
  function normaliseStatus(raw) {
    const r = /** @type {Record<string, unknown>} */ (raw && typeof raw === 'object' ? raw : {});
    /** @type {Record<string, unknown>} */
    const st = {};
    for (const [key, d] of Object.entries(DEFAULT_STATUS)) {
      const value = r[key];
      if (key === 'restore') st.restore = Array.isArray(value) ? value.filter((x) => typeof x === 'string') : [];
      else if (typeof d === 'boolean') st[key] = asBool(value, d);
      else if (REAL_STATUS_KEYS.includes(key)) st[key] = asRate(value);
      else if (typeof d === 'number') st[key] = asInt(value, d);
      else st[key] = asText(value);
    }
    if (!['Idle', 'Recording', 'Playing'].includes(/** @type {string} */ (st.state))) st.state = 'Idle';
    return /** @type {Status} */ (/** @type {unknown} */ (st));
  }

  /** @param {unknown} raw */
  function mergeAppSettings(raw) {
    if (!raw || typeof raw !== 'object') return;
    const r = /** @type {Record<string, unknown>} */ (raw);
    const app = /** @type {Record<string, boolean>} */ (/** @type {unknown} */ (model.app));
    for (const key of Object.keys(DEFAULT_APP_SETTINGS)) {
      if (key !== 'inputPermission') app[key] = asBool(r[key], app[key]);
    }
    const permission = r.inputPermission;
    if (typeof permission === 'string' && INPUT_PERMISSIONS.includes(permission)) model.app.inputPermission = permission;
  }

  function inPanel() {
    return model.panelId !== '';
  }

  return {
    THEMES, DEFAULT_THEME, model, asInt, setting, mergeSettings, normaliseStatus,
    mergeAppSettings, inPanel,
  };
})();
