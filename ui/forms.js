// @ts-check
// The settings forms of the clicker, key spam and recorder panels, drawn and
// read through the schema: a change in a panel sends its update call.
'use strict';

Varnet.forms = (function () {
  const { $, inputById, clearInvalid, setInvalid, readWhole, readDecimal, radioValue, setRadio } = Varnet.page;
  const { model } = Varnet.model;
  const { FIELDS, FORMS, fieldsOf } = Varnet.schema;

  /** @param {SettingsField[]} fields */
  function textInputs(fields) {
    return fields.flatMap((f) => (f.control && f.control.text ? [inputById(f.control.text)] : []));
  }

  function fillForms() {
    const s = model.settings;
    for (const f of FIELDS) {
      const c = f.control;
      if (!c) continue;
      if (c.text) inputById(c.text).value = String(s[f.key]);
      else if (c.check) inputById(c.check).checked = Boolean(s[f.key]);
      else if (c.radio && !setRadio(c.radio, Number(s[f.key])) && c.fallback !== undefined) setRadio(c.radio, c.fallback);
    }
    showPoint();
    Varnet.sequence.showSteps();
    for (const form of FORMS) clearInvalid(textInputs(fieldsOf(form.call)), form.hint);
    syncRepeatFields();
  }

  // The point fields show the program's point, unless one is being typed in.
  function showPoint() {
    for (const [id, key] of [['clk-x', 'fixedX'], ['clk-y', 'fixedY']]) {
      const input = inputById(id);
      if (document.activeElement === input) continue;
      input.value = String(model.settings[key]);
      input.removeAttribute('aria-invalid');
    }
  }

  // A count, a length or a pause only counts with its choice, so it is off
  // without it.
  function syncRepeatFields() {
    inputById('clk-times').disabled = radioValue('clk-rpt') !== 0;
    inputById('ks-times').disabled = radioValue('ks-rpt') !== 0;
    for (const unit of ['h', 'm', 's']) {
      inputById('clk-run-' + unit).disabled = radioValue('clk-rpt') !== 2;
      inputById('ks-run-' + unit).disabled = radioValue('ks-rpt') !== 2;
    }
    inputById('opt-tloopMs').disabled = !inputById('opt-tloop').checked;
    inputById('opt-tloopTimes').disabled = inputById('opt-tloop').checked;
  }

  /**
   * Reads every field of a form; on the first bad text field marks it, shows
   * the hint and returns null so that nothing is sent.
   * @param {SettingsForm} form
   * @returns {Record<string, number | boolean> | null}
   */
  function readForm(form) {
    const fields = fieldsOf(form.call);
    /** @type {Record<string, number | boolean>} */
    const values = {};
    clearInvalid(textInputs(fields), form.hint);
    for (const f of fields) {
      const c = /** @type {FieldControl} */ (f.control);
      if (c.radio) values[f.key] = radioValue(c.radio);
      else if (c.check) values[f.key] = inputById(c.check).checked;
      else if (c.text) {
        const input = inputById(c.text);
        const read = f.type === 'real' ? readDecimal : readWhole;
        const result = read(input, /** @type {number} */ (c.min), /** @type {number} */ (c.max), /** @type {string} */ (c.name));
        if ('error' in result) {
          setInvalid(input, form.hint, result.error);
          return null;
        }
        values[f.key] = result.value;
      }
    }
    return values;
  }

  /**
   * The form whose fields a panel holds.
   * @param {string} panelId
   */
  function formOf(panelId) {
    return /** @type {SettingsForm} */ (FORMS.find((f) => f.panel === panelId));
  }

  /**
   * Whether the text fields of a form all hold values that can be sent;
   * marks the first bad one otherwise.
   * @param {SettingsForm} form
   */
  function formIsValid(form) {
    return readForm(form) !== null;
  }

  /** @param {SettingsForm} form */
  async function sendForm(form) {
    syncRepeatFields();
    const values = readForm(form);
    if (!values) return;
    Object.assign(model.settings, values);
    await Varnet.bridge.sendSettings(form.call, model.settings);
  }

  async function readSettings() {
    if (!Varnet.bridge.has('getSettings')) return;
    const raw = await Varnet.bridge.call('getSettings');
    model.settingsSeen = JSON.stringify(raw);
    Varnet.model.mergeSettings(raw);
    if (raw && typeof raw === 'object') model.clickSteps = Varnet.sequence.stepsOf(raw.clickSteps);
    fillForms();
    Varnet.typer.fill(raw);
  }

  // Every window follows what the user changes elsewhere (another window, a
  // pop-out, the command pipe, a hotkey). A field being edited here keeps its
  // text: the values are taken up at the next poll after it loses the focus.
  // A pop-out reads the settings file at each poll; the main window reads
  // the settings when its poll says that something changed.
  /** @param {boolean} mayHaveChanged */
  async function followSettings(mayHaveChanged) {
    if (!(mayHaveChanged || model.settingsHeldBack) || !Varnet.bridge.has('getSettings')) return;
    const raw = await Varnet.bridge.call('getSettings');
    const seen = JSON.stringify(raw);
    model.settingsHeldBack = false;
    if (!raw || typeof raw !== 'object' || seen === model.settingsSeen) return;
    if (document.activeElement && document.activeElement.matches('.panel input')) {
      model.settingsHeldBack = true;
      return;
    }
    model.settingsSeen = seen;
    Varnet.model.mergeSettings(raw);
    model.clickSteps = Varnet.sequence.stepsOf(raw.clickSteps);
    fillForms();
    Varnet.typer.fill(raw);
  }

  /**
   * Arrow keys step a number field and commit it, like a spin box.
   * @param {KeyboardEvent} event
   */
  function onNumberKey(event) {
    const input = /** @type {HTMLInputElement} */ (event.target);
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

  function wireForms() {
    for (const form of FORMS) {
      const panel = $(form.panel);
      panel.addEventListener('change', (event) => {
        const target = /** @type {Element} */ (event.target);
        // The event table's time fields, the fixed point and the sequence's
        // fields commit on their own.
        if (target.matches('input') && !target.matches('.ev-time, .point-field') && !target.closest('#clk-seq')) sendForm(form);
      });
      for (const input of panel.querySelectorAll('input[inputmode]')) {
        input.addEventListener('keydown', (event) => onNumberKey(/** @type {KeyboardEvent} */ (event)));
      }
    }
  }

  return { fillForms, showPoint, formOf, formIsValid, readSettings, followSettings, wireForms };
})();
