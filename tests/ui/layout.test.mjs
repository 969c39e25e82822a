// The page holds still and fits its window: in each state an engine goes
// through, at the smallest, the default and a wide window, the Start and Stop
// a person aims at stay where they were and in view, and no control sticks
// out of its panel. Checked in the main window and in a pop-out.
import { test, before, after, describe } from 'node:test';
import assert from 'node:assert/strict';
import { startBrowser, openPage, typeInto, buildPage, injectPanelScript } from './harness.mjs';

let browser;
let builtPage;
before(async () => {
  browser = await startBrowser();
  builtPage = buildPage();
});
after(async () => { await browser.close(); });

const SIZES = [[380, 360], [420, 560], [1200, 900]];
const SCROLLS = ['top', 'bottom'];

// The clicker's state as the program reports it: in the main window through
// the fake's state, in a pop-out through the status file it reads.
async function setClicking(page, inPanel, autoClicking, clickRate) {
  await page.evaluate(([on, rate, panel]) => {
    window.__fake.set({ autoClicking: on, clickRate: rate });
    if (panel) {
      const st = JSON.parse(window.__fake.answer('getTrackerStatus'));
      window.__fake.state.statusFile = JSON.stringify({ ...st, autoClicking: on, clickRate: rate });
    }
  }, [autoClicking, clickRate, inPanel]);
}

// Each state is entered from the one before, as a person would go through them.
const STATES = [
  ['stopped', async () => {}],
  ['starting with a delay', async (page) => {
    await page.selectOption('#clk-delay', '10000');
    await page.click('#clk-start');
    await page.waitForFunction(() => /^In \d+ s$/.test(document.querySelector('#clk-start .run-label').textContent));
  }],
  ['running with the rate line', async (page, inPanel) => {
    await page.click('#clk-stop');
    await page.selectOption('#clk-delay', '0');
    await setClicking(page, inPanel, true, 4.5);
    await page.waitForFunction(() => /achieved/.test(document.getElementById('clk-rate').textContent));
  }],
  ['error shown', async (page, inPanel) => {
    await setClicking(page, inPanel, false, 0);
    await page.waitForSelector('#clk-stop:disabled');
    await typeInto(page, '#clk-ms', 'abc');
    await page.click('#clk-start');
    await page.waitForFunction(() => document.getElementById('clk-hint').textContent.startsWith('Not started'));
  }],
  // Chromium lays a panel that comes back out right; the program's web view
  // did not (MainWindow.APanelDockedBackIsAsTallAsBeforeItLeft checks it there).
  ['docked back', async (page, inPanel) => {
    await typeInto(page, '#clk-ms', '100');
    await page.click('#clk-start');
    await page.waitForFunction(() => document.getElementById('clk-hint').textContent === '');
    await setClicking(page, inPanel, false, 0);
    if (inPanel) return;
    await page.click('#clicker-panel .panel-btn');
    await page.waitForSelector('#clicker-panel', { state: 'hidden' });
    await page.evaluate(() => window.__fake.endPanel('clicker-panel'));
    await page.waitForSelector('#clicker-panel', { state: 'visible' });
  }],
];

// Boxes in page coordinates (a scrolled page moves them all alike), those
// of the sticky run bar in the view's, and whether each lies wholly inside
// the view.
async function measure(page, ids) {
  return page.evaluate((list) => Object.fromEntries(list.map((id) => {
    const el = document.getElementById(id);
    const r = el.getBoundingClientRect();
    const inView = r.top >= 0 && r.left >= 0 && r.bottom <= innerHeight && r.right <= innerWidth && r.width > 0;
    const [dx, dy] = el.closest('.run-bar') ? [0, 0] : [scrollX, scrollY];
    return [id, { x: r.left + dx, y: r.top + dy, w: r.width, h: r.height, inView }];
  })), ids);
}

// Every visible element of every shown panel, against its panel's box.
async function overflowing(page) {
  return page.evaluate(() => {
    const out = [];
    for (const panel of document.querySelectorAll('.panel')) {
      if (panel.offsetParent === null) continue;
      const p = panel.getBoundingClientRect();
      for (const el of panel.querySelectorAll('*')) {
        const r = el.getBoundingClientRect();
        if (r.width === 0 || el.closest('.events, [hidden]')) continue;
        if (r.right > p.right + 0.5 || r.left < p.left - 0.5) out.push(`${panel.id} ${el.tagName}#${el.id}.${el.className} ${r.left}..${r.right} outside ${p.left}..${p.right}`);
      }
    }
    return out;
  });
}

for (const [where, inPanel] of [['main window', false], ['pop-out', true]]) {
  describe(`the ${where} holds still`, () => {
    for (const [width, height] of SIZES) {
      test(`at ${width} × ${height}`, async () => {
        const opened = inPanel
          ? await openPage(browser, { panel: true }, { html: injectPanelScript(builtPage, 'clicker-panel', 'modern-blue') })
          : await openPage(browser);
        const { page, errors } = opened;
        await page.setViewportSize({ width, height });
        // What a person aims at: the run bar in the main window, the panel's own buttons in either.
        const aimed = inPanel ? ['clk-start', 'clk-stop'] : ['rb-clk-start', 'rb-clk-stop', 'clk-start', 'clk-stop'];
        const alwaysInView = inPanel ? aimed : ['rb-clk-start', 'rb-clk-stop', 'rb-ks-start', 'rb-ks-stop', 'rb-play'];
        const first = {};
        for (const [state, enter] of STATES) {
          await enter(page, inPanel);
          for (const scrolled of SCROLLS) {
            await page.evaluate((top) => scrollTo(0, top ? 0 : document.body.scrollHeight), scrolled === 'top');
            const boxes = await measure(page, [...aimed, ...alwaysInView]);
            first[scrolled] = first[scrolled] || boxes;
            for (const id of aimed) {
              const { inView, ...box } = boxes[id];
              const { inView: _, ...was } = first[scrolled][id];
              assert.deepEqual(box, was, `${id} moved when ${state}, page scrolled to the ${scrolled}`);
            }
            for (const id of alwaysInView) assert.ok(boxes[id].inView, `${id} out of view when ${state}, page scrolled to the ${scrolled}`);
          }
          assert.deepEqual(await overflowing(page), [], `overflow when ${state}`);
        }
        assert.deepEqual(errors, []);
        await page.close();
      });
    }
  });
}

// The other pop-outs' run buttons, wherever their window is scrolled to.
test('a pop-out keeps its run buttons in view at its small and its default size', async () => {
  const RUN_BUTTONS = { 'keyspam-panel': ['ks-start', 'ks-stop'], 'recorder-panel': ['rec-toggle', 'play-toggle'] };
  for (const [panel, ids] of Object.entries(RUN_BUTTONS)) {
    const { page } = await openPage(browser, { panel: true }, { html: injectPanelScript(builtPage, panel, 'modern-blue') });
    for (const [width, height] of SIZES.slice(0, 2)) {
      await page.setViewportSize({ width, height });
      for (const share of [0, 0.5, 1]) {
        await page.evaluate((s) => scrollTo(0, s * (document.body.scrollHeight - innerHeight)), share);
        const boxes = await measure(page, ids);
        for (const id of ids) assert.ok(boxes[id].inView, `${panel} at ${width} × ${height}: ${id} out of view scrolled to ${share}`);
      }
    }
    await page.close();
  }
});

test('the layout uses the window: one column at the default width, three when wide', async () => {
  const { page } = await openPage(browser);
  for (const [width, columns] of [[420, 1], [800, 2], [1200, 3]]) {
    await page.setViewportSize({ width, height: 700 });
    const lefts = await page.$$eval('#dashboard > .panel', (list) =>
      [...new Set(list.filter((p) => p.offsetParent !== null).map((p) => Math.round(p.getBoundingClientRect().left)))]);
    assert.equal(lefts.length, columns, `at ${width} px: columns at ${lefts}`);
  }
  await page.close();
});

test('profile messages: a success in the success colour, a failure in red, gone after a cancel or a switch', async () => {
  const { page } = await openPage(browser, { profiles: ['One', 'Two'] });
  const colourOf = (id) => page.$eval(id, (el) => getComputedStyle(el).color);
  const red = await colourOf('#clk-hint');
  const steps = [
    // [what the dialog answers, what the page then does, the message expected, whether it is red]
    [{ path: '/tmp/One.mcr', error: '', name: 'One' }, '#profile-export', /^Exported "One" to \/tmp\/One.mcr/, false],
    ['', '#profile-export', /^$/, null],
    [{ path: '/nope/One.mcr', error: 'the folder does not exist', name: '' }, '#profile-export', /^Could not export/, true],
    [{ path: '/tmp/One.mcr', error: '', name: 'One' }, '#profile-import', /^Imported/, false],
    [null, '.profile-item:not([aria-current="true"])', /^$/, null],
  ];
  for (const [answer, click, message, isRed] of steps) {
    if (answer !== null) {
      await page.evaluate((a) => { window.__fake.state.fileAnswer = a; }, answer);
    }
    await page.click(click);
    await page.waitForFunction((re) => new RegExp(re).test(document.getElementById('profile-hint').textContent), message.source);
    if (isRed !== null) assert.equal((await colourOf('#profile-hint')) === red, isRed, `colour after ${click}: ${message}`);
  }
  await page.close();
});
