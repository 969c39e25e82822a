// @ts-check
// What the program has to tell the user above the panels: warnings of the
// status report (a failed save, a command pipe that pop-outs cannot reach),
// shown while the report names them; start-up notices (an unreadable session
// kept aside), shown until dismissed; and a call to the program that failed,
// shown until that call next succeeds.
'use strict';

Varnet.notices = (function () {
  const { $, setText, announce } = Varnet.page;

  /**
   * @param {string} id
   * @param {string} text
   * @param {boolean} dismissible
   */
  function noticeElement(id, text, dismissible) {
    const notice = document.createElement('div');
    notice.className = 'notice';
    notice.id = id;
    const message = document.createElement('p');
    message.className = 'notice-text';
    message.textContent = text;
    notice.append(message);
    if (dismissible) {
      const close = document.createElement('button');
      close.type = 'button';
      close.className = 'btn btn-ghost notice-dismiss';
      close.textContent = 'Dismiss';
      close.addEventListener('click', () => notice.remove());
      notice.append(close);
    }
    return notice;
  }

  /**
   * A warning that stays while its condition lasts: its text follows the
   * latest one, and only its first showing is announced.
   * @param {string} id
   * @param {string} text
   * @param {boolean} dismissible
   */
  function showWarning(id, text, dismissible) {
    const shown = $(id);
    if (shown) {
      setText(/** @type {Element} */ (shown.querySelector('.notice-text')), text);
      return;
    }
    const notice = noticeElement(id, text, dismissible);
    notice.classList.add('notice-warning');
    $('notices').prepend(notice);
    announce(text);
  }

  /** @param {string} id */
  function removeNotice(id) {
    const shown = $(id);
    if (shown) shown.remove();
  }

  /**
   * A warning the status reports, shown for as long as its text is not empty.
   * @param {string} id
   * @param {string} text
   */
  function showStatusWarning(id, text) {
    if (text) showWarning(id, text, false);
    else removeNotice(id);
  }

  /**
   * @param {string} name
   * @param {string} reason
   */
  function showCallFailure(name, reason) {
    showWarning('call-failed-' + name, 'Varnet did not answer the page (' + name + '): ' + reason, true);
  }

  /** @param {string} name */
  function clearCallFailure(name) {
    removeNotice('call-failed-' + name);
  }

  async function readNotices() {
    if (!Varnet.bridge.has('getNotices')) return;
    const list = await Varnet.bridge.call('getNotices');
    if (!Array.isArray(list)) return;
    list.forEach((text, i) => {
      if (typeof text === 'string' && text) $('notices').append(noticeElement('notice-' + i, text, true));
    });
  }

  return { showStatusWarning, showCallFailure, clearCallFailure, readNotices };
})();
