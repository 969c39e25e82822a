// @ts-check
// The page's start and its heartbeat: the status poll that keeps every view
// in step with the program. Runs last, once every module is in place.
'use strict';

Varnet.app = (function () {
  const { model, inPanel } = Varnet.model;
  const { has, call } = Varnet.bridge;
  const POLL_MS = 250;
  // While the window is hidden or minimised nobody looks at it, but the
  // pop-out panels' files still follow each poll.
  const HIDDEN_POLL_MS = 1000;
  // A call that hangs must not leave the window blank.
  const REVEAL_AT_LATEST_MS = 1500;

  async function poll() {
    clearTimeout(model.pollTimer);
    if (model.polling) return;
    model.polling = true;
    try {
      // A pop-out window may read the status file half written: such a read
      // gives no object and the last good status stays on screen.
      // Only a report asked for after the program took the pick or the
      // reassignment can end it.
      const pickAsked = model.pickAsked;
      const reassignAsked = model.reassignAsked;
      const versionBefore = model.statusVersion;
      const status = await nextStatus();
      const fresh = status && typeof status === 'object';
      if (fresh) {
        if (reassignAsked && status.reassigning === '') {
          Varnet.status.noteReassignment(reassignAsked, Varnet.model.normaliseStatus(status));
        }
        Varnet.status.applyStatus(status);
      }
      await Varnet.events.refreshEventsIfStale();
      // A pop-out reads a status file that the main window rewrites a poll
      // later: there, only a pick once seen pending can be seen to end.
      if (pickAsked && fresh && status.picking === true) model.pickSeen = true;
      const pickEnded = pickAsked && fresh && status.picking === false && (model.pickSeen || !inPanel());
      await Varnet.engines.checkPickedLocation(pickEnded);
      // The main window's held poll moves on when the settings change too.
      await Varnet.forms.followSettings(inPanel() || model.statusVersion !== versionBefore);
      if (!has('waitForStatus')) await Varnet.settings.pollTheme();
    } finally {
      model.polling = false;
      model.pollTimer = setTimeout(poll, pollPeriod());
    }
  }

  /**
   * The main window's program holds the answer until something changes (or
   * a few seconds pass), so an idle window costs almost nothing; the answer
   * carries the theme too. A pop-out window reads the status file.
   * @returns {Promise<any>}
   */
  async function nextStatus() {
    if (!has('waitForStatus')) return call('getTrackerStatus');
    const answer = await call('waitForStatus', model.statusVersion);
    if (!answer || typeof answer !== 'object') return undefined;
    model.statusVersion = answer.version;
    Varnet.settings.followTheme(answer.theme);
    return answer.status;
  }

  function pollPeriod() {
    return document.visibilityState === 'hidden' ? HIDDEN_POLL_MS : POLL_MS;
  }

  // The program applies start and stop requests on its control thread a
  // moment after the command, so the state is read back shortly after it.
  function pollSoon() {
    clearTimeout(model.pollTimer);
    model.pollTimer = setTimeout(poll, 40);
  }

  function reveal() {
    model.pageShown = true;
    document.body.style.visibility = 'visible';
  }

  async function start() {
    try {
      await Varnet.settings.readSharedTheme();
      await Varnet.settings.readAppSettings();
      await Varnet.forms.readSettings();
      await Varnet.profiles.readProfiles();
      if (has('getTrackerStatus')) {
        Varnet.status.applyStatus(await call('getTrackerStatus'));
        Varnet.engines.endOrphanedPick(model.status);
      }
      await Varnet.events.fetchEvents();
      await Varnet.notices.readNotices();
    } finally {
      reveal();
      if (inPanel()) {
        Varnet.panels.resizeHostWindow();
        Varnet.panels.followPanelSize();
      }
      model.pollTimer = setTimeout(poll, pollPeriod());
    }
  }

  // A window shown again catches up at once rather than at its slow pace.
  function followVisibility() {
    document.addEventListener('visibilitychange', () => {
      if (document.visibilityState !== 'hidden') pollSoon();
    });
  }

  // Runs once the whole page is parsed, so that a pop-out window's own
  // script at its end has said which panel this page shows.
  function init() {
    if (inPanel()) document.body.classList.add('in-panel');
    Varnet.panels.addHeaderButtons();
    Varnet.forms.fillForms();
    Varnet.settings.fillAppSettings();
    Varnet.profiles.renderProfiles();
    Varnet.events.showEventCount(0);
    Varnet.events.renderEvents(true);
    Varnet.forms.wireForms();
    Varnet.engines.wireRunButtons();
    Varnet.sequence.wireSequence();
    Varnet.runBar.wireRunBar();
    Varnet.events.wireEvents();
    Varnet.typer.wireTyper();
    Varnet.profiles.wireProfiles();
    Varnet.settings.wireSettings();
    followVisibility();
    // Fitted at once, and again when the program's answers have filled it.
    if (inPanel()) Varnet.panels.resizeHostWindow();
    setTimeout(reveal, REVEAL_AT_LATEST_MS);
    start();
  }

  // What the panel process's script and the tests call by name.
  const global = /** @type {any} */ (window);
  global.enterPanelMode = Varnet.panels.enterPanelMode;
  global.applyTheme = Varnet.settings.applyTheme;
  global.resizeHostWindow = Varnet.panels.resizeHostWindow;
  if (document.readyState === 'loading') document.addEventListener('DOMContentLoaded', init, { once: true });
  else init();

  return { pollSoon };
})();
