// @ts-check
// The run bar: each engine's Start and Stop and the recorder's Play, with
// their hotkeys, in the header that stays in view however far the page is
// scrolled. Its buttons press the panels' own, so a delay, a refusal and its
// message behave the same from either place, and they show what those show.
'use strict';

Varnet.runBar = (function () {
  const { $, setText } = Varnet.page;

  /** The run bar's button and the panel's button it stands for. */
  const MIRRORS = [['rb-clk-start', 'clk-start'], ['rb-clk-stop', 'clk-stop'], ['rb-ks-start', 'ks-start'],
    ['rb-ks-stop', 'ks-stop'], ['rb-play', 'play-toggle']];
  /** Where the panel says why a press of the run bar's button did nothing. */
  const HINTS = { 'rb-clk-start': 'clk-hint', 'rb-ks-start': 'ks-hint', 'rb-play': 'rec-hint' };
  /** The run bar's hotkey badge and the panel's badge it copies. */
  const BADGES = [['rb-clk-hotkey', 'clk-hotkey'], ['rb-ks-hotkey', 'ks-hotkey'], ['rb-play-hotkey', 'play-hotkey']];

  function showRunBar() {
    for (const [own, panel] of MIRRORS) {
      const from = /** @type {HTMLButtonElement} */ ($(panel));
      const to = /** @type {HTMLButtonElement} */ ($(own));
      to.disabled = from.disabled;
      to.dataset.on = from.dataset.on || 'false';
      setText(/** @type {Element} */ (to.querySelector('.run-label')),
        /** @type {Element} */ (from.querySelector('.run-label')).textContent || '');
    }
    for (const [own, panel] of BADGES) {
      setText($(own), $(panel).textContent || '');
      $(own).hidden = $(panel).hidden;
    }
  }

  function wireRunBar() {
    for (const [own, panel] of MIRRORS) {
      $(own).addEventListener('click', () => {
        $(panel).click();
        showRunBar();
        // A refusal is said beside the panel's fields, which may be out of
        // view; the bar itself stays where it is.
        const hint = HINTS[/** @type {keyof typeof HINTS} */ (own)];
        if (hint && $(hint).textContent) $(hint).scrollIntoView({ block: 'nearest' });
      });
    }
  }

  return { showRunBar, wireRunBar };
})();
