// At rest the page costs nothing: a poll that brings nothing new changes no
// element, and a hidden window polls at a slow pace.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { startBrowser, openPage } from './harness.mjs';

let browser;
before(async () => { browser = await startBrowser(); });
after(async () => { await browser.close(); });

// Lets the test say whether the page is hidden; the polls get stamped.
async function controlVisibility(context) {
  await context.addInitScript(() => {
    window.__pollTimes = [];
    window.__hidden = false;
    Object.defineProperty(document, 'visibilityState', { get: () => (window.__hidden ? 'hidden' : 'visible') });
  });
}

const pollsSoFar = (page) => page.evaluate(() => window.__pollTimes.length);
async function waitForPolls(page, count) {
  const from = await pollsSoFar(page);
  await page.waitForFunction((n) => window.__pollTimes.length >= n, from + count, { timeout: 20000 });
}

test('polls with nothing new change nothing; a change shows; hidden, the page polls once a second', async () => {
  await controlVisibility(browser.context);
  const { page: p, errors } = await openPage(browser, { events: 3 });
  await p.evaluate(() => {
    const poll = window.getTrackerStatus;
    window.getTrackerStatus = (...args) => { window.__pollTimes.push(performance.now()); return poll(...args); };
  });
  await waitForPolls(p, 2);

  await p.evaluate(() => {
    window.__mutations = 0;
    new MutationObserver((list) => { window.__mutations += list.length; })
      .observe(document, { subtree: true, childList: true, attributes: true, characterData: true });
  });
  await waitForPolls(p, 3);
  assert.equal(await p.evaluate(() => window.__mutations), 0);

  await p.evaluate(() => window.__fake.set({ autoClicking: true }));
  await p.waitForFunction(() => document.getElementById('clk-state').textContent === 'Running');
  assert.ok(await p.evaluate(() => window.__mutations) > 0);

  await p.evaluate(() => { window.__hidden = true; document.dispatchEvent(new Event('visibilitychange')); });
  await waitForPolls(p, 3);
  const gap = await p.evaluate(() => { const t = window.__pollTimes; return t[t.length - 1] - t[t.length - 2]; });
  assert.ok(gap >= 900, `${gap.toFixed(0)} ms between two polls of a hidden page`);
  assert.deepEqual(errors, []);
  await p.close();
});

test('the main window waits on a held poll: no calls while idle, a change or a new theme shows at once', async () => {
  const { page: p, errors } = await openPage(browser, { heldStatus: true });
  await p.evaluate(() => {
    window.__heldAt = [];
    const wait = window.waitForStatus;
    window.waitForStatus = (...args) => { window.__heldAt.push(performance.now()); return wait(...args); };
  });
  // A page polling at its own pace would ask again every 250 ms and never get here.
  await p.waitForFunction(() => window.__heldAt.length > 0 && performance.now() - window.__heldAt.at(-1) > 1200,
    null, { timeout: 5000 });
  await p.evaluate(() => window.__fake.set({ autoClicking: true }));
  await p.waitForFunction(() => document.getElementById('clk-state').textContent === 'Running', null, { timeout: 1000 });
  await p.evaluate(() => window.__fake.set({ theme: 'midnight' }));
  await p.waitForFunction(() => document.documentElement.dataset.theme === 'midnight', null, { timeout: 1000 });
  assert.deepEqual(errors, []);
  await p.close();
});
