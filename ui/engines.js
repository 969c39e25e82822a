// @ts-check
// The controls that set something running: the auto-clicker's and the key
// spammer's Start and Stop (with a delayed start counting down), Record and
// Play, and picking the clicker's fixed point on screen.
'use strict';

/**
 * @typedef {object} Engine
 * @property {'clicker' | 'keySpam'} name
 * @property {string} panel
 * @property {string} start
 * @property {string} stop
 * @property {string} hint
 * @property {string} delay
 * @property {string} startCall
 * @property {string} stopCall
 * @property {string} toggleCall
 * @property {'autoClicking' | 'keySpamming'} running
 * @property {'clickerRefused' | 'keySpamRefused'} refused
 * @property {string} rate  where the achieved rate is shown
 * @property {'clickRate' | 'keySpamRate'} achieved
 * @property {'clickAsked' | 'keySpamAsked'} asked  the rate the program says the interval asks for
 */

Varnet.engines = (function () {
  const { $, inputById, setText, setAttr, announce } = Varnet.page;
  const { model, asInt } = Varnet.model;
  const PICK_TIMEOUT_MS = 60000;
  const NOTHING_TO_PLAY = 'Nothing to play yet: record a macro first.';

  // Start and Stop are two controls, so that the engine's own click or key
  // landing where the user left the pointer or the focus (on Start) can never
  // stop it: Start does nothing while running, Stop only ever stops.
  /** @type {Readonly<Record<'clicker' | 'keySpam', Engine>>} */
  const ENGINES = Object.freeze({
    clicker: { name: 'clicker', panel: 'clicker-panel', start: 'clk-start', stop: 'clk-stop', hint: 'clk-hint',
      delay: 'clk-delay', startCall: 'startSpammer', stopCall: 'stopSpammer', toggleCall: 'toggleSpammer',
      running: 'autoClicking', refused: 'clickerRefused', rate: 'clk-rate', achieved: 'clickRate', asked: 'clickAsked' },
    keySpam: { name: 'keySpam', panel: 'keyspam-panel', start: 'ks-start', stop: 'ks-stop', hint: 'ks-hint',
      delay: 'ks-delay', startCall: 'startKeySpam', stopCall: 'stopKeySpam', toggleCall: 'toggleKeySpam',
      running: 'keySpamming', refused: 'keySpamRefused', rate: 'ks-rate', achieved: 'keySpamRate', asked: 'keySpamAsked' },
  });

  /**
   * A delayed start counts down on Start itself and can be stopped meanwhile.
   * @param {Engine} engine
   * @param {boolean} on
   */
  function showEngineRunning(engine, on) {
    const busy = on || model.countdowns[engine.name] !== null;
    /** @type {HTMLButtonElement} */ ($(engine.start)).disabled = busy;
    const stop = /** @type {HTMLButtonElement} */ ($(engine.stop));
    stop.disabled = !busy;
    stop.dataset.on = String(busy);
    Varnet.runBar.showRunBar();
  }

  /** @param {number} perSecond */
  function rateText(perSecond) {
    const digits = perSecond >= 100 ? 0 : perSecond >= 1 ? 1 : 2;
    return String(Number(perSecond.toFixed(digits))) + '/s';
  }

  // An achieved rate this far under the target means the machine cannot keep up.
  const BEHIND_SHARE = 0.9;

  /**
   * While the engine runs: the rate its interval asks for beside the rate it
   * achieves (actions per second over the last second), both as the program
   * reports them, marked when it falls behind.
   * @param {Engine} engine
   * @param {Status} st
   */
  function showRate(engine, st) {
    const line = $(engine.rate);
    const on = st[engine.running];
    line.hidden = !on;
    if (!on) return;
    const target = st[engine.asked];
    const achieved = st[engine.achieved];
    const asked = target > 0 ? rateText(target) + ' asked · ' : '';
    setText(line, asked + (achieved > 0 ? rateText(achieved) + ' achieved' : 'measuring…'));
    setAttr(line, 'data-behind', String(target > 0 && achieved > 0 && achieved < target * BEHIND_SHARE));
  }

  /** @param {Engine} engine */
  function showCountdown(engine) {
    const c = model.countdowns[engine.name];
    const left = c ? Math.ceil((c.due - Date.now()) / 1000) : 0;
    setText(/** @type {Element} */ ($(engine.start).querySelector('.run-label')), left > 0 ? 'In ' + left + ' s' : 'Start');
    Varnet.runBar.showRunBar();
    if (c && left <= 0) endCountdown(engine, true);
  }

  /**
   * @param {Engine} engine
   * @param {number} delayMs
   */
  function beginCountdown(engine, delayMs) {
    model.countdowns[engine.name] = { due: Date.now() + delayMs, timer: setInterval(() => showCountdown(engine), 250) };
    showCountdown(engine);
  }

  /**
   * started: the wait ran out, so the program is starting the engine now.
   * @param {Engine} engine
   * @param {boolean} started
   */
  function endCountdown(engine, started) {
    const c = model.countdowns[engine.name];
    if (!c) return;
    clearInterval(c.timer);
    model.countdowns[engine.name] = null;
    if (started) model.status[engine.running] = true;
    showCountdown(engine);
    showEngineRunning(engine, model.status[engine.running]);
    Varnet.app.pollSoon();
  }

  /**
   * Without its own call (an older program) the toggle serves, asked only
   * while the engine is known to be in the other state, and at once.
   * @param {Engine} engine
   * @param {boolean} on
   * @param {boolean} knownOn
   * @param {number} [delayMs]
   */
  async function switchEngine(engine, on, knownOn, delayMs) {
    const { has, call } = Varnet.bridge;
    const name = on ? engine.startCall : engine.stopCall;
    if (has(name)) await (on ? call(name, /** @type {number} */ (delayMs)) : call(name));
    else if (knownOn !== on) await call(engine.toggleCall);
  }

  /**
   * Refused while a field of the panel is invalid: the engine would run with
   * the last valid values, not the ones on screen.
   * @param {Engine} engine
   */
  async function onStart(engine) {
    // A point typed wrong would leave the clicker at the last one taken.
    const badPoint = /** @type {HTMLElement | null} */ ($(engine.panel).querySelector('.point-field[aria-invalid="true"]'));
    if (badPoint) {
      $(engine.hint).textContent = 'Not started: ' + $(engine.hint).textContent.replace(/^Not started: /, '');
      badPoint.focus();
      return;
    }
    if (!Varnet.forms.formIsValid(Varnet.forms.formOf(engine.panel))) {
      const hint = $(engine.hint);
      hint.textContent = 'Not started: ' + hint.textContent;
      const bad = /** @type {HTMLElement | null} */ ($(engine.panel).querySelector('[aria-invalid="true"]'));
      if (bad) bad.focus();
      return;
    }
    // The program would end such a run at once, with nothing to say why.
    if (engine.name === 'clicker' && Varnet.model.setting('locMode') === 2 && model.clickSteps.length === 0) {
      $(engine.hint).textContent = 'Not started: the sequence has no steps yet.';
      return;
    }
    // Nothing the engine types or clicks may press a control of this page.
    const focused = /** @type {HTMLElement | null} */ (document.activeElement);
    if (focused && focused.blur) focused.blur();
    const knownOn = model.status[engine.running];
    const delayMs = Varnet.bridge.has(engine.startCall) ? Number(inputById(engine.delay).value) || 0 : 0;
    if (delayMs > 0) {
      beginCountdown(engine, delayMs);
      showEngineRunning(engine, true);
    }
    await switchEngine(engine, true, knownOn, delayMs);
    // Whether it runs is the program's to say: its next report is shown
    // even when it reads as the last one did (a start it refused).
    model.statusText = '';
    Varnet.app.pollSoon();
  }

  /** @param {Engine} engine */
  async function onStop(engine) {
    endCountdown(engine, false);
    await switchEngine(engine, false, model.status[engine.running]);
    Varnet.app.pollSoon();
  }

  // Recording watches the X server, which on Wayland sees only the input
  // that goes to X11 programs: said while a recording runs there, however
  // it was started (the button, its hotkey, a panel, the command line).
  const RECORDS_X11_ONLY = 'On Wayland, recording sees only the input that goes to X11 programs ' +
    '(those running on XWayland); input to other windows is not recorded.';

  /** @param {boolean} recording */
  function showRecordingReach(recording) {
    const hint = $('rec-hint');
    if (recording && model.app.waylandSession) hint.textContent = RECORDS_X11_ONLY;
    else if (hint.textContent === RECORDS_X11_ONLY) hint.textContent = '';
  }

  async function onRecord() {
    await Varnet.bridge.call('toggleRecording');
    Varnet.app.pollSoon();
  }

  async function onPlay() {
    const hint = $('rec-hint');
    if (model.status.state === 'Idle' && model.status.count === 0) {
      hint.textContent = NOTHING_TO_PLAY;
      return;
    }
    // The hint is shared with the recorder's fields: only its own words go.
    if (hint.textContent === NOTHING_TO_PLAY) hint.textContent = '';
    await Varnet.bridge.call('togglePlayback');
    Varnet.app.pollSoon();
  }

  // ------------------------------------------------------------ location

  /**
   * forStep: the pick adds a step to the click sequence rather than moving
   * the fixed point.
   * @param {boolean} [forStep]
   */
  async function startPick(forStep = false) {
    if (!Varnet.bridge.has(forStep ? 'editClickSteps' : 'pickLocation')) return;
    model.pickStartedAt = Date.now();
    model.pickAsked = false;
    model.pickSeen = false;
    model.pickForStep = forStep;
    model.pickFrom = { x: Varnet.model.setting('fixedX'), y: Varnet.model.setting('fixedY'), mode: Varnet.model.setting('locMode'),
      steps: JSON.stringify(model.clickSteps) };
    if (!forStep) $('clk-pick-text').textContent = 'Click anywhere…';
    $(forStep ? 'clk-seq-pick' : 'clk-pick').setAttribute('aria-pressed', 'true');
    $('clk-pick-note').hidden = false;
    $('clk-pick-cancel').hidden = !Varnet.bridge.has('cancelPick');
    if (forStep) await Varnet.bridge.call('editClickSteps', 'pick');
    else await Varnet.bridge.call('pickLocation');
    model.pickAsked = true;
  }

  function endPick() {
    model.pickStartedAt = 0;
    model.pickAsked = false;
    model.pickForStep = false;
    $('clk-pick-text').textContent = 'Pick on screen';
    setAttr($('clk-pick'), 'aria-pressed', 'false');
    setAttr($('clk-seq-pick'), 'aria-pressed', 'false');
    $('clk-pick-note').hidden = true;
    $('clk-pick-cancel').hidden = true;
  }

  /**
   * The page stops waiting (Cancel, its time limit, a reload): so does the
   * program, which then lets the next click through to its window.
   * @param {string} [why]
   */
  function giveUpPick(why) {
    if (!model.pickStartedAt) return;
    endPick();
    Varnet.bridge.call('cancelPick');
    if (why) announce(why);
  }

  /**
   * A page that starts waits for no pick: one still pending in the program
   * was left by a page that went away (reloaded, or a pop-out closed).
   * @param {Status} st
   */
  function endOrphanedPick(st) {
    const showsClicker = !Varnet.model.inPanel() || model.panelId === 'clicker-panel';
    if (st.picking && showsClicker) Varnet.bridge.call('cancelPick');
  }

  /**
   * A pick for the sequence has ended once the program's list differs from
   * the one before it.
   * @param {unknown} rawSteps
   */
  function stepPicked(rawSteps) {
    const steps = Varnet.sequence.stepsOf(rawSteps);
    if (JSON.stringify(steps) === model.pickFrom.steps) return false;
    model.clickSteps = steps;
    Varnet.sequence.showSteps();
    endPick();
    const last = steps[steps.length - 1];
    if (last) announce('Step ' + steps.length + ' added at X ' + last.x + ', Y ' + last.y + '.');
    return true;
  }

  /**
   * The status report says whether a pick is pending but not the point, so
   * while one is the point is read from the settings on each poll; ended
   * tells that the program has ended the pick (taken a point, maybe the same
   * one, or cancelled).
   * @param {boolean} ended
   */
  async function checkPickedLocation(ended) {
    if (!model.pickStartedAt || !Varnet.bridge.has('getSettings')) return;
    const raw = await Varnet.bridge.call('getSettings');
    if (raw && typeof raw === 'object' && model.pickForStep) {
      if (stepPicked(raw.clickSteps)) return;
    } else if (raw && typeof raw === 'object') {
      const s = model.settings;
      const from = model.pickFrom;
      const x = asInt(raw.fixedX, Varnet.model.setting('fixedX'));
      const y = asInt(raw.fixedY, Varnet.model.setting('fixedY'));
      const mode = asInt(raw.locMode, Varnet.model.setting('locMode'));
      if (x !== from.x || y !== from.y || mode !== from.mode) {
        s.fixedX = x; s.fixedY = y; s.locMode = mode;
        Varnet.page.setRadio('clk-loc', [0, 1, 2].includes(mode) ? mode : 0);
        Varnet.forms.showPoint();
        endPick();
        announce('Fixed point set to X ' + x + ', Y ' + y + '.');
        return;
      }
    }
    if (ended) {
      const forStep = model.pickForStep;
      endPick();
      announce(forStep ? 'No step added.' : 'Fixed point unchanged.');
    } else if (Date.now() - model.pickStartedAt > PICK_TIMEOUT_MS) {
      giveUpPick('Pick given up after 60 s; the fixed point is unchanged.');
    }
  }

  // While the key spammer or playback runs, the keys the program sends may
  // land in this very window: they scroll, type or press nothing here. The
  // mouse still reaches Stop, and holding Esc stops everything.
  /** @param {KeyboardEvent} event */
  function dropKeyWhileTyping(event) {
    if (!model.status.keySpamming && model.status.state !== 'Playing') return;
    event.preventDefault();
    event.stopImmediatePropagation();
  }

  function wireRunButtons() {
    const { has } = Varnet.bridge;
    for (const type of ['keydown', 'keypress', 'keyup']) {
      window.addEventListener(type, (event) => dropKeyWhileTyping(/** @type {KeyboardEvent} */ (event)), true);
    }
    for (const engine of Object.values(ENGINES)) {
      $(engine.start).addEventListener('click', () => onStart(engine));
      $(engine.stop).addEventListener('click', () => onStop(engine));
      /** @type {HTMLElement} */ ($(engine.delay).closest('label')).hidden = !has(engine.startCall);
    }
    $('rec-toggle').addEventListener('click', onRecord);
    $('play-toggle').addEventListener('click', onPlay);
    $('clk-pick').addEventListener('click', () => startPick(false));
    $('clk-pick').hidden = !has('pickLocation');
    $('clk-pick-cancel').addEventListener('click', () => giveUpPick('Pick cancelled; the fixed point is unchanged.'));
    window.addEventListener('pagehide', () => giveUpPick());
    for (const id of ['clk-x', 'clk-y']) $(id).addEventListener('change', onPointTyped);
    /** @type {HTMLElement} */ ($('clk-x').closest('.point-fields')).hidden = !has('setFixedPoint');
  }

  // A typed point is checked here for whole numbers and by the program
  // against the screens; once taken, the clicker clicks there.
  const COORDINATE_LIMIT = 1000000;

  async function onPointTyped() {
    const inputs = [inputById('clk-x'), inputById('clk-y')];
    Varnet.page.clearInvalid(inputs, 'clk-hint');
    const [x, y] = inputs.map((input, i) => {
      const read = Varnet.page.readWhole(input, -COORDINATE_LIMIT, COORDINATE_LIMIT, i === 0 ? 'X' : 'Y');
      if ('error' in read) Varnet.page.setInvalid(input, 'clk-hint', read.error);
      return 'value' in read ? read.value : null;
    });
    if (x === null || y === null) return;
    const refusal = await Varnet.bridge.call('setFixedPoint', x, y);
    if (typeof refusal === 'string' && refusal !== '') {
      for (const input of inputs) input.setAttribute('aria-invalid', 'true');
      $('clk-hint').textContent = refusal;
      return;
    }
    Object.assign(model.settings, { fixedX: x, fixedY: y, locMode: 1 });
    Varnet.page.setRadio('clk-loc', 1);
    announce('Fixed point set to X ' + x + ', Y ' + y + '.');
  }

  return { ENGINES, showEngineRunning, showRate, showRecordingReach, checkPickedLocation, startPick, endOrphanedPick, wireRunButtons };
})();
