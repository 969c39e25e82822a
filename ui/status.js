// @ts-check
// The program's status as the page shows it: what runs, the hotkeys' names
// and badges, a reassignment waiting for its key, and the panels that came
// back from their windows.
'use strict';

Varnet.status = (function () {
  const { $, setText, setAttr, announce } = Varnet.page;
  const { model, inPanel } = Varnet.model;

  // Which key names each reassignment slot shows, and where.
  /** @type {Record<string, [string, keyof Status]>} */
  const SLOT_KEYCAPS = { rec: ['hk-rec', 'hkRec'], play: ['hk-play', 'hkPlay'], auto: ['hk-auto', 'hkAuto'],
    keyspamhotkey: ['hk-keyspam', 'hkKeySpam'], keyspamtarget: ['ks-target', 'keySpamTarget'] };
  /** @type {Record<string, string>} */
  const HOTKEY_LABELS = { rec: 'Record', play: 'Play', auto: 'Auto click', keyspamhotkey: 'Key spam' };
  const HOTKEY_NOTE = 'Press Reassign, then the new key or mouse button; hold Ctrl, Alt, Shift or Super with it ' +
    'for a combination such as Ctrl+F6. Esc cancels.';
  /** @type {[string, 'hkAuto' | 'hkKeySpam' | 'hkRec' | 'hkPlay'][]} */
  const HOTKEY_BADGES = [['clk-hotkey', 'hkAuto'], ['ks-hotkey', 'hkKeySpam'], ['rec-hotkey', 'hkRec'], ['play-hotkey', 'hkPlay']];

  /**
   * @param {string} name
   * @param {string} fallback
   */
  function keyName(name, fallback) {
    return name !== '' ? name : fallback;
  }

  /**
   * A button's hotkey badge; no badge while the program names no key.
   * @param {string} id
   * @param {string} name
   */
  function showHotkey(id, name) {
    const kbd = $(id);
    setText(kbd, name);
    kbd.hidden = name === '' || !model.app.hotkeysEnabled;
  }

  function showHotkeyBadges() {
    for (const [id, key] of HOTKEY_BADGES) showHotkey(id, model.status[key]);
  }

  /**
   * @param {HTMLElement} button
   * @param {boolean} on
   * @param {string} startText
   * @param {string} stopText
   */
  function setRunButton(button, on, startText, stopText) {
    button.dataset.on = String(on);
    setText(/** @type {Element} */ (button.querySelector('.run-label')), on ? stopText : startText);
    setAttr(button, 'aria-pressed', String(on));
  }

  /**
   * @param {HTMLElement} chip
   * @param {boolean} on
   */
  function setRunChip(chip, on) {
    chip.dataset.on = String(on);
    setText(chip, on ? 'Running' : 'Stopped');
  }

  /** @param {unknown} raw */
  function applyStatus(raw) {
    // A status like the last one touches no element: no layout, no repaint.
    const text = JSON.stringify(raw);
    if (text === model.statusText) return;
    model.statusText = text;
    const before = model.status;
    const st = Varnet.model.normaliseStatus(raw);
    model.status = st;
    const { ENGINES, showEngineRunning, showRate, showRecordingReach } = Varnet.engines;

    $('app-state').dataset.state = st.state;
    // The chips say what runs; "Idle" beside one of them would contradict it.
    $('app-state').hidden = st.state === 'Idle' && (st.autoClicking || st.keySpamming);
    setText($('app-state-text'), st.state);
    $('app-clicking').hidden = !st.autoClicking;
    $('app-spamming').hidden = !st.keySpamming;

    setRunChip($('clk-state'), st.autoClicking);
    showEngineRunning(ENGINES.clicker, st.autoClicking);
    showHotkey('clk-hotkey', st.hkAuto);
    showRate(ENGINES.clicker, st);

    setRunChip($('ks-state'), st.keySpamming);
    showEngineRunning(ENGINES.keySpam, st.keySpamming);
    showHotkey('ks-hotkey', st.hkKeySpam);
    showRate(ENGINES.keySpam, st);
    for (const engine of [ENGINES.clicker, ENGINES.keySpam]) {
      // The program's reason for refusing a start, however it was asked for.
      const reason = st[engine.refused];
      if (reason && reason !== before[engine.refused]) setText($(engine.hint), reason);
    }

    if (st.state !== before.state) showRecordingReach(st.state === 'Recording');
    $('rec-state').dataset.state = st.state;
    setText($('rec-state'), st.state);
    setRunButton($('rec-toggle'), st.state === 'Recording', 'Record', 'Stop');
    setRunButton($('play-toggle'), st.state === 'Playing', 'Play', 'Stop');
    showHotkey('rec-hotkey', st.hkRec);
    showHotkey('play-hotkey', st.hkPlay);

    showReassigning(st.reassigning);

    // Only the main window takes a dropped panel, so only it shows the cue.
    document.body.classList.toggle('panel-hover', st.panelHover && !inPanel());
    for (const id of st.restore) Varnet.panels.restorePanel(id);
    // A panel that came back may have changed the settings while it was out.
    if (st.restore.length && !inPanel()) Varnet.forms.readSettings();

    if (st.count !== before.count || model.fetchedCount < 0) Varnet.events.showEventCount(st.count);
    Varnet.profiles.updateProfileLock();
    Varnet.notices.showStatusWarning('save-error', st.saveError);
    Varnet.notices.showStatusWarning('hook-problem', st.hookProblem);
    Varnet.panels.showPipeProblem(st.pipeProblem);
    Varnet.runBar.showRunBar();
  }

  /**
   * Key names, with the one being reassigned shown as waiting for its key.
   * @param {string} slot
   */
  function showReassigning(slot) {
    for (const [name, [id, key]] of Object.entries(SLOT_KEYCAPS)) {
      const waiting = name === slot;
      const keycap = $(id);
      keycap.classList.toggle('waiting', waiting);
      setText(keycap, waiting ? 'Press a key' : keyName(/** @type {string} */ (model.status[key]), '—'));
    }
    for (const button of /** @type {NodeListOf<HTMLButtonElement>} */ (document.querySelectorAll('button[data-slot]'))) {
      const waiting = button.dataset.slot === slot;
      const row = button.closest('li');
      if (row) row.classList.toggle('waiting', waiting);
      setText(button, waiting ? 'Press a key…' : (button.id === 'ks-settarget' ? 'Press a key to set' : 'Reassign'));
      setAttr(button, 'aria-pressed', String(waiting));
    }
    const cancels = Varnet.bridge.has('cancelReassign');
    $('hk-cancel').hidden = !cancels || !(slot in HOTKEY_LABELS);
    $('ks-target-cancel').hidden = !cancels || slot !== 'keyspamtarget';
    // A hotkey takes the modifiers held with its key; the spammed key is a key alone.
    setText($('hk-note'), slot === ''
      ? model.hotkeyNote || HOTKEY_NOTE
      : slot in HOTKEY_LABELS ? 'Waiting for a key or mouse button, with any modifiers held… Esc cancels.'
        : 'Waiting for a key… Esc cancels.');
  }

  /**
   * A key fires one hotkey only: the program swaps two hotkeys when one takes
   * the other's key, and the note under the list says so. asked holds the
   * slot and the names the page knew when the reassignment began.
   * @param {ReassignAsked} asked
   * @param {Status} st
   */
  function noteReassignment(asked, st) {
    if (model.reassignAsked !== asked) return;
    model.reassignAsked = null;
    const { slot, before } = asked;
    if (!(slot in HOTKEY_LABELS)) return;
    const key = SLOT_KEYCAPS[slot][1];
    const label = HOTKEY_LABELS[slot];
    if (st[key] === before[key]) {
      model.hotkeyNote = label + ' keeps ' + keyName(/** @type {string} */ (st[key]), 'no key') + '.';
    } else {
      model.hotkeyNote = label + ' is now ' + st[key] + '.';
      for (const other of Object.keys(HOTKEY_LABELS)) {
        const otherKey = SLOT_KEYCAPS[other][1];
        if (other !== slot && st[otherKey] !== before[otherKey]) {
          model.hotkeyNote = st[key] + ' moved from ' + HOTKEY_LABELS[other] + ' to ' + label + '; ' +
            HOTKEY_LABELS[other] + ' now has ' + keyName(/** @type {string} */ (st[otherKey]), 'no key') + '.';
        }
      }
    }
    announce(model.hotkeyNote);
  }

  return { showHotkeyBadges, applyStatus, showReassigning, noteReassignment };
})();
