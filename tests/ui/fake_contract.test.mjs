// The page's fake against the program: the build records what the program's
// own call table answers to the calls in tests/contract/page_calls.txt
// (build/page_answers.json); the fake must give the same texts, byte for byte.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import vm from 'node:vm';
import { ANSWERS, FAKE_SOURCE, RECORDED, eventList } from './harness.mjs';

// scripts/test names the build it made, whose recording must then be there.
const missing = !RECORDED && `${ANSWERS} is not built (the target varnet_page_answers_json makes it)`;
const skip = !process.env.VARNET_BUILD_DIR && missing;
if (skip) console.log(`# fake contract skipped: ${skip}`);

function freshFake(version, { panel, events }) {
  const window = { __fakeOptions: { events: 0, panel } };
  vm.runInNewContext(FAKE_SOURCE, { window, performance, setTimeout });
  window.__fake.state.version = version;
  if (events) window.__fake.setEventLines(eventList(events));
  return window.__fake;
}

test('the fake answers every recorded call as the program did', { skip }, () => {
  assert.equal(missing, false);
  assert.ok(RECORDED.sequences.length > 0);
  for (const [n, sequence] of RECORDED.sequences.entries()) {
    const fake = freshFake(RECORDED.version, sequence);
    for (const [step, [name, args, expected]] of sequence.calls.entries()) {
      assert.notEqual(expected, null, `the program has no call ${name}`);
      assert.equal(fake.answer(name, args), expected, `sequence ${n + 1}, call ${step + 1}: ${name} ${args}`);
    }
  }
});

// The fake thins a list only as the recording says, and says so when the
// recording has no answer for the list it holds.
test('the fake serves a recorded thinning and refuses a list it has none for', async (t) => {
  const lines = '0,0,0,0,0,0,0,0\n0,0.1,3,4,0,0,0,0\n0,0.2,50,50,0,0,0,0\n';
  const listText = (events) => `[${events.map(([x, y, time], id) =>
    `{"id":${id},"time":${time.toFixed(6)},"desc":"Abs Move to X:${x} Y:${y}","kind":0,"x":${x},"y":${y}}`).join(',')}]`;
  const held = listText([[0, 0, 0], [3, 4, 0.1], [50, 50, 0.2]]);
  const cases = [
    { name: 'the recorded answer', lines, thinnings: { [held]: listText([[0, 0, 0], [50, 50, 0.2]]) },
      after: listText([[0, 0, 0], [50, 50, 0.2]]), undo: 'optimising away 1 moves' },
    { name: 'a recorded answer that keeps every event', lines, thinnings: { [held]: held }, after: held, undo: '' },
    { name: 'an empty list, which asks for no answer', lines: '', thinnings: {}, after: '[]', undo: '' },
    { name: 'a list with no recorded answer', lines, thinnings: {},
      refused: /no recorded thinning of this list \(3 events\): start a sequence of tests\/contract\/page_calls\.txt from it with @events/ },
    { name: 'an answer that is no selection of the list', lines, thinnings: { [held]: listText([[0, 0, 0], [4, 4, 0.1]]) },
      refused: /recorded thinning of this list is no selection of its events/ },
  ];
  for (const c of cases) {
    await t.test(c.name, () => {
      const window = { __fakeOptions: { events: 0, eventLines: c.lines } };
      vm.runInNewContext(FAKE_SOURCE, { window, performance, setTimeout });
      window.__recordedThinnings = c.thinnings;
      const fake = window.__fake;
      if (c.refused) {
        assert.throws(() => fake.answer('optimizeMacro'), c.refused);
        assert.equal(fake.answer('getMacroEvents'), held);
        return;
      }
      assert.equal(fake.answer('optimizeMacro'), '');
      assert.equal(fake.answer('getMacroEvents'), c.after);
      assert.equal(fake.answer('getUndoState'), JSON.stringify({ undo: c.undo, redo: '' }));
    });
  }
});
