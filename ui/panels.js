// @ts-check
// Panels and windows: popping a panel out into a window of its own and
// taking it back, a pop-out window's one panel (enterPanelMode), and fitting
// the window to what it shows.
'use strict';

Varnet.panels = (function () {
  const { $, announce } = Varnet.page;
  const { model, inPanel } = Varnet.model;
  const { has, call } = Varnet.bridge;
  const PANEL_WINDOW_WIDTH = 420;

  const ICON_POP_OUT = '<svg viewBox="0 0 24 24" aria-hidden="true"><path d="M14 4h6v6"/><path d="M20 4l-8 8"/><path d="M18 14v4a2 2 0 0 1-2 2H6a2 2 0 0 1-2-2V8a2 2 0 0 1 2-2h4"/></svg>';
  const ICON_CLOSE = '<svg viewBox="0 0 24 24" aria-hidden="true"><path d="M6 6l12 12M18 6L6 18"/></svg>';

  // Profiles and the program's settings are managed where every call is
  // bound: those two panels stay in the main window.
  const DOCKED_PANELS = ['profiles-panel', 'settings-panel'];

  /** @returns {NodeListOf<HTMLElement>} */
  function allPanels() {
    return document.querySelectorAll('.panel');
  }

  // ------------------------------------------------------------ pop-out window

  /**
   * Makes this page a pop-out window's: only the one panel, in the main
   * window's theme, its header the handle that drags the window (the window
   * has no title bar). The panel process calls it from a script of its own
   * at the end of the page, before the page starts, so that neither the
   * default theme nor the other panels ever show.
   * @param {string} id
   * @param {string} theme
   */
  function enterPanelMode(id, theme) {
    model.panelId = id;
    Varnet.settings.applyTheme(theme);
    allPanels().forEach((p) => { p.style.display = 'none'; });
    const panel = document.getElementById(id);
    if (panel) {
      panel.style.display = 'block';
      panel.style.borderRadius = '0';
      panel.style.boxShadow = 'none';
      panel.style.border = 'none';
      makeHeaderDragWindow(panel);
    }
    document.body.style.padding = '0';
    const dash = document.getElementById('dashboard');
    if (dash) dash.style.gap = '0';
    document.body.style.visibility = 'visible';
  }

  /**
   * A press on one of the header's buttons is a click, not a drag, and only
   * the primary button drags; preventDefault keeps the press from selecting
   * text while the window follows the pointer. The drag itself runs natively.
   * @param {HTMLElement} panel
   */
  function makeHeaderDragWindow(panel) {
    const header = /** @type {HTMLElement | null} */ (panel.querySelector('.panel-header'));
    if (!header) return;
    header.style.cursor = 'move';
    header.addEventListener('mousedown', (e) => {
      if (e.button !== 0 || (/** @type {Element} */ (e.target)).closest('.panel-btn')) return;
      e.preventDefault();
      call('beginWindowDrag', '');
    });
  }

  // ------------------------------------------------------------ main window

  /** @param {string} id */
  function restorePanel(id) {
    const panel = document.getElementById(id);
    if (!panel || !model.poppedOut.has(id)) return;
    model.poppedOut.delete(id);
    panel.hidden = false;
    updateDashboardEmpty();
    announce(panel.dataset.title + ' is back in the main window.');
  }

  /**
   * The panel window opens with its header under the pointer; from the
   * keyboard there is no pointer, so the button's own place on screen stands in.
   * @param {MouseEvent} event
   * @param {HTMLElement} button
   */
  function screenPointFor(event, button) {
    if (event && event.detail > 0 && (event.screenX || event.screenY)) {
      return { x: Math.round(event.screenX), y: Math.round(event.screenY) };
    }
    const rect = button.getBoundingClientRect();
    return {
      x: Math.round(window.screenX + rect.left + rect.width / 2),
      y: Math.round(window.screenY + rect.top + rect.height / 2),
    };
  }

  function updateDashboardEmpty() {
    $('dash-empty').hidden = inPanel() || model.poppedOut.size < allPanels().length;
  }

  /**
   * @param {HTMLElement} panel
   * @param {HTMLElement} button
   * @param {MouseEvent} event
   */
  async function popOut(panel, button, event) {
    const point = screenPointFor(event, button);
    await call('popOutPanel', panel.dataset.title + '|' + panel.id + '|' + point.x + '|' + point.y);
    model.poppedOut.add(panel.id);
    panel.hidden = true;
    updateDashboardEmpty();
    announce(panel.dataset.title + ' opened in its own window.');
    const next = /** @type {HTMLElement | null} */ (document.querySelector('.panel:not([hidden]) .panel-btn'));
    if (next && document.activeElement === button) next.focus();
  }

  function addHeaderButtons() {
    for (const panel of allPanels()) {
      if (!inPanel() && DOCKED_PANELS.includes(panel.id)) continue;
      const header = /** @type {HTMLElement} */ (panel.querySelector('.panel-header'));
      const button = document.createElement('button');
      button.type = 'button';
      button.className = 'panel-btn';
      if (inPanel()) {
        button.innerHTML = ICON_CLOSE;
        button.title = 'Close and dock back';
        button.setAttribute('aria-label', 'Close ' + panel.dataset.title + ' and return it to the main window');
        button.addEventListener('click', () => call('closeThisWindow'));
        if (!has('closeThisWindow')) button.hidden = true;
      } else {
        button.innerHTML = ICON_POP_OUT;
        button.title = 'Pop out into its own window';
        button.setAttribute('aria-label', 'Pop out ' + panel.dataset.title);
        button.addEventListener('click', (event) => popOut(panel, button, event));
        if (!has('popOutPanel')) button.hidden = true;
      }
      header.appendChild(button);
    }
  }

  /**
   * Without the command pipe a popped-out panel could do nothing, so the
   * pop-out buttons go while it is missing and the page says why.
   * @param {string} problem
   */
  function showPipeProblem(problem) {
    if (inPanel()) return;
    Varnet.notices.showStatusWarning('pipe-problem',
      problem && 'Panels cannot pop out: ' + problem + '. They stay in this window until that is fixed.');
    document.body.classList.toggle('no-pop-out', Boolean(problem));
  }

  // ------------------------------------------------------------ window fit

  function visibleContentHeight() {
    let bottom = 0;
    for (const el of document.body.children) {
      const style = getComputedStyle(el);
      if (style.display === 'none' || style.position === 'fixed' || style.position === 'absolute') continue;
      bottom = Math.max(bottom, el.getBoundingClientRect().bottom + window.scrollY);
    }
    const padding = parseFloat(getComputedStyle(document.body).paddingBottom) || 0;
    return Math.ceil(bottom + padding);
  }

  function resizeHostWindow() {
    if (!has('resizeWindow')) return;
    const limit = (window.screen && window.screen.availHeight) ? window.screen.availHeight - 40 : 900;
    const height = Math.max(120, Math.min(limit, visibleContentHeight() + 2));
    const width = inPanel() ? PANEL_WINDOW_WIDTH : Math.max(PANEL_WINDOW_WIDTH, window.innerWidth);
    model.lastFit = { width, height };
    call('resizeWindow', width, height);
  }

  // A pop-out window keeps fitting its panel as the panel grows or shrinks
  // (a hint shows, the event list fills).
  function followPanelSize() {
    if (!inPanel() || typeof ResizeObserver !== 'function') return;
    let queued = false;
    new ResizeObserver(() => {
      if (queued) return;
      queued = true;
      requestAnimationFrame(() => {
        queued = false;
        const height = visibleContentHeight() + 2;
        if (model.lastFit.height && Math.abs(height - model.lastFit.height) > 2) resizeHostWindow();
      });
    }).observe($('dashboard'));
  }

  return {
    PANEL_WINDOW_WIDTH, enterPanelMode, restorePanel, showPipeProblem, addHeaderButtons, resizeHostWindow, followPanelSize,
  };
})();
