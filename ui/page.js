// @ts-check
// What every view of the page shares: finding and writing elements, reading
// and marking form fields, the announcer, the confirmation dialog and the
// notices above the panels.
'use strict';

Varnet.page = (function () {
  /**
   * @param {string} id
   * @returns {HTMLElement}
   */
  function $(id) {
    return /** @type {HTMLElement} */ (document.getElementById(id));
  }

  /**
   * @param {string} id
   * @returns {HTMLInputElement}
   */
  function inputById(id) {
    return /** @type {HTMLInputElement} */ (document.getElementById(id));
  }

  /**
   * Writes only what changed: the status arrives four times a second, and a
   * rewrite of the same words would be announced again by a screen reader.
   * @param {Element} el
   * @param {string} text
   */
  function setText(el, text) {
    if (el.textContent !== text) el.textContent = text;
  }

  /**
   * @param {Element} el
   * @param {string} name
   * @param {string} value
   */
  function setAttr(el, name, value) {
    if (el.getAttribute(name) !== value) el.setAttribute(name, value);
  }

  /** @param {string} text */
  function announce(text) {
    const el = $('announcer');
    el.textContent = '';
    el.textContent = text;
  }

  // ------------------------------------------------------------ fields

  /**
   * @param {HTMLInputElement} input
   * @param {string} hintId
   * @param {string} message
   */
  function setInvalid(input, hintId, message) {
    input.setAttribute('aria-invalid', 'true');
    const hint = $(hintId);
    if (hint) hint.textContent = message;
  }

  /**
   * @param {HTMLInputElement[]} inputs
   * @param {string} hintId
   */
  function clearInvalid(inputs, hintId) {
    for (const input of inputs) input.removeAttribute('aria-invalid');
    const hint = $(hintId);
    if (hint) hint.textContent = '';
  }

  /**
   * A whole number with its thousands apart: 1,000,000. Not by
   * toLocaleString, whose first use loads the engine's locale data (about
   * 10 ms of the page's first paint).
   * @param {number} n
   */
  function grouped(n) {
    return String(n).replace(/\B(?=(\d{3})+(?!\d))/g, ',');
  }

  /**
   * @param {number} min
   * @param {number} max
   */
  function rangeText(min, max) {
    return ' from ' + grouped(min) + ' to ' + grouped(max);
  }

  /**
   * Whole numbers only: "12px", "1e3", " " and "" are refused rather than
   * sent for the program to read half of.
   * @param {HTMLInputElement} input
   * @param {number} min
   * @param {number} max
   * @param {string} name
   * @returns {{ value: number } | { error: string }}
   */
  function readWhole(input, min, max, name) {
    const text = input.value.trim();
    if (!/^-?\d+$/.test(text)) return { error: name + ' needs a whole number' + rangeText(min, max) + '.' };
    const value = Number(text);
    if (value < min || value > max) return { error: name + ' must be' + rangeText(min, max) + '.' };
    return { value };
  }

  /**
   * @param {HTMLInputElement} input
   * @param {number} min
   * @param {number} max
   * @param {string} name
   * @returns {{ value: number } | { error: string }}
   */
  function readDecimal(input, min, max, name) {
    const text = input.value.trim();
    if (!/^(\d+\.?\d*|\.\d+)$/.test(text)) return { error: name + ' needs a number' + rangeText(min, max) + ', like 1.5.' };
    const value = Number(text);
    if (!Number.isFinite(value) || value < min || value > max) return { error: name + ' must be' + rangeText(min, max) + '.' };
    return { value };
  }

  /**
   * The value of the checked button of a radio group; 0 when none is.
   * @param {string} name
   */
  function radioValue(name) {
    const checked = /** @type {HTMLInputElement | null} */ (document.querySelector('input[name="' + name + '"]:checked'));
    return checked ? Number(checked.value) : 0;
  }

  /**
   * Checks the button of that value; false when the group has none.
   * @param {string} name
   * @param {number} value
   */
  function setRadio(name, value) {
    const radios = /** @type {NodeListOf<HTMLInputElement>} */ (document.querySelectorAll('input[name="' + name + '"]'));
    let matched = false;
    for (const r of radios) {
      r.checked = Number(r.value) === value;
      matched = matched || r.checked;
    }
    return matched;
  }

  // ------------------------------------------------------------ dialog

  /**
   * @param {string} title
   * @param {string} text
   * @param {string} okText
   * @returns {Promise<boolean>}
   */
  function confirmAction(title, text, okText) {
    const dialog = /** @type {HTMLDialogElement} */ ($('confirm-dialog'));
    $('confirm-title').textContent = title;
    $('confirm-text').textContent = text;
    $('confirm-ok').textContent = okText;
    if (typeof dialog.showModal !== 'function') return Promise.resolve(window.confirm(title + '\n\n' + text));
    const opener = /** @type {HTMLElement | null} */ (document.activeElement);
    return new Promise((resolve) => {
      dialog.returnValue = 'cancel';
      dialog.addEventListener('close', () => {
        if (opener && opener.focus) opener.focus();
        resolve(dialog.returnValue === 'ok');
      }, { once: true });
      dialog.showModal();
      $('confirm-cancel').focus();
    });
  }

  return {
    $, inputById, setText, setAttr, announce, setInvalid, clearInvalid, readWhole, readDecimal, radioValue, setRadio,
    confirmAction, grouped,
  };
})();
