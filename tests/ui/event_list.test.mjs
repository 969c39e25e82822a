// A recording of 100,000 events: the list must arrive, stay usable and keep
// the page responsive. Only rows in view exist in the document, and only the
// stretch of the list around them crosses the bridge.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { startBrowser, openPage, calls, clearCalls } from './harness.mjs';

const EVENTS = 100000;
let browser;
before(async () => { browser = await startBrowser(); });
after(async () => { await browser.close(); });

// Records every main-thread task longer than 50 ms from the first moment.
async function watchLongTasks(context) {
  await context.addInitScript(() => {
    window.__longTasks = [];
    new PerformanceObserver((list) => {
      for (const entry of list.getEntries()) window.__longTasks.push(entry.duration);
    }).observe({ type: 'longtask', buffered: true });
  });
}

test('100,000 events render, scroll and edit without freezing the page', async (t) => {
  await watchLongTasks(browser.context);

  const started = Date.now();
  const { page: p, errors } = await openPage(browser, { events: EVENTS, eventWindow: true });
  await p.waitForFunction(() => document.getElementById('ev-count').textContent === '100,000', null, { timeout: 20000 });
  await p.waitForSelector('#ev-body tr[data-index="0"]');
  const loadMs = Date.now() - started;

  const rows = await p.$$eval('#ev-body tr:not(.spacer)', (l) => l.length);
  assert.ok(rows > 0 && rows < 60, `${rows} rows in the document`);

  // The keyboard walks the rows; rows scroll into being under it.
  await p.focus('#ev-body tr[data-index="0"] .ev-time');
  for (let i = 0; i < 20; i++) await p.keyboard.press('ArrowDown');
  assert.equal(await p.evaluate(() => document.activeElement.closest('tr').dataset.index), '20');
  assert.ok(await p.isVisible('#ev-body tr[data-index="20"] .ev-time'));
  await p.keyboard.press('ArrowUp');
  assert.equal(await p.evaluate(() => document.activeElement.closest('tr').dataset.index), '19');

  // Scroll to the end: the last event is reachable and drawn.
  const scrollMs = await p.evaluate(async () => {
    const box = document.getElementById('ev-scroll');
    const t0 = performance.now();
    box.scrollTop = box.scrollHeight;
    await new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r)));
    return performance.now() - t0;
  });
  const lastRow = p.locator('#ev-body tr[data-index="99999"]');
  await lastRow.waitFor();
  assert.equal(await lastRow.locator('.ev-id').textContent(), '99999');
  assert.ok(await lastRow.isVisible());

  // The page answers while the list is loaded: a poll still runs, a click
  // still reaches the program.
  await clearCalls(p);
  const clickStarted = Date.now();
  await lastRow.locator('.ev-del').click();
  await p.waitForFunction(() => document.getElementById('ev-count').textContent === '99,999', null, { timeout: 20000 });
  const deleteMs = Date.now() - clickStarted;
  const sent = (await calls(p)).find((c) => c.name === 'deleteEvent');
  assert.deepEqual(sent.args, [99999]);

  const reads = await p.evaluate(() => window.__fake.calls.filter((c) => c.name === 'getEventWindow').map((c) => c.args));
  assert.ok(reads.every(([, count]) => count <= 1000), JSON.stringify(reads));
  assert.ok(!(await p.evaluate(() => window.__fake.names())).includes('getMacroEvents'));

  const longest = await p.evaluate(() => Math.max(0, ...(window.__longTasks || [])));
  const fakeBuildMs = await p.evaluate(() => window.__fake.handlerMs.getEventWindow);
  t.diagnostic(`open to 100,000 rows shown: ${loadMs} ms`);
  t.diagnostic(`scroll to the end and draw: ${scrollMs.toFixed(1)} ms`);
  t.diagnostic(`delete the last row, re-read the rows in view and redraw: ${deleteMs} ms`);
  t.diagnostic(`longest main-thread task: ${longest.toFixed(0)} ms, of which the fake spent ${fakeBuildMs.toFixed(1)} ms on its last window of the list`);
  t.diagnostic(`rows in the document: ${rows}`);
  assert.deepEqual(errors, []);
  await p.close();
});

// The wheel over the list moves the list while it can, and the page once it
// cannot (an empty list never holds the page still).
test('the wheel over the event list scrolls the page when the list cannot', async () => {
  const { page: p } = await openPage(browser, { events: 300, eventWindow: true });
  await p.waitForSelector('#ev-body tr[data-index="0"]');
  await p.evaluate(() => document.getElementById('ev-scroll').scrollIntoView({ block: 'center' }));
  const box = await p.locator('#ev-scroll').boundingBox();
  await p.mouse.move(box.x + box.width / 2, box.y + box.height / 2);
  const scrolled = () => p.evaluate(() => [document.getElementById('ev-scroll').scrollTop, document.scrollingElement.scrollTop]);
  const [listBefore, pageBefore] = await scrolled();
  await p.mouse.wheel(0, 200);
  await p.waitForFunction((top) => document.getElementById('ev-scroll').scrollTop > top, listBefore);
  assert.equal((await scrolled())[1], pageBefore, 'the list scrolls first');
  // At the list's top, up moves the page.
  await p.evaluate(() => { document.getElementById('ev-scroll').scrollTop = 0; });
  await p.mouse.wheel(0, -200);
  await p.waitForFunction((top) => document.scrollingElement.scrollTop < top, pageBefore);
  await p.close();
});
