// The page as the program loads it (one file, set as HTML text), in the main
// window and in a pop-out window, where only the twenty-nine panel calls exist
// and the process's own script hides the other panels.
import { test, describe, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { cpSync, mkdtempSync, rmSync, appendFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { ROOT, PAGE_URL, startBrowser, openPage, calls, clearCalls, waitForCall, typeInto, buildPage, injectPanelScript, PANEL_CALLS, eventList } from './harness.mjs';

let browser;
let builtPage;
before(async () => {
  browser = await startBrowser();
  builtPage = buildPage();
});
after(async () => { await browser.close(); });

async function openPanel(panelId, theme = 'midnight', fakeOptions = {}) {
  const html = injectPanelScript(builtPage, panelId, theme);
  const opened = await openPage(browser, { panel: true, theme, ...fakeOptions }, { html });
  // Settled: the panel script has fitted the window and the first poll has run.
  await waitForCall(opened.page, 'resizeWindow');
  await waitForCall(opened.page, 'getTrackerStatus');
  return opened;
}

// Waits until the page has begun count more polls from now: each begins
// after the one before has ended, so what a test checks next is what at
// least count - 1 whole polls left on the page.
async function waitForPolls(page, count) {
  await clearCalls(page);
  await page.waitForFunction((n) => window.__fake.calls.filter((c) => c.name === 'getTrackerStatus').length >= n, count);
}

async function visiblePanels(page) {
  return page.$$eval('.panel', (list) => list.filter((p) => p.offsetParent !== null).map((p) => p.id));
}

describe('the built page', () => {
  test('holds its stylesheet and script, keeps one </body>, and needs no other file', async () => {
    assert.ok(!builtPage.includes('href="style.css"'));
    assert.ok(!builtPage.includes('src="app.js"'));
    assert.equal(builtPage.split('</body>').length, 2);
    const { page: main, errors } = await openPage(browser, {}, { html: builtPage });
    await waitForCall(main, 'getMacroEvents');
    assert.equal(await main.$eval('.panel', (p) => getComputedStyle(p).borderTopLeftRadius), '12px');
    assert.deepEqual(await visiblePanels(main), ['clicker-panel', 'keyspam-panel', 'recorder-panel', 'profiles-panel', 'settings-panel']);
    assert.deepEqual(main.otherRequests, []);
    assert.deepEqual(errors, []);
    await main.close();
  });
});

describe('without the program', () => {
  test('the page opened from disk shows its defaults and offers nothing it cannot do', async () => {
    const page = await browser.context.newPage();
    const errors = [];
    page.on('pageerror', (err) => errors.push(String(err)));
    await page.goto(PAGE_URL);
    await page.waitForFunction(() => getComputedStyle(document.body).visibility === 'visible');
    assert.equal(await page.inputValue('#clk-ms'), '100');
    assert.equal(await page.$$eval('.panel-btn', (l) => l.filter((b) => !b.hidden).length), 0);
    assert.ok(await page.isHidden('#clk-pick'));
    await page.click('#clk-start');
    await page.selectOption('#theme-select', 'forest');
    assert.equal(await page.getAttribute('html', 'data-theme'), 'forest');
    assert.deepEqual(errors, []);
    await page.close();
  });
});

describe('building the page', () => {
  test('refuses a script or stylesheet that would close its own element early', () => {
    for (const [file, text] of [['app.js', "const s = '</script>';"], ['style.css', '/* </style> */']]) {
      const dir = mkdtempSync(path.join(tmpdir(), 'varnet-ui-src-'));
      cpSync(path.join(ROOT, 'ui'), dir, { recursive: true });
      appendFileSync(path.join(dir, file), text);
      const run = spawnSync('cmake', [`-DPAGE_SOURCE_DIR=${dir}`, `-DPAGE_OUTPUT=${path.join(dir, 'out', 'index.html')}`,
        '-P', path.join(ROOT, 'cmake', 'inline_page.cmake')], { encoding: 'utf8' });
      rmSync(dir, { recursive: true, force: true });
      assert.notEqual(run.status, 0, file);
      assert.match(run.stderr, /closing tag/);
    }
  });
});

describe('in a pop-out window', () => {
  test('shows only its panel, in the main window\'s theme, and fits the window', async () => {
    const { page, errors } = await openPanel('recorder-panel');
    assert.deepEqual(await visiblePanels(page), ['recorder-panel']);
    assert.equal(await page.getAttribute('html', 'data-theme'), 'midnight');
    assert.equal(await page.inputValue('#theme-select'), 'midnight');
    assert.ok(await page.isHidden('.app-bar'));
    const resize = await waitForCall(page, 'resizeWindow');
    assert.equal(resize.args[0], 420);
    assert.ok(Number.isInteger(resize.args[1]) && resize.args[1] > 150 && resize.args[1] < 1000);
    const used = new Set((await calls(page)).map((c) => c.name));
    for (const name of used) assert.ok(PANEL_CALLS.includes(name), name);
    assert.ok(used.has('getTrackerStatus') && used.has('getMacroEvents'));

    // The list keeps its height as it fills, so nothing moves under the pointer.
    const boxHeight = () => page.$eval('#ev-scroll', (el) => el.getBoundingClientRect().height);
    const empty = await boxHeight();
    await page.evaluate(() => window.__fake.writeSideFiles());
    await page.waitForFunction(() => document.getElementById('ev-count').textContent === '6');
    assert.equal(await boxHeight(), empty);
    assert.deepEqual(errors, []);
    await page.close();
  });

  test('its controls forward the panel calls; the header drags and its button closes', async () => {
    // A list whose thinning the build recorded from the program.
    const { page, errors } = await openPanel('recorder-panel', 'midnight', { eventLines: eventList('moves_to_thin') });
    await page.evaluate(() => window.__fake.writeSideFiles());
    await page.waitForFunction(() => document.getElementById('ev-count').textContent === '18');
    await clearCalls(page);
    // Optimise first: a recording starts a new, empty list, and a poll that
    // fetched it would disable the button.
    await page.click('#ev-optimize');
    await page.click('#rec-toggle');
    await page.uncheck('#opt-tmv');
    await typeInto(page, '#opt-tspd', '2');
    await page.mouse.move(0, 0);
    const header = await page.$('#recorder-panel .panel-header h2');
    await header.click();
    await page.click('#recorder-panel .panel-btn');
    await waitForCall(page, 'closeThisWindow');
    const list = (await calls(page)).filter((c) => !c.name.startsWith('get') && c.name !== 'resizeWindow');
    assert.deepEqual(list.map((c) => c.name), ['optimizeMacro', 'toggleRecording', 'updateTracker', 'updateTracker', 'beginWindowDrag', 'closeThisWindow']);
    assert.deepEqual(list[3].args, [false, true, true, true, false, 2, false, 500, 1]);
    assert.deepEqual(list[4].args, ['']);
    assert.deepEqual(errors, []);
    await page.close();
  });

  test('the clicker and key panels work without the main window\'s calls', async () => {
    const { page, errors } = await openPanel('clicker-panel', 'forest');
    assert.deepEqual(await visiblePanels(page), ['clicker-panel']);
    // The pop-out picks and takes a typed point through the main window.
    await page.click('#clk-pick');
    await waitForCall(page, 'pickLocation');
    await page.click('#clk-pick-cancel');
    await waitForCall(page, 'cancelPick');
    await clearCalls(page);
    await typeInto(page, '#clk-ms', '40');
    await page.click('#clk-start');
    await waitForCall(page, 'startSpammer');
    const list = (await calls(page)).filter((c) => !c.name.startsWith('get') && c.name !== 'resizeWindow');
    assert.deepEqual(list.map((c) => c.name), ['updateSpammer', 'startSpammer']);
    assert.deepEqual(list[0].args, [0, 0, 0, 40, 0, 0, 1, 10, 0, 0, 0, 0, 0, 0, 0]);
    await page.close();

    const ks = await openPanel('keyspam-panel');
    await ks.page.click('#ks-settarget');
    assert.deepEqual((await waitForCall(ks.page, 'reassignKey')).args, ['keyspamtarget']);
    assert.deepEqual([...errors, ...ks.errors], []);
    await ks.page.close();
  });

  test('a pop-out starts from the user\'s settings, follows them, and sends them back unchanged', async () => {
    const { page, errors } = await openPanel('clicker-panel');
    await page.evaluate(() => Object.assign(window.__fake.state.clicker, { sms: 777, locMode: 1, fixedX: 800, fixedY: 250, rptTimes: 5 }));
    await page.waitForFunction(() => document.getElementById('clk-ms').value === '777');
    assert.equal(await page.inputValue('#clk-times'), '5');
    await page.evaluate(() => { window.__fake.state.clicker.sms = 20; });
    await page.waitForFunction(() => document.getElementById('clk-ms').value === '20');
    await clearCalls(page);
    await page.check('input[name="clk-btn"][value="1"]', { force: true });
    const sent = await waitForCall(page, 'updateSpammer');
    assert.deepEqual(sent.args, [0, 0, 0, 20, 1, 0, 1, 5, 1, 0, 0, 0, 0, 0, 0]);
    assert.deepEqual(errors, []);
    await page.close();
  });

  test('the pop-out key spammer sends its text, and says so when a text is too long for the pipe', async () => {
    const { page, errors } = await openPanel('keyspam-panel');
    await page.check('input[name="ks-mode"][value="1"]', { force: true });
    await page.fill('#ks-text', 'Hi, "you"');
    await page.press('#ks-text', 'Tab');
    await page.waitForFunction(() => window.__fake.state.clicker.typer && window.__fake.state.clicker.typer.text === 'Hi, "you"');
    assert.equal(await page.evaluate(() => window.__fake.state.clicker.typer.mode), 1);
    await page.fill('#ks-text', 'é'.repeat(300));
    await page.press('#ks-text', 'Tab');
    await page.waitForFunction(() => /too long to send from a pop-out/.test(document.getElementById('ks-hint').textContent));
    assert.equal(await page.evaluate(() => window.__fake.state.clicker.typer.text), 'Hi, "you"');
    assert.deepEqual(errors, []);
    await page.close();
  });

  test('with no side files yet it shows the defaults and keeps polling', async () => {
    const { page, errors } = await openPanel('recorder-panel');
    assert.equal(await page.textContent('#ev-count'), '0');
    assert.equal(await page.textContent('#rec-state'), 'Idle');
    await waitForPolls(page, 2);
    await page.evaluate(() => window.__fake.writeSideFiles());
    await page.waitForFunction(() => document.getElementById('ev-count').textContent === '6');
    assert.equal(await page.textContent('#rec-hotkey'), 'F8');

    // The main process may be rewriting the files while the window reads
    // them: a half line keeps what is shown.
    await page.evaluate(() => {
      window.__fake.state.statusFile = '{"state":"Recording","cou';
      window.__fake.state.eventsFile = '[{"id":0,"time":0.0';
      window.__fake.state.profiles[0].events.pop();
    });
    await waitForPolls(page, 3);
    assert.equal(await page.textContent('#rec-state'), 'Idle');
    assert.equal(await page.textContent('#ev-count'), '6');
    assert.equal(await page.$$eval('#ev-body tr:not(.spacer)', (l) => l.length), 6);
    assert.deepEqual(errors, []);
    await page.close();
  });
});

describe('click sequence', () => {
  // Until the program's list (the fake's) reads as want, steps joined by ';'.
  const waitForSteps = (page, want) => page.waitForFunction(
    (w) => window.__fake.state.clicker.clickSteps.map((s) => s.join(',')).join(';') === w, want);

  test('the list is built by typing and picking, then reordered, re-timed and trimmed', async () => {
    const { page, errors } = await openPage(browser, {}, { html: builtPage });
    assert.ok(await page.isHidden('#clk-seq'));
    await page.check('input[name="clk-loc"][value="2"]');
    await page.waitForFunction(() => window.__fake.state.clicker.locMode === 2);
    assert.ok(await page.isVisible('#clk-seq'));
    await clearCalls(page);
    await page.click('#clk-start');
    assert.match(await page.textContent('#clk-hint'), /no steps/);
    assert.ok(!(await calls(page)).some((c) => c.name === 'startSpammer'), 'an empty sequence is not started');
    await typeInto(page, '#clk-seq-x', '100');
    await typeInto(page, '#clk-seq-y', '-20');
    await page.click('#clk-seq-add');
    await waitForSteps(page, '100,-20,0,0,100');
    await page.click('#clk-seq-pick');
    await page.waitForFunction(() => window.__fake.state.pickingLocation);
    await page.evaluate(() => window.__fake.clickScreen(300, 400));
    await page.waitForFunction(() => document.querySelectorAll('#clk-steps li').length === 2);
    assert.match(await page.textContent('#clk-steps li:nth-child(2)'), /X 300 · Y 400 · Left/);
    await page.click('#clk-steps li:nth-child(2) .step-up');
    await waitForSteps(page, '300,400,0,0,100;100,-20,0,0,100');
    await clearCalls(page);
    await typeInto(page, '#clk-steps li:nth-child(1) .step-wait', '250');
    await waitForSteps(page, '300,400,0,0,250;100,-20,0,0,100');
    assert.ok(!(await calls(page)).some((c) => c.name === 'updateSpammer'), 'a wait is no clicker setting');
    await page.click('#clk-steps li:nth-child(2) .step-delete');
    await waitForSteps(page, '300,400,0,0,250');
    assert.equal(await page.locator('#clk-steps li').count(), 1);
    assert.deepEqual(errors, []);
    await page.close();
  });

  test('a pop-out shows the sequence and edits it through the program', async () => {
    const { page, errors } = await openPanel('clicker-panel');
    await page.evaluate(() => {
      const f = window.__fake;
      f.state.clicker = Object.assign({}, f.state.clicker, { locMode: 2, clickSteps: [[1, 2, 0, 0, 10], [3, 4, 1, 1, 20]] });
    });
    await page.waitForFunction(() => document.querySelectorAll('#clk-steps li').length === 2);
    assert.match(await page.textContent('#clk-steps li:nth-child(2)'), /X 3 · Y 4 · Right double/);
    await page.click('#clk-steps li:nth-child(1) .step-down');
    await waitForSteps(page, '3,4,1,1,20;1,2,0,0,10');
    assert.deepEqual(errors, []);
    await page.close();
  });
});
