// @ts-check
// The settings panel: the program's own switches, the theme, the hotkeys
// and their reassignment, the window's size and resetting everything.
'use strict';

Varnet.settings = (function () {
  const { $, confirmAction } = Varnet.page;
  const { model, inPanel, THEMES, DEFAULT_THEME } = Varnet.model;
  const { has, call } = Varnet.bridge;
  const THEME_POLL_MS = 2000;

  // ------------------------------------------------------------ theme

  /** @param {string} name */
  function applyTheme(name) {
    const theme = THEMES.includes(name) ? name : DEFAULT_THEME;
    model.theme = theme;
    document.documentElement.setAttribute('data-theme', theme);
    const select = /** @type {HTMLSelectElement | null} */ ($('theme-select'));
    if (select) select.value = theme;
  }

  async function readSharedTheme() {
    const name = await call('getSharedTheme');
    if (typeof name === 'string' && name !== '' && name !== model.theme) applyTheme(name);
  }

  /** @param {Event} event */
  async function onThemeChosen(event) {
    const name = /** @type {HTMLSelectElement} */ (event.target).value;
    applyTheme(name);
    model.themeChangedAt = Date.now();
    await call('setTheme', name);
    // A pop-out window reads the theme back from a file that the main window
    // rewrites a moment later, so only the main window reads it back at once.
    if (!inPanel()) await readSharedTheme();
  }

  /**
   * Takes up the theme another window chose; not while the user's own
   * choice here may still be on its way.
   * @param {unknown} name
   */
  function followTheme(name) {
    if (typeof name === 'string' && name !== '' && name !== model.theme &&
        Date.now() - model.themeChangedAt >= THEME_POLL_MS) applyTheme(name);
  }

  // Another window may have changed the theme; not read back while the
  // user's own choice may still be on its way.
  async function pollTheme() {
    const now = Date.now();
    if (now - model.lastThemePoll < THEME_POLL_MS || now - model.themeChangedAt < THEME_POLL_MS) return;
    model.lastThemePoll = now;
    await readSharedTheme();
  }

  // ------------------------------------------------------------ switches

  const THROUGH_COMPOSITOR_NOTICE = 'This desktop runs Wayland. Varnet sends its clicks and keys through the ' +
    'compositor, so they reach every window. Recording sees only the input that goes to X11 programs (those ' +
    "running on XWayland). Hotkeys are the compositor's own key bindings on sway and KDE shortcuts on KDE " +
    'Plasma (listed under Varnet in its settings; on mouse buttons and the numeric pad they work only in X11 ' +
    'programs); elsewhere, bind a desktop ' +
    "shortcut to varnet --command 'toggleSpammer|' (varnet --help lists the commands).";

  // Where the desktop asks the person before input may go through it (GNOME).
  const RECORDING_SEES_X11 = ' Recording sees only the input that goes to X11 programs.';
  const THROUGH_DESKTOP_NOTICE = 'This desktop runs Wayland. You allowed Varnet to send its clicks and keys ' +
    'through the desktop, so they reach every window.' + RECORDING_SEES_X11;
  const ASKING_NOTICE = 'This desktop runs Wayland. Varnet has asked the desktop to let it send its clicks and ' +
    'keys (answer its dialog, with remote interaction on); until then they reach only the windows of X11 ' +
    'programs (those running on XWayland).' + RECORDING_SEES_X11;
  const REFUSED_NOTICE = 'This desktop runs Wayland and did not let Varnet send input through it, so its clicks ' +
    'and keys reach only the windows of X11 programs (those running on XWayland); start Varnet again to be ' +
    'asked again.' + RECORDING_SEES_X11;
  const GNOME_SHORTCUTS = [
    ['record', 'toggleRecording|'], ['play', 'togglePlayback|'],
    ['auto-click', 'toggleSpammer|'], ['key spam', 'toggleKeySpam|'],
  ];
  const GNOME_HOTKEYS = ' On GNOME, a hotkey works in every window once it is a custom shortcut: in Settings \u2192 ' +
    'Keyboard \u2192 Custom Shortcuts, add one for each, with your key and the command ' +
    GNOME_SHORTCUTS.map(([what, message]) => `varnet --command '${message}' (${what})`).join(', ') + '.';
  const ASK_AGAIN_MS = 1000;
  let askAgainTimer = 0;

  /** @param {string} x11Text  the page's own text, for input that reaches X11 windows only */
  function waylandNoticeText(x11Text) {
    const app = model.app;
    let text = x11Text;
    if (app.inputThroughCompositor) text = app.gnomeDesktop ? THROUGH_DESKTOP_NOTICE : THROUGH_COMPOSITOR_NOTICE;
    else if (app.inputPermission === 'asking') text = ASKING_NOTICE;
    else if (app.inputPermission === 'refused') text = REFUSED_NOTICE;
    return app.gnomeDesktop ? text + GNOME_HOTKEYS : text;
  }

  function showWaylandNotice() {
    const notice = $('wayland-notice');
    notice.hidden = inPanel() || !model.app.waylandSession || model.app.waylandNoticeDismissed;
    const text = $('wayland-notice-text');
    if (!text.dataset.x11) text.dataset.x11 = text.textContent || '';
    text.textContent = waylandNoticeText(text.dataset.x11);
    // The desktop's answer comes whenever the person gives it.
    if (!inPanel() && model.app.inputPermission === 'asking' && !askAgainTimer) {
      askAgainTimer = window.setTimeout(() => { askAgainTimer = 0; readAppSettings(); }, ASK_AGAIN_MS);
    }
  }

  // Said once: an older program that reports no such flag never shows it.
  function showWelcomeNotice() {
    $('welcome-notice').hidden = inPanel() || model.app.welcomeDismissed !== false;
  }

  function dismissWelcomeNotice() {
    model.app.welcomeDismissed = true;
    showWelcomeNotice();
    call('setAppSetting', 'welcomeDismissed', '1');
  }

  function dismissWaylandNotice() {
    model.app.waylandNoticeDismissed = true;
    showWaylandNotice();
    call('setAppSetting', 'waylandNoticeDismissed', '1');
  }

  function fillAppSettings() {
    showWaylandNotice();
    showWelcomeNotice();
    // The badges follow the hotkeys switch at once, not at the next change of status.
    Varnet.status.showHotkeyBadges();
    const app = /** @type {Record<string, boolean>} */ (/** @type {unknown} */ (model.app));
    for (const input of /** @type {NodeListOf<HTMLInputElement>} */ (document.querySelectorAll('input[data-setting]'))) {
      input.checked = app[/** @type {string} */ (input.dataset.setting)];
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
      Varnet.model.mergeAppSettings(raw);
      showVersion(raw.version);
    }
    fillAppSettings();
  }

  /** @param {unknown} version */
  function showVersion(version) {
    const line = $('app-version');
    if (typeof version !== 'string' || version === '') return;
    line.textContent = 'Varnet ' + version;
    line.hidden = false;
  }

  /** @param {Event} event */
  async function onAppSetting(event) {
    const input = /** @type {HTMLInputElement} */ (event.target);
    if (!input.dataset.setting) return;
    // The program takes exactly "1" as true; the word true would read as off.
    await call('setAppSetting', input.dataset.setting, input.checked ? 1 : 0);
    await readAppSettings();
  }

  // ------------------------------------------------------------ hotkeys

  /** @param {Event} event */
  async function onReassign(event) {
    const button = /** @type {HTMLButtonElement | null} */ ((/** @type {Element} */ (event.target)).closest('button[data-slot]'));
    if (!button) return;
    const slot = /** @type {string} */ (button.dataset.slot);
    model.hotkeyNote = '';
    model.reassignAsked = null;
    Varnet.status.showReassigning(slot);
    // Shown ahead of the program: the next report must be applied even if it
    // reads as the last one did.
    model.statusText = '';
    const asked = { slot, before: Object.assign({}, model.status) };
    await call('reassignKey', slot);
    model.reassignAsked = asked;
    Varnet.app.pollSoon();
  }

  // The program stops waiting for the key at once and keeps the bindings.
  async function onCancelReassign() {
    model.reassignAsked = null;
    model.statusText = '';
    await call('cancelReassign');
    Varnet.app.pollSoon();
  }

  async function onResetEverything() {
    const ok = await confirmAction('Reset everything?',
      'All engines stop; settings, hotkeys, preferences, theme and window size go back to their defaults, and the current profile is emptied. Other profiles stay.',
      'Reset everything');
    if (!ok) return;
    await call('resetEverything');
    await readSharedTheme();
    await readAppSettings();
    await Varnet.profiles.rereadAfterProfileChange();
  }

  /**
   * The main window's own size: compact for a corner of the screen, or the
   * full height that shows a whole panel at once.
   * @param {Event} event
   */
  function onWindowSize(event) {
    const button = /** @type {HTMLButtonElement | null} */ ((/** @type {Element} */ (event.target)).closest('button[data-height]'));
    if (!button) return;
    call('resizeWindow', Math.max(Varnet.panels.PANEL_WINDOW_WIDTH, window.innerWidth), Number(button.dataset.height));
  }

  function wireSettings() {
    $('wayland-dismiss').addEventListener('click', dismissWaylandNotice);
    $('welcome-dismiss').addEventListener('click', dismissWelcomeNotice);
    $('window-size').addEventListener('click', onWindowSize);
    $('window-size').hidden = inPanel() || !has('resizeWindow');
    $('settings-panel').addEventListener('click', onReassign);
    $('ks-settarget').addEventListener('click', onReassign);
    for (const id of ['hk-cancel', 'ks-target-cancel']) $(id).addEventListener('click', onCancelReassign);
    // A page that goes away (a reload) no longer waits for the key.
    window.addEventListener('pagehide', () => { if (model.reassignAsked) call('cancelReassign'); });
    $('app-switches').addEventListener('change', onAppSetting);
    $('theme-select').addEventListener('change', onThemeChosen);
    $('hk-reset').addEventListener('click', async () => {
      await call('resetHotkeys');
      Varnet.app.pollSoon();
    });
    $('reset-all').addEventListener('click', onResetEverything);
    $('hk-reset').hidden = !has('resetHotkeys');
    $('danger-zone').hidden = !has('resetEverything');
    $('app-switches').hidden = inPanel();
  }

  return { applyTheme, readSharedTheme, followTheme, pollTheme, fillAppSettings, readAppSettings, wireSettings };
})();
