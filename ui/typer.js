// @ts-check
// The key spammer's text typer (Key or Text, the text, Enter after it, the
// delay between characters) and the event list's inserts (a pause or a
// typed text before a row). The typer's values come with the settings only
// while it is in use; without them it shows its defaults.
'use strict';

Varnet.typer = (function () {
  const { $, inputById, setInvalid, clearInvalid, readWhole, readDecimal, radioValue, setRadio } = Varnet.page;
  const { has, call } = Varnet.bridge;
  const MAX_CHARACTERS = 10000;
  const MAX_DELAY_MS = 1000;

  /** @param {HTMLTextAreaElement} area */
  function characterCount(area) {
    return Array.from(area.value).length;
  }

  function showMode() {
    const text = radioValue('ks-mode') === 1;
    $('ks-key-field').hidden = text;
    $('ks-text-field').hidden = !text;
  }

  /**
   * Takes the typer's values from a settings answer; a field being edited
   * keeps what the user is typing.
   * @param {unknown} raw
   */
  function fill(raw) {
    const r = /** @type {Record<string, unknown>} */ (raw && typeof raw === 'object' ? raw : {});
    setRadio('ks-mode', r.ksMode === 1 ? 1 : 0);
    const area = /** @type {HTMLTextAreaElement} */ ($('ks-text'));
    if (document.activeElement !== area) area.value = typeof r.ksText === 'string' ? r.ksText : '';
    inputById('ks-enter').checked = r.ksEnter === true;
    const delay = inputById('ks-chardelay');
    if (document.activeElement !== delay) delay.value = String(Number.isInteger(r.ksCharMs) ? r.ksCharMs : 0);
    showMode();
  }

  async function send() {
    showMode();
    const area = /** @type {HTMLTextAreaElement} */ ($('ks-text'));
    const delayInput = inputById('ks-chardelay');
    clearInvalid([delayInput], 'ks-hint');
    const delay = readWhole(delayInput, 0, MAX_DELAY_MS, 'Delay between characters');
    if ('error' in delay) return setInvalid(delayInput, 'ks-hint', delay.error);
    if (characterCount(area) > MAX_CHARACTERS) {
      $('ks-hint').textContent = 'The text holds more than ' + MAX_CHARACTERS + ' characters.';
      return;
    }
    // A pop-out window refuses a text too long for its pipe, and says so.
    const refusal = await call('setKeyTyper', radioValue('ks-mode'), inputById('ks-enter').checked, delay.value, area.value);
    if (typeof refusal === 'string') $('ks-hint').textContent = refusal;
  }

  function selectedRow() {
    const input = inputById('ev-insert-at');
    const count = Number($('ev-count').textContent) || 0;
    return readWhole(input, 0, count, 'Row');
  }

  /** @param {'pause' | 'text'} what */
  async function insert(what) {
    const at = selectedRow();
    const hint = 'ev-hint';
    if ('error' in at) return setInvalid(inputById('ev-insert-at'), hint, at.error);
    if (what === 'pause') {
      const seconds = readDecimal(inputById('ev-insert-pause'), 0.001, 86400, 'Pause');
      if ('error' in seconds) return setInvalid(inputById('ev-insert-pause'), hint, seconds.error);
      await call('insertPause', at.value, seconds.value);
    } else {
      const text = inputById('ev-insert-text').value;
      if (text === '') return setInvalid(inputById('ev-insert-text'), hint, 'Type the text to insert.');
      await call('insertText', at.value, text);
    }
    await Varnet.events.fetchEvents();
  }

  function wireTyper() {
    const box = $('ks-typer');
    // The typer's controls send their own call, not the key spammer's form.
    box.addEventListener('change', (event) => {
      event.stopPropagation();
      send();
    });
    // A pop-out window cannot insert into the list: it shows what the main window holds.
    $('ev-insert').hidden = !has('insertPause');
    for (const radio of document.querySelectorAll('input[name="ks-mode"], #ks-text-field input, #ks-text')) {
      /** @type {HTMLInputElement} */ (radio).disabled = !has('setKeyTyper');
    }
    $('ev-insert-pause-go').addEventListener('click', () => insert('pause'));
    $('ev-insert-text-go').addEventListener('click', () => insert('text'));
    showMode();
  }

  return { fill, wireTyper };
})();
