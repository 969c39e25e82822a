// @ts-check
// The profiles panel: the list of profiles, the current one marked, and
// adding, switching, renaming, duplicating, clearing, deleting, importing
// and exporting them.
'use strict';

Varnet.profiles = (function () {
  const { $, inputById, setText, setInvalid, clearInvalid, confirmAction, announce } = Varnet.page;
  const { model, asInt } = Varnet.model;
  const { has, call } = Varnet.bridge;

  function renderProfiles() {
    const list = $('profile-list');
    const { names, current } = model.profiles;
    const items = names.map((name, i) => {
      const li = document.createElement('li');
      const button = document.createElement('button');
      button.type = 'button';
      button.className = 'profile-item';
      button.dataset.index = String(i);
      const label = document.createElement('span');
      label.className = 'name';
      label.textContent = name;
      label.title = name;
      button.appendChild(label);
      if (i === current) {
        button.setAttribute('aria-current', 'true');
        const badge = document.createElement('span');
        badge.className = 'badge';
        badge.textContent = 'Current';
        button.appendChild(badge);
      }
      li.appendChild(button);
      return li;
    });
    if (items.length === 0) {
      const empty = document.createElement('li');
      empty.className = 'profile-empty';
      empty.textContent = 'No profiles to show.';
      items.push(empty);
    }
    list.replaceChildren(...items);
    setText($('app-profile'), names[current] || '');
    updateProfileLock();
  }

  // The program refuses profile changes while it records; the page says so
  // instead of offering buttons that do nothing.
  function updateProfileLock() {
    const recording = model.status.state === 'Recording';
    const manage = has('getProfiles');
    const controls = /** @type {NodeListOf<HTMLButtonElement | HTMLInputElement>} */ (
      document.querySelectorAll('#profiles-panel .panel-body button, #profiles-panel .panel-body input'));
    for (const el of controls) {
      const importExport = el.id === 'profile-import' || el.id === 'profile-export';
      const naming = el.id === 'profile-rename' || el.id === 'profile-duplicate';
      el.disabled = !manage || (recording && !importExport) || (naming && !has('renameProfile'));
    }
    if (manage && model.profiles.names.length <= 1) /** @type {HTMLButtonElement} */ ($('profile-delete')).disabled = true;
    $('profile-note').textContent = !manage
      ? 'Profiles are managed in the main window.'
      : (recording ? 'Stop recording to switch, add, rename, duplicate, clear or delete profiles.' : '');
  }

  async function readProfiles() {
    if (!has('getProfiles')) return;
    const raw = await call('getProfiles');
    if (raw && typeof raw === 'object' && Array.isArray(raw.names)) {
      model.profiles = {
        names: raw.names.map((/** @type {unknown} */ n) => String(n)),
        current: asInt(raw.current, 0),
      };
    }
    renderProfiles();
  }

  // After anything that changes the current profile the program has new
  // settings and events but returns nothing, so all of it is read again.
  async function rereadAfterProfileChange() {
    await readProfiles();
    await Varnet.forms.readSettings();
    await Varnet.events.fetchEvents();
    if (has('getTrackerStatus')) Varnet.status.applyStatus(await call('getTrackerStatus'));
  }

  function currentProfileName() {
    return model.profiles.names[model.profiles.current] || 'this profile';
  }

  // The program drops brackets and double quotes from names and would keep
  // the backslash of an escaped quote, so the page leaves them out itself.
  /** @param {string} text */
  function cleanProfileName(text) {
    return text.replace(/[[\]"\\]/g, '').trim();
  }

  const MAX_NAME_LENGTH = 64;

  /**
   * The name typed for a new, renamed or duplicated profile, cleaned, or
   * null with the field marked when no profile may take it. The program
   * checks the same again.
   * @param {string} emptyText
   * @param {number} renamed  the profile that may keep its own name; -1 for none
   * @returns {string | null}
   */
  function typedProfileName(emptyText, renamed) {
    $('profile-hint').classList.remove('hint-ok');
    const input = inputById('profile-name');
    const typed = input.value;
    const name = cleanProfileName(typed);
    const taken = model.profiles.names.some((n, i) => n === name && i !== renamed);
    const problem = name === ''
      ? (typed.trim() === '' ? emptyText : 'Brackets, quotes and backslashes cannot be used in a name.')
      : [...name].length > MAX_NAME_LENGTH ? 'A profile\'s name has at most ' + MAX_NAME_LENGTH + ' characters.'
        : taken ? 'There is a profile named \u201c' + name + '\u201d already.' : '';
    if (problem) {
      setInvalid(input, 'profile-hint', problem);
      return null;
    }
    clearInvalid([input], 'profile-hint');
    if (name !== typed.trim()) $('profile-hint').textContent = 'Brackets, quotes and backslashes were left out of the name.';
    return name;
  }

  /** @param {Event} event */
  async function onAddProfile(event) {
    event.preventDefault();
    const name = typedProfileName('Type a name for the new profile.', -1);
    if (name === null) return;
    await call('addProfile', name);
    inputById('profile-name').value = '';
    await rereadAfterProfileChange();
  }

  /**
   * Rename or Duplicate the current profile under the typed name; the
   * program says what it changed, or why not.
   * @param {'renameProfile' | 'duplicateProfile'} callName
   */
  async function onNameCurrent(callName) {
    const renaming = callName === 'renameProfile';
    const name = typedProfileName(renaming ? 'Type the profile\'s new name.' : 'Type a name for the copy.',
      renaming ? model.profiles.current : -1);
    if (name === null) return;
    const outcome = await call(callName, name);
    if (outcome && typeof outcome.message === 'string') {
      if (outcome.done) inputById('profile-name').value = '';
      else setInvalid(inputById('profile-name'), 'profile-hint', outcome.message);
      if (outcome.done) showProfileMessage(outcome.message, true);
      announce(outcome.message);
    }
    await rereadAfterProfileChange();
  }

  /** @param {Event} event */
  async function onProfileClick(event) {
    const button = /** @type {HTMLButtonElement | null} */ ((/** @type {Element} */ (event.target)).closest('.profile-item'));
    if (!button || button.disabled) return;
    // What was said about the profile left behind no longer applies.
    showProfileMessage('', false);
    await call('switchProfile', Number(button.dataset.index));
    await rereadAfterProfileChange();
    const again = /** @type {HTMLElement | null} */ (document.querySelector('.profile-item[aria-current="true"]'));
    if (again) again.focus();
  }

  function wireProfiles() {
    $('profile-form').addEventListener('submit', onAddProfile);
    $('profile-rename').addEventListener('click', () => onNameCurrent('renameProfile'));
    $('profile-duplicate').addEventListener('click', () => onNameCurrent('duplicateProfile'));
    $('profile-list').addEventListener('click', onProfileClick);
    $('profile-clear').addEventListener('click', async () => {
      const ok = await confirmAction('Clear profile?', 'This removes every recorded event from "' + currentProfileName() + '" and resets its clicker and key settings.', 'Clear');
      if (!ok) return;
      await call('clearProfile');
      await rereadAfterProfileChange();
    });
    $('profile-delete').addEventListener('click', async () => {
      const ok = await confirmAction('Delete profile?', '"' + currentProfileName() + '" and its recorded events will be deleted.', 'Delete');
      if (!ok) return;
      await call('deleteProfile');
      await rereadAfterProfileChange();
    });
    $('profile-import').addEventListener('click', async () => {
      const outcome = await call('importProfile');
      showFileOutcome(outcome, 'Imported "' + (outcome && outcome.name) + '" from ', 'Could not import ');
      await rereadAfterProfileChange();
    });
    $('profile-export').addEventListener('click', async () => {
      const outcome = await call('exportProfile');
      showFileOutcome(outcome, 'Exported "' + (outcome && outcome.name) + '" to ', 'Could not export to ');
    });
  }

  /**
   * Under the profile buttons: a success in the success colour, a failure
   * in red.
   * @param {string} text
   * @param {boolean} ok
   */
  function showProfileMessage(text, ok) {
    setText($('profile-hint'), text);
    $('profile-hint').classList.toggle('hint-ok', ok);
  }

  /**
   * What an export or import did; a cancelled dialog clears the last message.
   * @param {any} outcome
   * @param {string} done
   * @param {string} failed
   */
  function showFileOutcome(outcome, done, failed) {
    if (!outcome || typeof outcome.path !== 'string') {
      showProfileMessage('', false);
      return;
    }
    const text = outcome.error ? failed + outcome.path + ': ' + outcome.error + '.' : done + outcome.path + '.';
    showProfileMessage(text, !outcome.error);
    announce(text);
  }

  return { renderProfiles, updateProfileLock, readProfiles, rereadAfterProfileChange, wireProfiles };
})();
