// Shared set-up of the page's browser tests: Debian's Chromium driven
// headless through playwright-core, the page opened from ui/ (or built into
// one file, as the program loads it), and the fake of the bound calls.
import { chromium } from 'playwright-core';
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';

export const ROOT = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..', '..');
export const PAGE_URL = pathToFileURL(path.join(ROOT, 'ui', 'index.html')).href;
const FAKE_SOURCE = readFileSync(path.join(ROOT, 'tests', 'ui', 'fake_bindings.js'), 'utf8');

export const PANEL_CALLS = ['updateSpammer', 'toggleSpammer', 'updateKeySpam', 'toggleKeySpam', 'updateTracker',
  'setTheme', 'getSharedTheme', 'toggleRecording', 'togglePlayback', 'getTrackerStatus', 'getMacroEvents',
  'deleteEvent', 'updateEventTime', 'optimizeMacro', 'reassignKey', 'resizeWindow', 'beginWindowDrag', 'closeThisWindow',
  'startSpammer', 'stopSpammer', 'startKeySpam', 'stopKeySpam', 'getSettings'];

const CHROMIUM_FLAGS = ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync'];

// One browser per test file, with a fresh, empty profile folder.
export async function startBrowser() {
  const profileDir = mkdtempSync(path.join(tmpdir(), 'varnet-ui-'));
  const context = await chromium.launchPersistentContext(profileDir, {
    executablePath: '/usr/bin/chromium',
    headless: true,
    args: CHROMIUM_FLAGS,
    viewport: { width: 420, height: 560 },
  });
  return {
    context,
    async close() {
      await context.close();
      rmSync(profileDir, { recursive: true, force: true });
    },
  };
}

// Opens the page with the fake bound before any page script runs. Page
// errors are collected so that a test can demand there were none.
export async function openPage(browser, fakeOptions = {}, { html } = {}) {
  const page = await browser.context.newPage();
  const errors = [];
  page.on('pageerror', (err) => errors.push(String(err)));
  page.on('console', (msg) => { if (msg.type() === 'error') errors.push(msg.text()); });
  await page.addInitScript((opts) => { window.__fakeOptions = opts; }, fakeOptions);
  await page.addInitScript(FAKE_SOURCE);
  if (html === undefined) {
    await page.goto(PAGE_URL);
  } else {
    // Served from a made-up origin so the init scripts run as on any load;
    // anything else the page asked for would show in page.otherRequests.
    page.otherRequests = [];
    await page.route('http://varnet.invalid/**', (route) => {
      if (route.request().url() === 'http://varnet.invalid/') {
        return route.fulfill({ contentType: 'text/html', body: html });
      }
      page.otherRequests.push(route.request().url());
      return route.fulfill({ status: 404, body: '' });
    });
    await page.goto('http://varnet.invalid/');
  }
  await page.waitForFunction(() => getComputedStyle(document.body).visibility === 'visible');
  return { page, errors };
}

export async function calls(page) {
  return page.evaluate(() => window.__fake.calls.slice());
}

export async function clearCalls(page) {
  await page.evaluate(() => window.__fake.clear());
}

// The calls other than the status poll's, which arrive in between at any time.
export async function commandCalls(page) {
  const all = await calls(page);
  return all.filter((c) => c.name !== 'getTrackerStatus' && c.name !== 'getSharedTheme');
}

// Waits until a call of that name has been made, and returns the last one.
export async function waitForCall(page, name) {
  await page.waitForFunction((n) => window.__fake.calls.some((c) => c.name === n), name);
  const all = await calls(page);
  return all.filter((c) => c.name === name).pop();
}

// Sets a text field the way a user does: type, then leave the field.
export async function typeInto(page, selector, text) {
  await page.fill(selector, text);
  await page.press(selector, 'Tab');
}

// The page as the program builds it: style and script written into it.
export function buildPage() {
  const dir = mkdtempSync(path.join(tmpdir(), 'varnet-page-'));
  const output = path.join(dir, 'index.html');
  execFileSync('cmake', [`-DPAGE_SOURCE_DIR=${path.join(ROOT, 'ui')}`, `-DPAGE_OUTPUT=${output}`,
    '-P', path.join(ROOT, 'cmake', 'inline_page.cmake')]);
  const html = readFileSync(output, 'utf8');
  rmSync(dir, { recursive: true, force: true });
  return html;
}

// What a pop-out window's process puts in place of the page's last
// "</body>": it applies the theme, hides every other panel, shows the page
// and asks it to fit the window.
export function panelScript(panelId, theme) {
  const i = (n) => ' '.repeat(n);
  const lines = [
    i(20) + '// Pop-out window: take over the main window\'s theme',
    i(20) + '// and show only this window\'s panel.',
    i(20) + "if (typeof applyTheme === 'function') applyTheme('" + theme + "');",
    i(20) + "let themeSel = document.getElementById('theme-select');",
    i(20) + "if (themeSel) themeSel.value = '" + theme + "';",
    '',
    i(20) + "document.querySelectorAll('.panel').forEach(p => p.style.display = 'none');",
    i(20) + "let activePanel = document.getElementById('" + panelId + "');",
    i(20) + 'if (activePanel) {',
    i(24) + "activePanel.style.display = 'block';",
    i(24) + "activePanel.style.borderRadius = '0';",
    i(24) + "activePanel.style.boxShadow = 'none';",
    i(24) + "activePanel.style.border = 'none';",
    i(24),
    i(24) + '// The header moves the window.',
    i(24) + '// A press on a header button does not.',
    i(24) + '// Only the primary button starts a drag.',
    i(24) + '// The drag itself runs natively.',
    i(24) + '// Dropping on the main window docks the panel.',
    i(24) + "let header = activePanel.querySelector('.panel-header');",
    i(24) + "header.style.cursor = 'move';",
    i(24) + "header.addEventListener('mousedown', (e) => {",
    i(28) + "if (e.button !== 0 || e.target.closest('.panel-btn')) return;",
    i(28) + 'e.preventDefault();',
    i(28) + "if (window.beginWindowDrag) window.beginWindowDrag('');",
    i(24) + '});',
    i(20) + '}',
    i(20) + "document.body.style.padding = '0';",
    i(20) + "let dash = document.getElementById('dashboard');",
    i(20) + "if (dash) dash.style.gap = '0';",
    '',
    i(20) + '// The page starts hidden so that neither the default',
    i(20) + '// theme nor the other panels flash up first;',
    i(20) + '// everything is in place now.',
    i(20) + '// Show it.',
    i(20) + "document.body.style.visibility = 'visible';",
    '',
    i(20) + '// Let the page fit the window to its one panel.',
    i(20) + "if (typeof resizeHostWindow === 'function') resizeHostWindow();",
  ];
  return '\n' + i(16) + '<script>\n' + lines.map((l) => l + '\n').join('') + i(16) + '</script>\n' + i(12) + '</body>\n' + i(12);
}

export function injectPanelScript(html, panelId, theme) {
  const at = html.lastIndexOf('</body>');
  if (html.length < 7 || at < 0) return html;
  return html.slice(0, at) + panelScript(panelId, theme) + html.slice(at + '</body>'.length);
}
