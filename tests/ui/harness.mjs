// Shared set-up of the page's browser tests: Debian's Chromium driven
// headless through playwright-core, the page opened from ui/ (or built into
// one file, as the program loads it), and the fake of the bound calls.
import { chromium } from 'playwright-core';
import { execFileSync } from 'node:child_process';
import { existsSync, mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';

export const ROOT = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..', '..');
export const PAGE_URL = pathToFileURL(path.join(ROOT, 'ui', 'index.html')).href;
// What the program's own call table answered to tests/contract/page_calls.txt,
// recorded by the build (the target varnet_page_answers_json); scripts/test
// names the build it made.
export const ANSWERS = process.env.VARNET_BUILD_DIR
  ? path.join(process.env.VARNET_BUILD_DIR, 'page_answers.json')
  : path.join(ROOT, 'build', 'page_answers.json');
export const RECORDED = existsSync(ANSWERS) ? JSON.parse(readFileSync(ANSWERS, 'utf8')) : null;

// An event list of tests/contract/events/, as its event lines.
export function eventList(name) {
  return readFileSync(path.join(ROOT, 'tests', 'contract', 'events', `${name}.txt`), 'utf8');
}

// The program's thinnings in the recording: each optimizeMacro between two
// reads of the list maps the text before to the text after.
export function recordedThinnings(recorded) {
  const thinnings = {};
  for (const { calls: steps } of recorded ? recorded.sequences : []) {
    steps.forEach(([name], i) => {
      const [before, after] = [steps[i - 1], steps[i + 1]];
      if (name === 'optimizeMacro' && before?.[0] === 'getMacroEvents' && after?.[0] === 'getMacroEvents') {
        thinnings[before[2]] = after[2];
      }
    });
  }
  return thinnings;
}

// The fake reads the settings fields from the page's own schema, and serves
// the program's recorded answers where it would otherwise repeat its logic.
export const FAKE_SOURCE = readFileSync(path.join(ROOT, 'ui', 'schema.js'), 'utf8') + '\n' +
  `window.__recordedThinnings = ${JSON.stringify(recordedThinnings(RECORDED))};\n` +
  `window.__recordedFrom = ${JSON.stringify(RECORDED ? ANSWERS : `${ANSWERS}, which is not built`)};\n` +
  readFileSync(path.join(ROOT, 'tests', 'ui', 'fake_bindings.js'), 'utf8');

export const PANEL_CALLS = ['updateSpammer', 'toggleSpammer', 'updateKeySpam', 'toggleKeySpam', 'updateTracker',
  'setTheme', 'getSharedTheme', 'toggleRecording', 'togglePlayback', 'getTrackerStatus', 'getMacroEvents',
  'deleteEvent', 'updateEventTime', 'optimizeMacro', 'reassignKey', 'resizeWindow', 'beginWindowDrag', 'closeThisWindow',
  'startSpammer', 'stopSpammer', 'startKeySpam', 'stopKeySpam', 'getSettings', 'editClickSteps'];

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

// The calls other than the status poll's, which arrive in between at any
// time, and the read of the Undo state that goes with every read of the list.
export async function commandCalls(page) {
  const all = await calls(page);
  return all.filter((c) => !['getTrackerStatus', 'getSharedTheme', 'getUndoState'].includes(c.name));
}

// Waits until a call of that name has been made, and returns the last one.
export async function waitForCall(page, name) {
  // Until the program has answered it, so what the call changed is there to read.
  await page.waitForFunction((n) => window.__fake.wasAnswered(n), name);
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
// "</body>": a call that makes the page show the one panel in the theme.
export function panelScript(panelId, theme) {
  const i = (n) => ' '.repeat(n);
  return '\n' + i(16) + '<script>\n' + i(20) + "enterPanelMode('" + panelId + "', '" + theme + "');\n" +
    i(16) + '</script>\n' + i(12) + '</body>\n' + i(12);
}

export function injectPanelScript(html, panelId, theme) {
  const at = html.lastIndexOf('</body>');
  if (html.length < 7 || at < 0) return html;
  return html.slice(0, at) + panelScript(panelId, theme) + html.slice(at + '</body>'.length);
}
