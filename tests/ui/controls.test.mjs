// Each control of the page sends the program's call with the right
// arguments in the right order, and the page reads back what changed.
import { test, describe, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { startBrowser, openPage, calls, clearCalls, commandCalls, waitForCall, typeInto, buildPage, injectPanelScript, eventList } from './harness.mjs';

let browser;
before(async () => { browser = await startBrowser(); });
after(async () => { await browser.close(); });

const names = (list) => list.map((c) => c.name);

describe('start-up', () => {
  test('reads every kind of state once, then shows the defaults of the program', async () => {
    const { page, errors } = await openPage(browser);
    await waitForCall(page, 'getMacroEvents');
    const first = names(await calls(page)).slice(0, 6);
    assert.deepEqual(first, ['getSharedTheme', 'getAppSettings', 'getSettings', 'getProfiles', 'getTrackerStatus', 'getMacroEvents']);
    assert.equal(await page.inputValue('#clk-ms'), '100');
    assert.equal(await page.inputValue('#clk-times'), '10');
    assert.equal(await page.inputValue('#opt-tloopMs'), '500');
    assert.equal(await page.inputValue('#opt-tspd'), '1');
    assert.ok(await page.isChecked('input[name="clk-rpt"][value="1"]'));
    assert.equal(await page.textContent('#hk-rec'), 'F8');
    assert.equal(await page.textContent('#ks-target'), 'Space');
    assert.equal(await page.getAttribute('html', 'data-theme'), 'modern-blue');
    assert.ok(await page.isChecked('#set-hotkeysEnabled'));
    assert.equal(await page.textContent('#ev-count'), '6');
    assert.deepEqual(errors, []);
    await page.close();
  });

  test('every panel is a .panel with an id and a header whose buttons are .panel-btn, inside #dashboard', async () => {
    const { page } = await openPage(browser);
    const panels = await page.$$eval('#dashboard .panel', (list) => list.map((p) => ({
      id: p.id,
      header: !!p.querySelector('.panel-header'),
      stray: [...p.querySelectorAll('.panel-header button')].filter((b) => !b.classList.contains('panel-btn')).length,
    })));
    assert.deepEqual(panels.map((p) => p.id), ['clicker-panel', 'keyspam-panel', 'recorder-panel', 'profiles-panel', 'settings-panel']);
    for (const p of panels) {
      assert.ok(p.header, p.id);
      assert.equal(p.stray, 0, p.id);
    }
    const themes = await page.$$eval('#theme-select option', (list) => list.map((o) => o.value));
    assert.ok(themes.length >= 4);
    assert.equal(themes[0], 'modern-blue');
    await page.close();
  });
});

describe('keyboard', () => {
  test('Tab reaches the controls in order and shows a focus ring', async () => {
    const { page } = await openPage(browser);
    // The run bar first (Stop is disabled while nothing runs), then the
    // first-start notice, then the panels.
    const order = [];
    for (let i = 0; i < 5; ++i) {
      await page.keyboard.press('Tab');
      order.push(await page.evaluate(() => document.activeElement.getAttribute('aria-label') || document.activeElement.id));
    }
    assert.deepEqual(order, ['Start clicking', 'Start pressing keys', 'Play or stop the macro', 'welcome-dismiss', 'Pop out Auto Clicker']);
    const outline = await page.evaluate(() => getComputedStyle(document.activeElement).outlineStyle);
    assert.equal(outline, 'solid');
    await page.keyboard.press('Tab');
    assert.equal(await page.evaluate(() => document.activeElement.id), 'clk-h');
    // Arrow keys step a number and send it.
    await clearCalls(page);
    await page.keyboard.press('ArrowUp');
    assert.equal(await page.inputValue('#clk-h'), '1');
    assert.deepEqual((await waitForCall(page, 'updateSpammer')).args.slice(0, 4), [1, 0, 0, 100]);
    await page.close();
  });
});

describe('auto clicker', () => {
  test('sends all its settings as numbers in order after each change', async () => {
    const { page } = await openPage(browser);
    await clearCalls(page);
    await typeInto(page, '#clk-s', '1');
    await typeInto(page, '#clk-ms', '500');
    await page.check('input[name="clk-btn"][value="1"]');
    await page.check('input[name="clk-type"][value="1"]');
    await page.check('input[name="clk-rpt"][value="0"]');
    await typeInto(page, '#clk-times', '5');
    await page.check('input[name="clk-loc"][value="1"]');
    const last = await waitForCall(page, 'updateSpammer');
    const sent = (await commandCalls(page)).filter((c) => c.name === 'updateSpammer');
    assert.deepEqual(sent.pop().args, [0, 0, 1, 500, 1, 1, 0, 5, 1, 0, 0, 0, 0, 0, 0]);
    assert.equal(last.name, 'updateSpammer');
    assert.deepEqual(await page.evaluate(() => {
      const c = window.__fake.state.clicker;
      return [c.sh, c.sm, c.ss, c.sms, c.sbtn, c.stype, c.rptMode, c.rptTimes, c.locMode];
    }), [0, 0, 1, 500, 1, 1, 0, 5, 1]);
    await page.close();
  });

  test('refuses empty, non-numeric and out-of-range fields with a visible hint and sends nothing', async () => {
    const { page } = await openPage(browser);
    await page.check('input[name="clk-rpt"][value="0"]');
    for (const [selector, text] of [['#clk-ms', 'abc'], ['#clk-ms', ''], ['#clk-s', '12px'], ['#clk-m', '-3'], ['#clk-times', '0'], ['#clk-h', '1e3']]) {
      await page.evaluate(() => {
        for (const [id, v] of [['clk-h', '0'], ['clk-m', '0'], ['clk-s', '0'], ['clk-ms', '100'], ['clk-times', '10']]) {
          document.getElementById(id).value = v;
        }
        document.activeElement.blur();
      });
      await clearCalls(page);
      await typeInto(page, selector, text);
      assert.ok(!names(await commandCalls(page)).includes('updateSpammer'), `${selector}=${text} was sent`);
      assert.equal(await page.getAttribute(selector, 'aria-invalid'), 'true');
      assert.ok(await page.isVisible('#clk-hint'));
      assert.notEqual((await page.textContent('#clk-hint')).trim(), '');
    }
    await typeInto(page, '#clk-h', '0');
    await typeInto(page, '#clk-ms', '250');
    assert.equal(await page.getAttribute('#clk-ms', 'aria-invalid'), null);
    assert.ok(!(await page.isVisible('#clk-hint')));
    await page.close();
  });

  // Timed runs, the repeat count and humanising travel as the last
  // arguments of their calls; a length or a count is off without its choice.
  test('timed runs, passes and random spreads are sent as the calls\' last arguments', async () => {
    const { page } = await openPage(browser);
    assert.ok(await page.isDisabled('#clk-run-m'));
    assert.ok(await page.isDisabled('#ks-run-s'));
    assert.ok(!(await page.isDisabled('#opt-tloopTimes')));
    await page.check('input[name="clk-rpt"][value="2"]');
    assert.ok(!(await page.isDisabled('#clk-run-m')));
    await typeInto(page, '#clk-run-m', '1');
    await typeInto(page, '#clk-run-s', '30');
    await typeInto(page, '#clk-rnd', '15');
    await typeInto(page, '#clk-hold', '20');
    await clearCalls(page);
    await typeInto(page, '#clk-area', '4');
    assert.deepEqual((await waitForCall(page, 'updateSpammer')).args, [0, 0, 0, 100, 0, 0, 2, 10, 0, 0, 1, 30, 15, 20, 4]);
    await clearCalls(page);
    await typeInto(page, '#clk-hold', '10001');
    assert.ok(!names(await commandCalls(page)).includes('updateSpammer'), 'a hold over 10 s was sent');
    assert.equal(await page.getAttribute('#clk-hold', 'aria-invalid'), 'true');

    await page.check('input[name="ks-rpt"][value="2"]');
    await typeInto(page, '#ks-run-s', '45');
    await clearCalls(page);
    await typeInto(page, '#ks-rnd', '5');
    assert.deepEqual((await waitForCall(page, 'updateKeySpam')).args, [0, 0, 0, 100, 2, 10, 0, 0, 45, 5]);

    await clearCalls(page);
    await typeInto(page, '#opt-tloopTimes', '3');
    assert.deepEqual((await waitForCall(page, 'updateTracker')).args.slice(7), [500, 3]);
    await page.check('#opt-tloop');
    assert.ok(await page.isDisabled('#opt-tloopTimes'));
    await page.close();
  });

  // The engine's own clicks land on Start (the pointer rests there), its
  // keys on whatever has the focus: neither may stop it.
  for (const [panel, start, stop, startCall, stopCall, state] of [
    ['clicker', '#clk-start', '#clk-stop', 'startSpammer', 'stopSpammer', '#clk-state'],
    ['key spammer', '#ks-start', '#ks-stop', 'startKeySpam', 'stopKeySpam', '#ks-state'],
  ]) {
    test(`${panel}: Start only starts and leaves no focus, Stop only stops`, async () => {
      const { page } = await openPage(browser);
      await clearCalls(page);
      await page.click(start);
      await page.waitForFunction((s) => document.querySelector(s).textContent === 'Running', state);
      assert.equal(await page.getAttribute(stop, 'data-on'), 'true');
      assert.ok(await page.isDisabled(start));
      assert.equal(await page.evaluate(() => document.activeElement === document.body), true);
      await page.keyboard.press('Space');
      await page.keyboard.press('Enter');
      await page.click(start, { force: true });
      await page.waitForTimeout(300);
      assert.equal(await page.textContent(state), 'Running');
      await page.click(stop);
      await page.waitForSelector(`${stop}[data-on="false"]`);
      assert.ok(await page.isEnabled(start));
      const sent = names(await commandCalls(page)).filter((n) => n === startCall || n === stopCall);
      assert.deepEqual(sent, [startCall, stopCall]);
      await page.close();
    });
  }

  test('a delayed Start counts down on Start, and Stop during the wait cancels it', async () => {
    const { page } = await openPage(browser);
    await page.selectOption('#clk-delay', '3000');
    await clearCalls(page);
    await page.click('#clk-start');
    assert.deepEqual((await waitForCall(page, 'startSpammer')).args, [3000]);
    assert.match(await page.textContent('#clk-start .run-label'), /^In [123] s$/);
    await page.waitForTimeout(600);  // polls come and go while the program waits
    assert.ok(await page.isDisabled('#clk-start'));
    assert.ok(await page.isEnabled('#clk-stop'));
    await page.click('#clk-stop');
    await waitForCall(page, 'stopSpammer');
    assert.equal(await page.textContent('#clk-start .run-label'), 'Start');
    assert.ok(await page.isEnabled('#clk-start'));
    await page.waitForTimeout(3000);
    assert.equal(await page.textContent('#clk-state'), 'Stopped');

    await page.selectOption('#ks-delay', '3000');
    await page.click('#ks-start');
    await page.waitForFunction(() => document.getElementById('ks-state').textContent === 'Running', null, { timeout: 6000 });
    assert.equal(await page.textContent('#ks-start .run-label'), 'Start');
    assert.ok(await page.isDisabled('#ks-start'));
    await page.close();
  });

  test('Start is refused while a field is invalid, and says why', async () => {
    for (const [field, start, hint, startCall] of [
      ['#clk-ms', '#clk-start', '#clk-hint', 'startSpammer'],
      ['#ks-s', '#ks-start', '#ks-hint', 'startKeySpam'],
    ]) {
      const { page } = await openPage(browser);
      await typeInto(page, field, 'abc');
      await clearCalls(page);
      await page.click(start);
      assert.match(await page.textContent(hint), /^Not started: .*whole number/);
      assert.equal(await page.evaluate(() => '#' + document.activeElement.id), field);
      assert.ok(!names(await commandCalls(page)).includes(startCall));
      await page.close();
    }
  });

  test('the hotkey still toggles, and Start and Stop follow the live state with the hotkey name', async () => {
    const { page } = await openPage(browser);
    await page.evaluate(() => window.__fake.set({ autoClicking: true }));
    await page.waitForSelector('#clk-stop[data-on="true"]');
    assert.ok(await page.isDisabled('#clk-start'));
    assert.equal(await page.textContent('#clk-hotkey'), 'F6');
    assert.match(await page.textContent('#clicker-panel .escape-note'), /Hold Esc for a second to stop everything/);
    await page.close();
  });

  test('pick on screen waits for the click and shows the picked point', async () => {
    const { page } = await openPage(browser);
    await page.click('#clk-pick');
    await waitForCall(page, 'pickLocation');
    assert.equal(await page.textContent('#clk-pick-text'), 'Click anywhere…');
    assert.match(await page.textContent('#clk-pick-note'), /Esc or a right-click cancels/);
    await page.evaluate(() => window.__fake.clickScreen(640, 480));
    await page.waitForFunction(() => document.getElementById('clk-x').value === '640');
    assert.equal(await page.inputValue('#clk-y'), '480');
    assert.ok(await page.isChecked('input[name="clk-loc"][value="1"]'));
    assert.equal(await page.textContent('#clk-pick-text'), 'Pick on screen');
    assert.ok(await page.isHidden('#clk-pick-note'));
    assert.ok(await page.isHidden('#clk-pick-cancel'));
    await page.close();
  });

  test('a pick that ends without a new point (Esc, or the same point) ends on the page within a poll', async () => {
    const { page } = await openPage(browser);
    await page.check('input[name="clk-loc"][value="1"]');
    await page.waitForFunction(() => window.__fake.state.clicker.locMode === 1);
    for (const end of [() => window.__fake.pressKey(27), () => window.__fake.clickScreen(0, 0)]) {
      await page.click('#clk-pick');
      await waitForCall(page, 'pickLocation');
      await page.waitForFunction(() => window.__fake.state.pickingLocation);
      await page.evaluate(end);
      const ended = Date.now();
      await page.waitForFunction(() => document.getElementById('clk-pick-text').textContent === 'Pick on screen');
      assert.ok(Date.now() - ended < 1000, `ended after ${Date.now() - ended} ms`);
      await clearCalls(page);
    }
    await page.close();
  });

  // Whichever way the page stops waiting, the program stops picking with it.
  test('Cancel and the page\'s time limit each end the pick in the program', async () => {
    const { page } = await openPage(browser);
    const giveUps = [
      () => page.click('#clk-pick-cancel'),
      () => page.evaluate(() => {
        const realNow = Date.now;
        window.__realNow = realNow;
        Date.now = () => realNow() + 61000;
      }),
    ];
    for (const giveUp of giveUps) {
      await page.click('#clk-pick');
      await page.waitForFunction(() => window.__fake.state.pickingLocation);
      assert.ok(await page.isVisible('#clk-pick-cancel'));
      await giveUp();
      await waitForCall(page, 'cancelPick');
      assert.equal(await page.evaluate(() => window.__fake.state.pickingLocation), false);
      await page.waitForFunction(() => document.getElementById('clk-pick-text').textContent === 'Pick on screen');
      assert.ok(await page.isHidden('#clk-pick-cancel'));
      await page.evaluate(() => { if (window.__realNow) Date.now = window.__realNow; });
      await clearCalls(page);
    }
    await page.close();
  });

  test('a typed point is checked against the screen, then clicked at', async () => {
    const { page } = await openPage(browser);
    await clearCalls(page);
    await typeInto(page, '#clk-x', '5000');
    await waitForCall(page, 'setFixedPoint');
    await page.waitForFunction(() => document.getElementById('clk-hint').textContent === 'X 5000, Y 0 is on no screen.');
    assert.equal(await page.getAttribute('#clk-x', 'aria-invalid'), 'true');
    await typeInto(page, '#clk-y', 'abc');
    await page.waitForFunction(() => /Y needs a whole number/.test(document.getElementById('clk-hint').textContent));
    await page.click('#clk-start');
    assert.match(await page.textContent('#clk-hint'), /^Not started: /);
    assert.ok(!(await page.evaluate(() => window.__fake.names().includes('startSpammer'))));
    await typeInto(page, '#clk-x', '100');
    await typeInto(page, '#clk-y', '200');
    await page.waitForFunction(() => window.__fake.state.clicker.fixedY === 200);
    assert.equal(await page.evaluate(() => window.__fake.state.clicker.fixedX), 100);
    assert.ok(await page.isChecked('input[name="clk-loc"][value="1"]'));
    assert.equal(await page.textContent('#clk-hint'), '');
    assert.ok(!(await page.evaluate(() => window.__fake.names().includes('updateSpammer'))), 'the point has its own call');
    await page.close();
  });

  test('a reassignment and the key capture each have a Cancel that ends them in the program', async () => {
    const { page } = await openPage(browser);
    for (const [start, cancel] of [['#settings-panel button[data-slot="auto"]', '#hk-cancel'], ['#ks-settarget', '#ks-target-cancel']]) {
      assert.ok(await page.isHidden(cancel));
      await page.click(start);
      await page.waitForSelector(cancel, { state: 'visible' });
      await page.click(cancel);
      await waitForCall(page, 'cancelReassign');
      await page.waitForSelector(cancel, { state: 'hidden' });
      assert.equal(await page.evaluate(() => window.__fake.state.reassigning), '');
      await clearCalls(page);
    }
    await page.close();
  });
});

describe('key spammer', () => {
  test('sends its settings, and the target key is set by a key press', async () => {
    const { page } = await openPage(browser);
    await clearCalls(page);
    await typeInto(page, '#ks-s', '2');
    await typeInto(page, '#ks-ms', '0');
    await page.check('input[name="ks-rpt"][value="0"]');
    await typeInto(page, '#ks-times', '3');
    const sent = (await commandCalls(page)).filter((c) => c.name === 'updateKeySpam');
    assert.deepEqual(sent.pop().args, [0, 0, 2, 0, 0, 3, 0, 0, 0, 0]);

    await page.click('#ks-settarget');
    assert.deepEqual((await waitForCall(page, 'reassignKey')).args, ['keyspamtarget']);
    await page.waitForFunction(() => document.getElementById('ks-target').classList.contains('waiting'));
    await page.evaluate(() => window.__fake.pressKey(65));
    await page.waitForFunction(() => document.getElementById('ks-target').textContent === 'A');
    assert.equal(await page.textContent('#ks-settarget'), 'Press a key to set');

    await page.click('#ks-start');
    await page.waitForFunction(() => document.getElementById('ks-state').textContent === 'Running');
    assert.ok(await page.isVisible('#app-spamming'));
    await page.close();
  });
});

describe('recorder', () => {
  test('sends the tracker options as true/false, a real speed and an integer pause', async () => {
    const { page } = await openPage(browser);
    await clearCalls(page);
    await page.uncheck('#opt-tscr');
    await typeInto(page, '#opt-tspd', '1.5');
    await page.check('#opt-tloop');
    await typeInto(page, '#opt-tloopMs', '250');
    const sent = (await commandCalls(page)).filter((c) => c.name === 'updateTracker');
    assert.deepEqual(sent.pop().args, [true, true, false, true, false, 1.5, true, 250, 1]);
    assert.equal(await page.evaluate(() => window.__fake.state.tracker.tspd), 1.5);

    await clearCalls(page);
    await typeInto(page, '#opt-tspd', 'fast');
    assert.ok(!names(await commandCalls(page)).includes('updateTracker'));
    assert.ok(await page.isVisible('#rec-hint'));
    await page.close();
  });

  test('record and play toggle and show the state', async () => {
    const { page } = await openPage(browser);
    await page.click('#rec-toggle');
    await page.waitForSelector('#rec-toggle[data-on="true"]');
    assert.equal(await page.textContent('#app-state-text'), 'Recording');
    // The program refuses profile changes while recording; so does the page.
    assert.ok(await page.isDisabled('#profile-add'));
    assert.ok(await page.isEnabled('#clicker-panel .panel-btn'), 'a panel can still pop out');
    await page.click('#rec-toggle');
    await page.waitForSelector('#rec-toggle[data-on="false"]');
    // Something to play: what a person did while it recorded.
    await page.evaluate(() => window.__fake.state.profiles[0].events.push({ kind: 3, vk: 65, down: true, time: 0.5 }));
    await page.waitForFunction(() => document.getElementById('ev-count').textContent === '1');
    await page.click('#play-toggle');
    await page.waitForSelector('#play-toggle[data-on="true"]');
    assert.equal(await page.textContent('#rec-state'), 'Playing');
    const order = names(await commandCalls(page)).filter((n) => n.startsWith('toggle'));
    assert.deepEqual(order, ['toggleRecording', 'toggleRecording', 'togglePlayback']);
    await page.close();
  });

  test('a row deletes its event and takes an edited time, and the list is read again', async () => {
    const { page } = await openPage(browser);
    await page.waitForSelector('#ev-body tr[data-index="5"]');
    await clearCalls(page);
    await page.click('#ev-body tr[data-index="0"] .ev-del');
    await page.waitForFunction(() => document.getElementById('ev-count').textContent === '5');
    let list = names(await commandCalls(page));
    assert.deepEqual(list.slice(0, 2), ['deleteEvent', 'getMacroEvents']);
    assert.deepEqual((await calls(page)).find((c) => c.name === 'deleteEvent').args, [0]);
    // Ids follow positions, so the former event 1 is now 0.
    assert.equal(await page.textContent('#ev-body tr[data-index="0"] .ev-desc'), 'Move by 7, 3');

    await clearCalls(page);
    await typeInto(page, '#ev-body tr[data-index="2"] .ev-time', '0.1');
    await page.waitForFunction(() => window.__fake.state.profiles[0].events[2].time === 0.1);
    list = await commandCalls(page);
    assert.deepEqual(list.slice(0, 2).map((c) => c.name), ['updateEventTime', 'getMacroEvents']);
    assert.deepEqual(list[0].args, [2, 0.1]);

    await clearCalls(page);
    await typeInto(page, '#ev-body tr[data-index="3"] .ev-time', 'soon');
    assert.ok(!names(await commandCalls(page)).includes('updateEventTime'));
    assert.equal(await page.getAttribute('#ev-body tr[data-index="3"] .ev-time', 'aria-invalid'), 'true');
    assert.ok(await page.isVisible('#ev-hint'));
    await page.close();
  });

  test('optimise thins the moves as the program does and re-reads the list', async () => {
    // The fake serves the program's own thinning of this list, recorded by
    // the build: a change to the program's thinning shows here.
    const { page, errors } = await openPage(browser, { eventLines: eventList('moves_to_thin') });
    const shown = () => page.textContent('#ev-count');
    await page.waitForFunction(() => document.getElementById('ev-count').textContent === '18');
    await clearCalls(page);
    await page.click('#ev-optimize');
    // The list is shown once the read of the Undo state that follows it begins.
    await page.waitForFunction(() => window.__fake.names().filter((n) => !['getTrackerStatus', 'getSharedTheme'].includes(n))
      .join().includes('optimizeMacro,getMacroEvents,getUndoState'));
    assert.deepEqual(errors, []);
    assert.equal(await shown(), '15');
    const times = await page.$$eval('#ev-body tr:not(.spacer) .ev-time', (l) => l.map((e) => e.value));
    assert.deepEqual(times.slice(0, 5), ['0', '0.3', '0.4', '0.5', '0.6']);
    await page.waitForFunction(() => document.getElementById('ev-undo-what').textContent === 'Undo: optimising away 3 moves');
    await page.close();
  });
});

describe('profiles', () => {
  test('add, switch, clear and delete call the program and re-read profiles, settings and events', async () => {
    const { page } = await openPage(browser);
    await clearCalls(page);
    await page.fill('#profile-name', 'Work');
    await page.press('#profile-name', 'Enter');
    await page.waitForSelector('.profile-item[aria-current="true"] >> text=Work');
    assert.equal(await page.textContent('#app-profile'), 'Work');
    let list = await commandCalls(page);
    assert.deepEqual(list.slice(0, 4).map((c) => c.name), ['addProfile', 'getProfiles', 'getSettings', 'getMacroEvents']);
    assert.deepEqual(list[0].args, ['Work']);

    await clearCalls(page);
    await page.click('.profile-item[data-index="0"]');
    await page.waitForSelector('.profile-item[data-index="0"][aria-current="true"]');
    list = await commandCalls(page);
    assert.equal(list[0].name, 'switchProfile');
    assert.deepEqual(list[0].args, [0]);
    assert.equal(await page.textContent('#ev-count'), '6');

    // Clear asks first; cancelling sends nothing.
    await clearCalls(page);
    await page.click('#profile-clear');
    await page.click('#confirm-cancel');
    assert.ok(!names(await commandCalls(page)).includes('clearProfile'));
    await page.click('#profile-clear');
    await page.click('#confirm-ok');
    await page.waitForFunction(() => document.getElementById('ev-count').textContent === '0');
    assert.deepEqual(names(await commandCalls(page)).slice(0, 2), ['clearProfile', 'getProfiles']);

    await clearCalls(page);
    await page.click('#profile-delete');
    await page.click('#confirm-ok');
    await page.waitForFunction(() => document.querySelectorAll('.profile-item').length === 1);
    assert.deepEqual(names(await commandCalls(page)).slice(0, 2), ['deleteProfile', 'getProfiles']);
    assert.ok(await page.isDisabled('#profile-delete'), 'the last profile cannot be deleted');
    await page.close();
  });

  test('rename and duplicate check the name like a new one and say what they changed', async () => {
    const { page } = await openPage(browser, { profiles: ['Work', 'Play'] });
    await page.waitForSelector('.profile-item[data-index="1"]');
    const attempt = async (button, typed, hint) => {
      await page.fill('#profile-name', typed);
      await page.click(button);
      await page.waitForFunction((want) => document.getElementById('profile-hint').textContent === want, hint);
    };
    await clearCalls(page);
    await attempt('#profile-rename', '  ', 'Type the profile\'s new name.');
    await attempt('#profile-rename', 'Play', 'There is a profile named \u201cPlay\u201d already.');
    await attempt('#profile-duplicate', 'Work', 'There is a profile named \u201cWork\u201d already.');
    assert.deepEqual(names(await commandCalls(page)).filter((n) => n.endsWith('Profile')), [], 'refused on the page');
    await attempt('#profile-rename', 'Jobs "A"', 'Renamed \u201cWork\u201d to \u201cJobs A\u201d.');
    assert.deepEqual(await page.$$eval('.profile-item .name', (l) => l.map((e) => e.textContent)), ['Jobs A', 'Play']);
    await attempt('#profile-duplicate', 'Jobs B', 'Duplicated \u201cJobs A\u201d as \u201cJobs B\u201d.');
    await page.waitForSelector('.profile-item[data-index="2"][aria-current="true"]');
    assert.equal(await page.textContent('#ev-count'), '6');
    // The program's own refusal shows as the page's would.
    await page.evaluate(() => window.__fake.state.profiles.push({ name: 'Late', settings: null, events: [] }));
    await attempt('#profile-rename', 'Late', 'There is a profile named \u201cLate\u201d already.');
    assert.equal(await page.getAttribute('#profile-name', 'aria-invalid'), 'true');
    await page.close();
  });

  test('import and export reach the program; import re-reads everything', async () => {
    const { page } = await openPage(browser);
    await clearCalls(page);
    await page.click('#profile-export');
    await page.waitForSelector('#profile-hint >> text=Exported "Default Tracking Profile" to /home/u/Default Tracking Profile.mcr.');
    await page.click('#profile-import');
    await page.waitForSelector('.profile-item[aria-current="true"] >> text=Shared');
    assert.equal(await page.textContent('#profile-hint'), 'Imported "Shared" from /home/u/shared.mcr.');
    const list = names(await commandCalls(page));
    assert.deepEqual(list.slice(0, 3), ['exportProfile', 'importProfile', 'getProfiles']);
    // A status poll may fetch the grown list before the import's own reads.
    for (const read of ['getSettings', 'getMacroEvents']) assert.ok(list.slice(3).includes(read), read);
    assert.equal(await page.textContent('#ev-count'), '3');
    // The name is marked only while it is taken.
    for (const name of ['Shared (Imported)', 'Shared (Imported 2)']) {
      await page.click('#profile-import');
      await page.waitForSelector(`#profile-hint >> text=Imported "${name}" from`);
    }
    await page.close();
  });

  test('an empty name is refused with a hint; brackets, quotes and backslashes are left out', async () => {
    const { page } = await openPage(browser);
    await clearCalls(page);
    await page.fill('#profile-name', '   ');
    await page.click('#profile-add');
    assert.ok(!names(await commandCalls(page)).includes('addProfile'));
    assert.ok(await page.isVisible('#profile-hint'));
    await page.fill('#profile-name', 'My [best] "one"\\');
    await page.click('#profile-add');
    assert.deepEqual((await waitForCall(page, 'addProfile')).args, ['My best one']);
    await page.close();
  });

  test('names are shown as text, never as HTML', async () => {
    const name = '<b>bold</b> "quoted" <img src=x onerror="window.__pwned=1">';
    const { page } = await openPage(browser, { profiles: ['Default Tracking Profile', name] });
    await page.waitForSelector('.profile-item[data-index="1"]');
    assert.equal(await page.textContent('.profile-item[data-index="1"] .name'), name);
    assert.equal(await page.$$eval('#profile-list b, #profile-list img', (l) => l.length), 0);
    await page.click('.profile-item[data-index="1"]');
    await page.waitForFunction((n) => document.getElementById('app-profile').textContent === n, name);
    assert.equal(await page.$$eval('.app-bar b, .app-bar img', (l) => l.length), 0);
    await page.click('#profile-delete');
    assert.ok((await page.textContent('#confirm-text')).includes(name));
    assert.equal(await page.$$eval('#confirm-dialog b, #confirm-dialog img', (l) => l.length), 0);
    assert.equal(await page.evaluate(() => window.__pwned), undefined);
    await page.close();
  });
});

describe('hotkeys and settings', () => {
  test('reassign shows the pending slot until a key arrives; Esc leaves the key as it was', async () => {
    const { page } = await openPage(browser);
    await page.click('.hotkeys button[data-slot="rec"]');
    assert.deepEqual((await waitForCall(page, 'reassignKey')).args, ['rec']);
    await page.waitForFunction(() => window.__fake.state.reassigning === 'rec');
    await page.waitForTimeout(400);
    assert.equal(await page.textContent('.hotkeys button[data-slot="rec"]'), 'Press a key…');
    assert.ok(await page.$eval('.hotkeys li[data-slot="rec"]', (li) => li.classList.contains('waiting')));
    await page.evaluate(() => window.__fake.pressKey(27));
    await page.waitForFunction(() => document.querySelector('.hotkeys button[data-slot="rec"]').textContent === 'Reassign');
    assert.equal(await page.textContent('#hk-rec'), 'F8');

    await page.click('.hotkeys button[data-slot="auto"]');
    await page.waitForFunction(() => window.__fake.state.reassigning === 'auto');
    await page.evaluate(() => window.__fake.pressKey(121));
    await page.waitForFunction(() => document.getElementById('hk-auto').textContent === 'F10');
    assert.equal(await page.textContent('#clk-hotkey'), 'F10');

    await clearCalls(page);
    await page.click('#hk-reset');
    await page.waitForFunction(() => document.getElementById('hk-auto').textContent === 'F6');
    assert.equal((await commandCalls(page))[0].name, 'resetHotkeys');
    await page.close();
  });

  test('a hotkey given another hotkey\'s key swaps the two, and the note says which', async () => {
    const { page } = await openPage(browser);
    for (const [slot, key, note, keys] of [
      ['rec', 118, 'F7 moved from Play to Record; Play now has F8.', { rec: 'F7', play: 'F8', auto: 'F6' }],
      ['auto', 121, 'Auto click is now F10.', { rec: 'F7', play: 'F8', auto: 'F10' }],
      ['play', 27, 'Play keeps F8.', { rec: 'F7', play: 'F8', auto: 'F10' }],
    ]) {
      await page.click(`.hotkeys button[data-slot="${slot}"]`);
      await page.waitForFunction((s) => window.__fake.state.reassigning === s, slot);
      await page.evaluate((k) => window.__fake.pressKey(k), key);
      await page.waitForFunction((n) => document.getElementById('hk-note').textContent === n, note);
      for (const [name, text] of Object.entries(keys)) assert.equal(await page.textContent(`#hk-${name}`), text);
    }
    await page.close();
  });

  test('switches send 1 or 0 and re-read the settings; disable animations is honoured', async () => {
    const { page } = await openPage(browser);
    await clearCalls(page);
    await page.check('#set-alwaysOnTop');
    await page.waitForFunction(() => window.__fake.calls.filter((c) => c.name === 'getAppSettings').length === 1);
    await page.uncheck('#set-hotkeysEnabled');
    await page.check('#set-launchOnStartup');
    await page.check('#set-startMinimized');
    await page.check('#set-disableAnimations');
    await page.waitForFunction(() => document.documentElement.classList.contains('reduce-motion'));
    const list = await commandCalls(page);
    const sets = list.filter((c) => c.name === 'setAppSetting').map((c) => c.args);
    assert.deepEqual(sets, [['alwaysOnTop', 1], ['hotkeysEnabled', 0], ['launchOnStartup', 1], ['startMinimized', 1], ['disableAnimations', 1]]);
    assert.equal(list[1].name, 'getAppSettings');
    assert.deepEqual(await page.evaluate(() => window.__fake.state.app), {
      alwaysOnTop: true, launchOnStartup: true, startMinimized: true, hotkeysEnabled: false, disableAnimations: true,
      waylandSession: false, waylandNoticeDismissed: false, inputThroughCompositor: false,
      inputPermission: '', gnomeDesktop: false, welcomeDismissed: false,
    });
    const duration = await page.$eval('.switch .track', (el) => getComputedStyle(el).transitionDuration);
    assert.equal(duration, '0s');
    assert.equal(await page.textContent('#app-version'), 'Varnet 1.2.3');
    await page.close();
  });

  test('the theme selector applies the theme, shares it, and follows a theme changed elsewhere', async () => {
    const { page } = await openPage(browser);
    await clearCalls(page);
    await page.selectOption('#theme-select', 'midnight');
    const set = await waitForCall(page, 'setTheme');
    assert.deepEqual(set.args, ['midnight']);
    assert.equal(await page.getAttribute('html', 'data-theme'), 'midnight');
    const bg = await page.evaluate(() => getComputedStyle(document.body).backgroundColor);
    assert.equal(bg, 'rgb(13, 18, 32)');
    await page.evaluate(() => { window.__fake.state.theme = 'forest'; });
    await page.waitForFunction(() => document.documentElement.dataset.theme === 'forest', null, { timeout: 6000 });
    assert.equal(await page.inputValue('#theme-select'), 'forest');
    await page.evaluate(() => applyTheme('no-such-theme'));
    assert.equal(await page.getAttribute('html', 'data-theme'), 'modern-blue');
    await page.close();
  });

  test('reset everything asks first, then resets and re-reads all state', async () => {
    const { page } = await openPage(browser);
    await page.selectOption('#theme-select', 'graphite');
    await page.check('#set-alwaysOnTop');
    // The page re-reads the settings after changing one; let that land first.
    await page.waitForFunction(() => {
      const seen = window.__fake.calls.map((c) => c.name);
      const set = seen.lastIndexOf('setAppSetting');
      return set >= 0 && seen.indexOf('getAppSettings', set) > set;
    });
    await clearCalls(page);
    await page.click('#reset-all');
    assert.ok(await page.isVisible('#confirm-dialog'));
    await page.keyboard.press('Escape');
    assert.ok(!names(await commandCalls(page)).includes('resetEverything'));
    await page.click('#reset-all');
    await page.click('#confirm-ok');
    await page.waitForFunction(() => document.documentElement.dataset.theme === 'modern-blue');
    await page.waitForFunction(() => !document.getElementById('set-alwaysOnTop').checked);
    assert.equal(names(await commandCalls(page))[0], 'resetEverything');
    const list = names(await calls(page));
    for (const getter of ['getSharedTheme', 'getAppSettings', 'getProfiles', 'getSettings', 'getMacroEvents']) {
      assert.ok(list.includes(getter), getter);
    }
    await page.close();
  });
});

describe('pop-out panels and polling', () => {
  test('pop-out sends title, id and screen point joined by "|", hides the panel; "restore" brings it back', async () => {
    const { page } = await openPage(browser);
    await clearCalls(page);
    await page.click('#clicker-panel .panel-btn');
    const call = await waitForCall(page, 'popOutPanel');
    assert.equal(call.args.length, 1);
    const parts = call.args[0].split('|');
    assert.deepEqual(parts.slice(0, 2), ['Auto Clicker', 'clicker-panel']);
    assert.equal(parts.length, 4);
    assert.match(parts[2], /^-?\d+$/);
    assert.match(parts[3], /^-?\d+$/);
    await page.waitForSelector('#clicker-panel', { state: 'hidden', timeout: 2000 });

    await page.evaluate(() => window.__fake.set({ panelHover: true }));
    await page.waitForSelector('#drop-zone', { state: 'visible' });
    await page.evaluate(() => window.__fake.endPanel('clicker-panel'));
    await page.waitForSelector('#clicker-panel', { state: 'visible' });
    await page.waitForSelector('#drop-zone', { state: 'hidden' });
    await page.close();
  });

  test('profiles and settings stay docked; popped-out panels come back when their window ends', async () => {
    const { page } = await openPage(browser);
    // Profiles and the program's settings stay in the main window.
    assert.equal(await page.$$eval('#profiles-panel .panel-btn, #settings-panel .panel-btn', (l) => l.length), 0);
    for (const id of ['clicker-panel', 'keyspam-panel', 'recorder-panel']) {
      await page.click(`#${id} .panel-btn`);
      await page.waitForSelector(`#${id}`, { state: 'hidden' });
    }
    await clearCalls(page);
    await page.evaluate(() => window.__fake.endPanel('recorder-panel'));
    await page.waitForSelector('#recorder-panel', { state: 'visible' });
    // What the panel changed while it was out is read again.
    await waitForCall(page, 'getSettings');
    await page.close();
  });

  test('pop-out from the keyboard works too', async () => {
    const { page } = await openPage(browser);
    await page.focus('#recorder-panel .panel-btn');
    await page.keyboard.press('Enter');
    const call = await waitForCall(page, 'popOutPanel');
    assert.match(call.args[0], /^Recorder\|recorder-panel\|-?\d+\|-?\d+$/);
    // The panel hides once the call has gone out, a moment after it is recorded.
    await page.waitForSelector('#recorder-panel', { state: 'hidden', timeout: 2000 });
    await page.close();
  });

  test('the status is polled about four times a second and updates the view', async () => {
    const { page } = await openPage(browser);
    await clearCalls(page);
    await page.waitForTimeout(2000);
    const polls = names(await calls(page)).filter((n) => n === 'getTrackerStatus').length;
    assert.ok(polls >= 4 && polls <= 12, `polled ${polls} times in 2 s`);
    await page.evaluate(() => window.__fake.set({ autoClicking: true, recording: true }));
    await page.waitForSelector('#clk-stop[data-on="true"]');
    await page.waitForFunction(() => document.getElementById('app-state-text').textContent === 'Recording');
    assert.ok(await page.isVisible('#app-clicking'));
    await page.close();
  });

  test('resizeHostWindow fits the window to the content through resizeWindow', async () => {
    const { page } = await openPage(browser);
    await clearCalls(page);
    await page.evaluate(() => resizeHostWindow());
    const call = await waitForCall(page, 'resizeWindow');
    assert.equal(call.args.length, 2);
    assert.ok(Number.isInteger(call.args[0]) && call.args[0] >= 420);
    assert.ok(Number.isInteger(call.args[1]) && call.args[1] > 200);
    await page.close();
  });
});

describe('a page that tells the truth and keeps still', () => {
  let browser;
  before(async () => { browser = await startBrowser(); });
  after(async () => { await browser.close(); });

  test('the Wayland notice shows on a Wayland desktop until dismissed', async () => {
    const { page, errors } = await openPage(browser, { wayland: true });
    await page.waitForSelector('#wayland-notice', { state: 'visible' });
    await page.click('#wayland-dismiss');
    assert.deepEqual((await waitForCall(page, 'setAppSetting')).args, ['waylandNoticeDismissed', '1']);
    assert.ok(await page.isHidden('#wayland-notice'));
    const plain = await openPage(browser);
    await plain.page.waitForFunction(() => getComputedStyle(document.body).visibility === 'visible');
    assert.ok(await plain.page.isHidden('#wayland-notice'));
    assert.deepEqual([...errors, ...plain.errors], []);
    await page.close();
    await plain.page.close();
  });

  test('on Wayland the notice says where input goes, and the recorder what it cannot see', async () => {
    for (const throughCompositor of [false, true]) {
      const { page, errors } = await openPage(browser, { wayland: true, throughCompositor });
      await page.waitForSelector('#wayland-notice', { state: 'visible' });
      const notice = await page.textContent('#wayland-notice-text');
      assert.equal(notice.includes('reach every window'), throughCompositor, notice);
      assert.equal(notice.includes('reach only the windows of X11 programs'), !throughCompositor, notice);
      // However the recording starts (here as by its hotkey), and only while it runs.
      await page.evaluate(() => window.__fake.set({ recording: true }));
      await page.waitForFunction(() => /recording sees only the input that goes to X11 programs/.test(
        document.getElementById('rec-hint').textContent));
      await page.evaluate(() => window.__fake.set({ recording: false }));
      await page.waitForFunction(() => document.getElementById('rec-hint').textContent === '');
      assert.deepEqual(errors, []);
      await page.close();
    }
  });

  test('where the desktop asks first, the notice follows its answer; on GNOME it explains custom shortcuts', async () => {
    const commands = ['toggleRecording|', 'togglePlayback|', 'toggleSpammer|', 'toggleKeySpam|']
      .map((message) => `varnet --command '${message}'`);
    const cases = [
      { options: { inputPermission: 'asking', gnome: true }, says: ['has asked the desktop', 'reach only the windows of X11 programs'] },
      { options: { inputPermission: 'refused', gnome: true }, says: ['did not let Varnet', 'reach only the windows of X11 programs'] },
      { options: { inputPermission: 'granted', throughCompositor: true, gnome: true }, says: ['You allowed Varnet', 'reach every window'] },
      { options: { throughCompositor: true }, says: ['reach every window', 'on sway'] },
      { options: {}, says: ['reach only the windows of X11 programs'] },
    ];
    for (const { options, says } of cases) {
      const { page, errors } = await openPage(browser, { wayland: true, ...options });
      await page.waitForSelector('#wayland-notice', { state: 'visible' });
      const notice = await page.textContent('#wayland-notice-text');
      for (const words of says) assert.ok(notice.includes(words), `${JSON.stringify(options)}: ${notice}`);
      assert.equal(notice.includes('Settings \u2192 Keyboard \u2192 Custom Shortcuts'), !!options.gnome, notice);
      if (options.gnome) for (const command of commands) assert.ok(notice.includes(command), notice);
      assert.deepEqual(errors, []);
      await page.close();
    }
  });

  test('a grant given while the page shows is read again and shown', async () => {
    const { page, errors } = await openPage(browser, { wayland: true, gnome: true, inputPermission: 'asking' });
    await page.waitForSelector('#wayland-notice', { state: 'visible' });
    await page.evaluate(() => Object.assign(window.__fake.state.app, { inputPermission: 'granted', inputThroughCompositor: true }));
    await page.waitForFunction(() => document.getElementById('wayland-notice-text').textContent.includes('reach every window'));
    assert.deepEqual(errors, []);
    await page.close();
  });

  test('what the page shows matches what the program does', async () => {
    const { page, errors } = await openPage(browser, { events: 0 });
    const cases = [
      ['a limit is stated', async () => {
        await typeInto(page, '#clk-ms', '99999999999');
        return /from 0 to 2,147,483,647/.test(await page.textContent('#clk-hint'));
      }],
      ['an error keeps Start where it was', async () => {
        await typeInto(page, '#clk-ms', '100');
        const before = await page.$eval('#clk-start', (b) => b.getBoundingClientRect().top);
        await typeInto(page, '#clk-ms', 'abc');
        return before === await page.$eval('#clk-start', (b) => b.getBoundingClientRect().top);
      }],
      ['Play with no events says so and sends nothing', async () => {
        await page.click('#play-toggle');
        return /Nothing to play/.test(await page.textContent('#rec-hint')) &&
          !(await calls(page)).some((c) => c.name === 'togglePlayback');
      }],
      ['no hotkey badge while hotkeys are off', async () => {
        await page.click('#set-hotkeysEnabled', { force: true });
        await page.waitForSelector('#clk-hotkey', { state: 'hidden' });
        return page.isHidden('#play-hotkey');
      }],
      ['the header does not say Idle beside a running clicker', async () => {
        await typeInto(page, '#clk-ms', '100');
        await page.click('#clk-start');
        await page.waitForSelector('#app-clicking', { state: 'visible' });
        return page.isHidden('#app-state');
      }],
    ];
    for (const [what, check] of cases) assert.ok(await check(), what);
    assert.deepEqual(errors, []);
    await page.close();
  });

  test('the event table names each button and key with its edge; a pair is deleted whole; an early time shows', async () => {
    const { page, errors } = await openPage(browser, { events: 0 });
    await page.evaluate(() => {
      window.__fake.state.profiles[0].events = [
        { kind: 2, x: 800, y: 300, flags: 0x8, time: 0 }, { kind: 2, x: 800, y: 300, flags: 0x10, time: 0.1 },
        { kind: 3, vk: 65, down: true, time: 0.5 }, { kind: 3, vk: 65, down: false, time: 0.2 },
        { kind: 4, delta: 240, time: 0.6 }];
    });
    await page.waitForSelector('#ev-body tr[data-index="4"]');
    const labels = await page.$$eval('#ev-body tr:not(.spacer) .ev-desc', (l) => l.map((td) => td.textContent));
    assert.deepEqual(labels, ['Right down at 800, 300', 'Right up at 800, 300', 'A down', 'A up', 'Wheel up 2 notches']);
    assert.deepEqual(await page.$$eval('#ev-body tr.ev-early', (l) => l.map((tr) => tr.dataset.index)), ['3']);
    await clearCalls(page);
    await page.click('#ev-body tr[data-index="0"] .ev-del');
    await page.click('#confirm-ok');
    await page.waitForFunction(() => document.getElementById('ev-count').textContent === '3');
    assert.deepEqual((await calls(page)).filter((c) => c.name === 'deleteEvent').map((c) => c.args[0]), [1, 0]);
    assert.deepEqual(errors, []);
    await page.close();
  });

  test('only the main window shows where a dragged panel docks', async () => {
    const html = injectPanelScript(buildPage(), 'clicker-panel', 'modern-blue');
    const panel = await openPage(browser, { panel: true }, { html });
    await panel.page.evaluate(() => {
      window.__fake.state.statusFile = window.__fake.answer('getTrackerStatus').replace('"panelHover":false', '"panelHover":true');
    });
    await panel.page.waitForTimeout(600);
    assert.ok(await panel.page.isHidden('#drop-zone'));
    await panel.page.close();
  });
});

// While an engine runs its panel shows the rate asked for beside the rate
// the program measures, marked when the machine falls behind; stopped, none.
// Both are the program's: an interval set elsewhere (a pop-out, the pipe)
// shows in the field and in the rate asked for.
test('a running engine shows the rate it achieves beside the rate the program asks for', async () => {
  const { page, errors } = await openPage(browser, { heldStatus: true });
  await waitForCall(page, 'getMacroEvents');
  const line = async (id) => page.$eval(id, (el) => [el.hidden, el.textContent, el.dataset.behind]);
  for (const { running, rateKey, id, msKey, field } of [
    { running: 'autoClicking', rateKey: 'clickRate', id: '#clk-rate', msKey: 'sms', field: '#clk-ms' },
    { running: 'keySpamming', rateKey: 'keySpamRate', id: '#ks-rate', msKey: 'ksms', field: '#ks-ms' },
  ]) {
    assert.equal((await line(id))[0], true, 'nothing while stopped');
    await page.evaluate((key) => { window.__fake.state.clicker[key] = 200; }, msKey);
    await page.waitForFunction((sel) => document.querySelector(sel).value === '200', field);
    for (const [rate, text, behind] of [
      [0, '5/s asked · measuring…', 'false'],
      [4.8, '5/s asked · 4.8/s achieved', 'false'],
      [2.1, '5/s asked · 2.1/s achieved', 'true'],
    ]) {
      await page.evaluate((values) => window.__fake.set(values), { [running]: true, [rateKey]: rate });
      await page.waitForFunction(([sel, want]) => document.querySelector(sel).textContent === want, [id, text]);
      assert.deepEqual(await line(id), [false, text, behind]);
    }
    await page.evaluate((values) => window.__fake.set(values), { [running]: false, [rateKey]: 0 });
    await page.waitForFunction((sel) => document.querySelector(sel).hidden, id);
  }
  assert.deepEqual(errors, []);
  await page.close();
});

// The key spammer's keys (or a macro's) may land in Varnet's own window: while
// either runs they scroll, type into a focused field and press nothing.
test('while the key spammer or playback runs, keys reaching the page change nothing on it', async () => {
  const { page, errors } = await openPage(browser);
  await page.setViewportSize({ width: 420, height: 300 });
  // Focus scrolls a control into view; the keys must not move it further.
  const pressOn = async (selector) => {
    await page.focus(selector);
    const scrolled = await page.evaluate(() => window.scrollY);
    for (const key of ['Space', '7', 'PageDown', 'Enter']) await page.keyboard.press(key);
    assert.equal(await page.evaluate(() => window.scrollY), scrolled, selector);
  };
  for (const [running, shown] of [[{ keySpamming: true }, '#ks-stop[data-on="true"]'], [{ playing: true }, '#play-toggle[data-on="true"]']]) {
    await page.evaluate((values) => window.__fake.set(values), running);
    await page.waitForSelector(shown);
    await pressOn('#clk-ms');
    await pressOn('#clk-start');
    assert.equal(await page.inputValue('#clk-ms'), '100');
    assert.ok(!(await page.evaluate(() => window.__fake.names().some((n) => n === 'startSpammer' || n === 'updateSpammer'))));
    // Stopped, the page takes keys again.
    await page.evaluate((values) => window.__fake.set(Object.fromEntries(Object.keys(values).map((k) => [k, false]))), running);
    await page.waitForSelector(shown, { state: 'detached' });
    await page.focus('#clk-ms');
    await page.keyboard.press('End');
    await page.keyboard.type('5');
    assert.equal(await page.inputValue('#clk-ms'), '1005');
    await page.fill('#clk-ms', '100');
    await clearCalls(page);
  }
  assert.deepEqual(errors, []);
  await page.close();
});
