// @ts-check
// The calls the program binds into the page: global functions that return
// promises. The page never assumes one exists: a pop-out panel window binds
// only twenty-nine of them, and the page opened straight from disk binds
// none. A call that fails is shown to the user until it next succeeds.
'use strict';

Varnet.bridge = (function () {
  const failuresInARow = Varnet.model.model.callFailures;
  // A pop-out window reads its status, list and settings from files that the
  // main process may be rewriting at that moment: one such read failing is
  // expected, and only a run of them is worth telling the user about.
  const POLLED_READS = ['getTrackerStatus', 'getMacroEvents', 'getSettings'];
  const FAILURES_BEFORE_SHOWN = 3;

  /**
   * @param {string} name
   * @returns {boolean}
   */
  function has(name) {
    return typeof (/** @type {any} */ (window))[name] === 'function';
  }

  /** @param {unknown} err */
  function reasonOf(err) {
    if (err instanceof Error) return err.message;
    return typeof err === 'string' ? err : JSON.stringify(err);
  }

  /**
   * @param {string} name
   * @param {unknown} err
   */
  function noteFailure(name, err) {
    failuresInARow[name] = (failuresInARow[name] || 0) + 1;
    if (POLLED_READS.includes(name) && failuresInARow[name] < FAILURES_BEFORE_SHOWN) return;
    Varnet.notices.showCallFailure(name, reasonOf(err));
  }

  /** @param {string} name */
  function noteSuccess(name) {
    if (!failuresInARow[name]) return;
    failuresInARow[name] = 0;
    Varnet.notices.clearCallFailure(name);
  }

  /**
   * Every call goes through here: a missing call or a failed promise gives
   * undefined, so a page event never ends in an unhandled rejection, and a
   * failure is shown rather than lost.
   * @param {string} name
   * @param {...(string | number | boolean)} args
   * @returns {Promise<any>}
   */
  async function call(name, ...args) {
    if (!has(name)) return undefined;
    try {
      const result = await (/** @type {any} */ (window))[name](...args);
      noteSuccess(name);
      return result;
    } catch (err) {
      noteFailure(name, err);
      return undefined;
    }
  }

  /**
   * Sends the settings of one form; the program takes them as arguments in
   * the order of the schema.
   * @param {UpdateCall} name
   * @param {Record<string, number | boolean>} settings
   */
  function sendSettings(name, settings) {
    return call(name, ...Varnet.schema.fieldsOf(name).map((f) => settings[f.key]));
  }

  return { has, call, sendSettings };
})();
