// The fake of the program must answer in the program's exact texts, or the
// browser tests would pass against answers the page never gets.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import vm from 'node:vm';
import { FAKE_SOURCE } from './harness.mjs';

function loadFake(options = {}) {
  const window = { __fakeOptions: options };
  vm.runInNewContext(FAKE_SOURCE, { window, performance, setTimeout });
  return window.__fake;
}

// The defaults and how the calls read their arguments are compared with
// the program's own answers in fake_contract.test.mjs.

test('an event list of one key press is the program\'s text', () => {
  const fake = loadFake({ events: 0 });
  fake.state.profiles[0].events = [{ kind: 3, vk: 65, down: true, time: 0.5 }];
  const text = fake.answer('getMacroEvents');
  assert.equal(text, '[{"id":0,"time":0.500000,"desc":"Keyboard VK: 65 (DOWN)","kind":3,"key":"A","down":true}]');
});
