// @ts-check
// The settings fields, each described once: its key in the program's
// settings JSON (the order of the list is the order of that text), its type,
// range and default, the update call that sends it (the order of the list is
// that call's argument order too), whether it belongs to a profile, and the
// form control that shows it. The forms, the update calls and the browser
// tests' stand-in for the program all read this list.
'use strict';

/**
 * @typedef {'int' | 'real' | 'bool'} FieldType
 * @typedef {'updateSpammer' | 'updateKeySpam' | 'updateTracker'} UpdateCall
 *
 * The control is one of: a text field (`text`, the element id, with `name`
 * for its hints and `min`/`max`), a group of radio buttons (`radio`, the
 * group's name; `fallback` is the button shown for a value none of them
 * has), or a check box (`check`, the element id).
 * @typedef {object} FieldControl
 * @property {string} [text]
 * @property {string} [name]
 * @property {number} [min]
 * @property {number} [max]
 * @property {string} [radio]
 * @property {number} [fallback]
 * @property {string} [check]
 *
 * @typedef {object} SettingsField
 * @property {string} key
 * @property {FieldType} type
 * @property {number | boolean} value  the default
 * @property {UpdateCall | null} call  null: set by the program alone
 * @property {boolean} profile          kept with each profile
 * @property {FieldControl | null} control
 * @property {boolean} later            added after the first file format: the
 *   last arguments of its call, which a caller may leave out
 *
 * The form of one update call: the panel whose changes send it and the
 * hint under it.
 * @typedef {object} SettingsForm
 * @property {UpdateCall} call
 * @property {string} panel
 * @property {string} hint
 */

// One object holds the page's modules: each file adds its own member.
var Varnet = Varnet || {};

Varnet.schema = (function () {
  const MAX_INT = 2147483647;

  /**
   * @param {string} key
   * @param {FieldType} type
   * @param {number | boolean} value
   * @param {UpdateCall | null} call
   * @param {FieldControl | null} control
   * @returns {SettingsField}
   */
  function field(key, type, value, call, control) {
    return { key, type, value, call, profile: call !== 'updateTracker', control, later: false };
  }

  /**
   * A field added after the first file format.
   * @param {string} key
   * @param {UpdateCall} call
   * @param {number} value
   * @param {FieldControl} control
   * @returns {SettingsField}
   */
  function laterField(key, call, value, control) {
    return Object.assign(field(key, 'int', value, call, control), { later: true });
  }

  /** @type {readonly SettingsField[]} */
  const FIELDS = Object.freeze([
    field('sh', 'int', 0, 'updateSpammer', { text: 'clk-h', name: 'Hours', min: 0, max: 999 }),
    field('sm', 'int', 0, 'updateSpammer', { text: 'clk-m', name: 'Minutes', min: 0, max: 59999 }),
    field('ss', 'int', 0, 'updateSpammer', { text: 'clk-s', name: 'Seconds', min: 0, max: 599999 }),
    field('sms', 'int', 100, 'updateSpammer', { text: 'clk-ms', name: 'Milliseconds', min: 0, max: MAX_INT }),
    field('sbtn', 'int', 0, 'updateSpammer', { radio: 'clk-btn' }),
    field('stype', 'int', 0, 'updateSpammer', { radio: 'clk-type', fallback: 0 }),
    field('rptMode', 'int', 1, 'updateSpammer', { radio: 'clk-rpt', fallback: 1 }),
    field('rptTimes', 'int', 10, 'updateSpammer', { text: 'clk-times', name: 'Click count', min: 1, max: MAX_INT }),
    field('locMode', 'int', 0, 'updateSpammer', { radio: 'clk-loc', fallback: 0 }),
    field('fixedX', 'int', 0, null, null),
    field('fixedY', 'int', 0, null, null),
    field('tmv', 'bool', true, 'updateTracker', { check: 'opt-tmv' }),
    field('tclk', 'bool', true, 'updateTracker', { check: 'opt-tclk' }),
    field('tscr', 'bool', true, 'updateTracker', { check: 'opt-tscr' }),
    field('tkey', 'bool', true, 'updateTracker', { check: 'opt-tkey' }),
    field('trel', 'bool', false, 'updateTracker', { check: 'opt-trel' }),
    field('tspd', 'real', 1, 'updateTracker', { text: 'opt-tspd', name: 'Speed', min: 0.01, max: 100 }),
    field('tloop', 'bool', false, 'updateTracker', { check: 'opt-tloop' }),
    field('tloopMs', 'int', 500, 'updateTracker', { text: 'opt-tloopMs', name: 'Loop pause', min: 0, max: MAX_INT }),
    field('ksh', 'int', 0, 'updateKeySpam', { text: 'ks-h', name: 'Hours', min: 0, max: 999 }),
    field('ksm', 'int', 0, 'updateKeySpam', { text: 'ks-m', name: 'Minutes', min: 0, max: 59999 }),
    field('kss', 'int', 0, 'updateKeySpam', { text: 'ks-s', name: 'Seconds', min: 0, max: 599999 }),
    field('ksms', 'int', 100, 'updateKeySpam', { text: 'ks-ms', name: 'Milliseconds', min: 0, max: MAX_INT }),
    field('ksRptMode', 'int', 1, 'updateKeySpam', { radio: 'ks-rpt', fallback: 1 }),
    field('ksRptTimes', 'int', 10, 'updateKeySpam', { text: 'ks-times', name: 'Press count', min: 1, max: MAX_INT }),
    // The program keeps these in its extra settings lines.
    laterField('runH', 'updateSpammer', 0, { text: 'clk-run-h', name: 'Run hours', min: 0, max: 999 }),
    laterField('runM', 'updateSpammer', 0, { text: 'clk-run-m', name: 'Run minutes', min: 0, max: 59999 }),
    laterField('runS', 'updateSpammer', 0, { text: 'clk-run-s', name: 'Run seconds', min: 0, max: 599999 }),
    laterField('ksRunH', 'updateKeySpam', 0, { text: 'ks-run-h', name: 'Run hours', min: 0, max: 999 }),
    laterField('ksRunM', 'updateKeySpam', 0, { text: 'ks-run-m', name: 'Run minutes', min: 0, max: 59999 }),
    laterField('ksRunS', 'updateKeySpam', 0, { text: 'ks-run-s', name: 'Run seconds', min: 0, max: 599999 }),
    laterField('tloopTimes', 'updateTracker', 1, { text: 'opt-tloopTimes', name: 'Passes', min: 1, max: MAX_INT }),
    laterField('rndMs', 'updateSpammer', 0, { text: 'clk-rnd', name: 'Interval spread', min: 0, max: 3600000 }),
    laterField('holdMs', 'updateSpammer', 0, { text: 'clk-hold', name: 'Hold', min: 0, max: 10000 }),
    laterField('areaPx', 'updateSpammer', 0, { text: 'clk-area', name: 'Area', min: 0, max: 10000 }),
    laterField('ksRndMs', 'updateKeySpam', 0, { text: 'ks-rnd', name: 'Interval spread', min: 0, max: 3600000 }),
  ]);

  /** @type {readonly SettingsForm[]} */
  const FORMS = Object.freeze([
    { call: 'updateSpammer', panel: 'clicker-panel', hint: 'clk-hint' },
    { call: 'updateKeySpam', panel: 'keyspam-panel', hint: 'ks-hint' },
    { call: 'updateTracker', panel: 'recorder-panel', hint: 'rec-hint' },
  ]);

  /**
   * The fields an update call sends, in its argument order.
   * @param {UpdateCall} call
   * @returns {SettingsField[]}
   */
  function fieldsOf(call) {
    return FIELDS.filter((f) => f.call === call);
  }

  /**
   * Every field at its default, or only those that do or do not belong to a
   * profile.
   * @param {boolean} [profile]
   * @returns {Record<string, number | boolean>}
   */
  function defaults(profile) {
    /** @type {Record<string, number | boolean>} */
    const values = {};
    for (const f of FIELDS) if (profile === undefined || f.profile === profile) values[f.key] = f.value;
    return values;
  }

  return { MAX_INT, FIELDS, FORMS, fieldsOf, defaults };
})();
