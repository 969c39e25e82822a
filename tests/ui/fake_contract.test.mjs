// The page's fake against the program: the build records what the program's
// own call table answers to the calls in tests/contract/page_calls.txt
// (build/page_answers.json); the fake must give the same texts, byte for byte.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { existsSync, readFileSync } from 'node:fs';
import path from 'node:path';
import vm from 'node:vm';
import { FAKE_SOURCE, ROOT } from './harness.mjs';

// scripts/test names the build it made, whose recording must then be there.
const ANSWERS = process.env.VARNET_BUILD_DIR
  ? path.join(process.env.VARNET_BUILD_DIR, 'page_answers.json')
  : path.join(ROOT, 'build', 'page_answers.json');
const missing = !existsSync(ANSWERS) && `${ANSWERS} is not built (the target varnet_page_answers_json makes it)`;
const skip = !process.env.VARNET_BUILD_DIR && missing;
if (skip) console.log(`# fake contract skipped: ${skip}`);

function freshFake(version, panel) {
  const window = { __fakeOptions: { events: 0, panel } };
  vm.runInNewContext(FAKE_SOURCE, { window, performance, setTimeout });
  window.__fake.state.version = version;
  return window.__fake;
}

test('the fake answers every recorded call as the program did', { skip }, () => {
  assert.equal(missing, false);
  const recorded = JSON.parse(readFileSync(ANSWERS, 'utf8'));
  assert.ok(recorded.sequences.length > 0);
  for (const [n, sequence] of recorded.sequences.entries()) {
    const fake = freshFake(recorded.version, sequence.panel);
    for (const [step, [name, args, expected]] of sequence.calls.entries()) {
      assert.notEqual(expected, null, `the program has no call ${name}`);
      assert.equal(fake.answer(name, args), expected, `sequence ${n + 1}, call ${step + 1}: ${name} ${args}`);
    }
  }
});
