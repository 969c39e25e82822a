// @ts-check
// The auto-clicker's click sequence: the steps of the "Sequence" location,
// each a point, a button, single or double, and a wait after it. The list is
// the program's; every edit is a call, shown at once and confirmed by the
// settings the program reports next.
'use strict';

Varnet.sequence = (function () {
  const { $, inputById, setText, announce, readWhole, setInvalid, clearInvalid } = Varnet.page;
  const { model } = Varnet.model;
  const BUTTONS = ['Left', 'Right', 'Middle'];
  const MAX_WAIT_MS = 3600000;
  const MAX_STEPS = 1000;

  /** @param {...(string | number)} args */
  async function edit(...args) {
    await Varnet.bridge.call('editClickSteps', ...args);
  }

  /**
   * @param {ClickStep} step
   * @param {number} i
   */
  function stepRow(step, i) {
    const row = document.createElement('li');
    row.className = 'step-row';
    row.dataset.index = String(i);
    const what = document.createElement('span');
    what.className = 'step-what';
    what.textContent = 'X ' + step.x + ' · Y ' + step.y + ' · ' + (BUTTONS[step.button] || 'Left') +
      (step.type === 1 ? ' double' : '');
    const wait = document.createElement('label');
    wait.className = 'unit-field compact';
    wait.innerHTML = '<span class="unit lead">then</span><input class="step-wait" inputmode="numeric" autocomplete="off">' +
      '<span class="unit">ms</span>';
    const input = /** @type {HTMLInputElement} */ (wait.querySelector('input'));
    input.value = String(step.waitMs);
    input.setAttribute('aria-label', 'Wait after step ' + (i + 1) + ' in milliseconds');
    row.append(what, wait);
    for (const [action, label, text] of [['up', 'Move step ' + (i + 1) + ' up', '↑'], ['down', 'Move step ' + (i + 1) + ' down', '↓'],
      ['delete', 'Delete step ' + (i + 1), '✕']]) {
      const button = document.createElement('button');
      button.type = 'button';
      button.className = 'btn btn-ghost step-' + action;
      button.dataset.action = action;
      button.setAttribute('aria-label', label);
      button.textContent = text;
      row.append(button);
    }
    return row;
  }

  // The list as the model holds it, and the sequence's controls shown only
  // in that location mode. A wait being typed keeps its text.
  function showSteps() {
    const list = $('clk-steps');
    if (list.contains(document.activeElement) && document.activeElement instanceof HTMLInputElement) return;
    const steps = model.clickSteps;
    list.replaceChildren(...steps.map(stepRow));
    const rows = list.children;
    for (let i = 0; i < rows.length; i++) {
      /** @type {HTMLButtonElement} */ (rows[i].querySelector('.step-up')).disabled = i === 0;
      /** @type {HTMLButtonElement} */ (rows[i].querySelector('.step-down')).disabled = i === rows.length - 1;
    }
    $('clk-steps-empty').hidden = steps.length > 0;
    showMode();
  }

  function showMode() {
    const inSequence = Varnet.page.radioValue('clk-loc') === 2;
    $('clk-seq').hidden = !inSequence;
    /** @type {HTMLElement} */ ($('clk-x').closest('.point-fields')).hidden = inSequence;
    $('clk-seq-pick').hidden = !Varnet.bridge.has('editClickSteps');
  }

  /**
   * Shown at once; the program's next settings say what it kept.
   * @param {ClickStep[]} steps
   */
  function showLocally(steps) {
    model.clickSteps = steps;
    showSteps();
  }

  /** @param {Event} event */
  async function onListClick(event) {
    const button = /** @type {HTMLElement} */ (event.target).closest('button');
    const row = button && button.closest('li');
    if (!button || !row) return;
    const i = Number(row.dataset.index);
    const steps = model.clickSteps.slice();
    const action = button.dataset.action;
    if (action === 'delete') {
      steps.splice(i, 1);
      await edit('delete', i);
      announce('Step ' + (i + 1) + ' deleted.');
    } else {
      const to = action === 'up' ? i - 1 : i + 1;
      if (to < 0 || to >= steps.length) return;
      steps.splice(to, 0, steps.splice(i, 1)[0]);
      await edit('move', i, to);
      announce('Step moved to place ' + (to + 1) + '.');
    }
    showLocally(steps);
  }

  /** @param {Event} event */
  async function onWaitChange(event) {
    const input = /** @type {HTMLInputElement} */ (event.target);
    if (!input.classList.contains('step-wait')) return;
    const row = /** @type {HTMLElement} */ (input.closest('li'));
    const i = Number(row.dataset.index);
    const read = readWhole(input, 0, MAX_WAIT_MS, 'Wait');
    if ('error' in read) {
      setInvalid(input, 'clk-hint', read.error);
      return;
    }
    clearInvalid([input], 'clk-hint');
    const step = Object.assign({}, model.clickSteps[i], { waitMs: read.value });
    const steps = model.clickSteps.slice();
    steps[i] = step;
    await edit('set', i, step.x, step.y, step.button, step.type, step.waitMs);
    input.blur();
    showLocally(steps);
  }

  // A typed point clicks as the clicker's button and type do now.
  async function onAddTyped() {
    const xInput = inputById('clk-seq-x');
    const yInput = inputById('clk-seq-y');
    clearInvalid([xInput, yInput], 'clk-hint');
    const x = readWhole(xInput, -2147483648, 2147483647, 'X');
    if ('error' in x) return setInvalid(xInput, 'clk-hint', x.error);
    const y = readWhole(yInput, -2147483648, 2147483647, 'Y');
    if ('error' in y) return setInvalid(yInput, 'clk-hint', y.error);
    if (model.clickSteps.length >= MAX_STEPS) {
      setText($('clk-hint'), 'A sequence holds at most ' + MAX_STEPS + ' steps.');
      return;
    }
    const button = Varnet.page.radioValue('clk-btn');
    const step = { x: x.value, y: y.value, button: button >= 0 && button <= 2 ? button : 0,
      type: Varnet.page.radioValue('clk-type') === 1 ? 1 : 0, waitMs: 100 };
    await edit('add', step.x, step.y, step.button, step.type, step.waitMs);
    showLocally(model.clickSteps.concat([step]));
    announce('Step ' + model.clickSteps.length + ' added at X ' + step.x + ', Y ' + step.y + '.');
  }

  function wireSequence() {
    const list = $('clk-steps');
    list.addEventListener('click', onListClick);
    list.addEventListener('change', onWaitChange);
    $('clk-seq-add').addEventListener('click', onAddTyped);
    $('clk-seq-pick').addEventListener('click', () => Varnet.engines.startPick(true));
    for (const radio of document.querySelectorAll('input[name="clk-loc"]')) radio.addEventListener('change', showMode);
  }

  /**
   * The steps of a settings snapshot: a list of five whole numbers each;
   * none where the program (an older one) gives none.
   * @param {unknown} raw
   * @returns {ClickStep[]}
   */
  function stepsOf(raw) {
    if (!Array.isArray(raw)) return [];
    return raw.filter((s) => Array.isArray(s) && s.length >= 5 && s.slice(0, 5).every(Number.isInteger))
      .map(([x, y, button, type, waitMs]) => ({ x, y, button, type, waitMs }));
  }

  return { showSteps, wireSequence, stepsOf };
})();
