// What the program has to tell the user: a failed save stays on the page
// until a save succeeds again, and a start-up notice until it is dismissed.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { startBrowser, openPage, waitForCall, clearCalls, calls } from './harness.mjs';

let browser;
before(async () => { browser = await startBrowser(); });
after(async () => { await browser.close(); });

const kept = 'Your session file could not be read, so Varnet started with a new default profile. ' +
  'The file was kept, unchanged, as /home/u/.local/share/Varnet/session.mcr.unreadable-20261207-121500.';
const failed = 'Could not save /home/u/.local/share/Varnet/session.mcr ' +
  '(cannot create a temporary file: Read-only file system)';

const removed = 'The system removed the input hooks 2 times (it was too busy to wait for them); they were put back.';

const refused = 'the folder /tmp/varnet-1000 is a link, not a folder of its own';

// Each warning stays, undismissable, for as long as the status reports it.
for (const { key, id, problem, shown } of [
  { key: 'saveError', id: 'save-error', problem: failed, shown: failed },
  { key: 'hookProblem', id: 'hook-problem', problem: removed, shown: removed },
  { key: 'pipeProblem', id: 'pipe-problem', problem: refused,
    shown: 'Panels cannot pop out: ' + refused + '. They stay in this window until that is fixed.' },
]) {
  test(`${key} is shown until the status stops reporting it`, async () => {
    const { page, errors } = await openPage(browser);
    await waitForCall(page, 'getMacroEvents');
    assert.equal(await page.$('#' + id), null);
    await page.evaluate(([k, text]) => window.__fake.set({ [k]: text }), [key, problem]);
    await page.waitForSelector('#' + id);
    assert.equal(await page.textContent(`#${id} .notice-text`), shown);
    assert.equal(await page.$(`#${id} button`), null, 'it cannot be dismissed while it lasts');
    const popOutsShown = () => page.$$eval('.panel-btn', (list) => list.filter((b) => b.offsetParent).length);
    if (key === 'pipeProblem') assert.equal(await popOutsShown(), 0, 'no pop-out without the pipe');
    await page.evaluate((k) => window.__fake.set({ [k]: '' }), key);
    await page.waitForSelector('#' + id, { state: 'detached' });
    assert.ok(await popOutsShown() > 0);
    assert.deepEqual(errors, []);
    await page.close();
  });
}

test('a start-up notice names the kept file and stays until dismissed', async () => {
  const { page, errors } = await openPage(browser, { notices: [kept] });
  await page.waitForSelector('#notices .notice');
  assert.equal(await page.textContent('#notices .notice-text'), kept);
  await clearCalls(page);
  await waitForCall(page, 'getTrackerStatus');  // a poll later, it is still there
  assert.equal(await page.$$eval('#notices .notice', (list) => list.length), 1);
  await page.click('#notices .notice-dismiss');
  assert.equal(await page.$('#notices .notice'), null);
  assert.deepEqual(errors, []);
  await page.close();
});

test('a pop-out window shows the failed save from the status file and has no notices call', async () => {
  const { page } = await openPage(browser, { panel: true });
  await page.evaluate((text) => { window.__fake.set({ saveError: text }); window.__fake.writeSideFiles(); }, failed);
  await page.waitForSelector('#save-error');
  assert.equal(await page.evaluate(() => typeof window.getNotices), 'undefined');
  await page.close();
});

test('a call that fails is shown with its reason until it succeeds again', async () => {
  const { page, errors } = await openPage(browser);
  await waitForCall(page, 'getMacroEvents');
  await page.evaluate(() => {
    const answer = window.exportProfile;
    window.exportProfile = () => Promise.reject(new Error('disk full'));
    window.__restoreExport = () => { window.exportProfile = answer; };
  });
  await page.click('#profile-export');
  await page.waitForSelector('#call-failed-exportProfile');
  assert.match(await page.textContent('#call-failed-exportProfile .notice-text'), /exportProfile.*disk full/);
  await page.evaluate(() => window.__restoreExport());
  await page.click('#profile-export');
  await page.waitForSelector('#call-failed-exportProfile', { state: 'detached' });
  assert.deepEqual(errors, []);
  await page.close();
});

test('a pop-out tells of its status file only once it stays unreadable', async () => {
  const { page, errors } = await openPage(browser, { panel: true });
  await page.evaluate(() => window.__fake.writeSideFiles());
  await page.evaluate(() => {
    window.__fake.state.statusFile = '{"state":"Recording","cou';
    window.__fake.clear();
  });
  // A half-written read or two is an ordinary race with the writer.
  await page.waitForSelector('#call-failed-getTrackerStatus');
  const reads = (await calls(page)).filter((c) => c.name === 'getTrackerStatus').length;
  assert.ok(reads >= 3, reads + ' reads');
  assert.equal(await page.textContent('#rec-state'), 'Idle');
  await page.evaluate(() => window.__fake.writeSideFiles());
  await page.waitForSelector('#call-failed-getTrackerStatus', { state: 'detached' });
  assert.deepEqual(errors, []);
  await page.close();
});

test('the first start explains the edition and the default profile once', async () => {
  const { page } = await openPage(browser);
  await page.waitForSelector('#welcome-notice', { state: 'visible' });
  const text = await page.textContent('#welcome-notice p');
  assert.match(text, /Kestrine Edition/);
  assert.match(text, /Default Tracking Profile/);
  assert.equal(text.trim().split(/\.\s/).length, 1, 'one sentence');
  await page.click('#welcome-dismiss');
  await page.waitForSelector('#welcome-notice', { state: 'hidden' });
  assert.equal(await page.evaluate(() => window.__fake.state.app.welcomeDismissed), true);
  await page.close();
});
