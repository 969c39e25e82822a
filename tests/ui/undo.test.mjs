// Undo and Redo on the page: the buttons and Ctrl+Z / Ctrl+Shift+Z take a
// change back through the program and say what the next one brings back;
// Ctrl+Z in a field being typed in stays the field's own.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { startBrowser, openPage, commandCalls, clearCalls } from './harness.mjs';

let browser;
before(async () => { browser = await startBrowser(); });
after(async () => { await browser.close(); });

const count = (p) => p.textContent('#ev-count');
const told = (p) => p.textContent('#ev-undo-what');

test('a deleted event comes back with Undo and goes again with Redo, by button and by key', async () => {
  const { page: p, errors } = await openPage(browser, { events: 6 });
  await p.waitForFunction(() => document.getElementById('ev-count').textContent === '6');
  assert.ok(await p.isDisabled('#ev-undo'));
  await p.click('#ev-body tr[data-index="0"] .ev-del');
  await p.waitForFunction(() => document.getElementById('ev-undo-what').textContent === 'Undo: deleting event 0');
  assert.equal(await count(p), '5');

  const steps = [
    { act: () => p.click('#ev-undo'), events: '6', says: 'Redo: deleting event 0' },
    { act: () => p.click('#ev-redo'), events: '5', says: 'Undo: deleting event 0' },
    { act: () => p.keyboard.press('Control+z'), events: '6', says: 'Redo: deleting event 0' },
    { act: () => p.keyboard.press('Control+Shift+Z'), events: '5', says: 'Undo: deleting event 0' },
  ];
  await p.focus('#ev-optimize');
  for (const { act, events, says } of steps) {
    await act();
    await p.waitForFunction(([n, s]) => document.getElementById('ev-count').textContent === n &&
      document.getElementById('ev-undo-what').textContent === s, [events, says]);
  }
  assert.equal(await p.getAttribute('#ev-undo', 'title'), 'Undo: deleting event 0 (Ctrl+Z)');

  // Typing in a time: Ctrl+Z is the field's.
  await clearCalls(p);
  await p.focus('#ev-body tr[data-index="0"] .ev-time');
  await p.keyboard.type('9');
  await p.keyboard.press('Control+z');
  await p.keyboard.press('Escape');
  assert.deepEqual((await commandCalls(p)).filter((c) => /Change$/.test(c.name)), []);
  assert.equal(await told(p), 'Undo: deleting event 0');
  assert.deepEqual(errors, []);
});

test('a pop-out window, which cannot undo, shows no Undo or Redo', async () => {
  const { page: p } = await openPage(browser, { panel: true });
  await p.waitForFunction(() => document.getElementById('ev-undo').hidden);
  assert.ok(await p.isHidden('#ev-redo'));
});
