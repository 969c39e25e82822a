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

test('default answers are the program\'s texts, byte for byte', () => {
  const fake = loadFake({ events: 0 });
  assert.equal(fake.answer('getSettings'),
    '{"sh":0,"sm":0,"ss":0,"sms":100,"sbtn":0,"stype":0,"rptMode":1,"rptTimes":10,"locMode":0,"fixedX":0,"fixedY":0,' +
    '"tmv":true,"tclk":true,"tscr":true,"tkey":true,"trel":false,"tspd":1,"tloop":false,"tloopMs":500,' +
    '"ksh":0,"ksm":0,"kss":0,"ksms":100,"ksRptMode":1,"ksRptTimes":10,' +
    '"runH":0,"runM":0,"runS":0,"ksRunH":0,"ksRunM":0,"ksRunS":0,"tloopTimes":1,"rndMs":0,"holdMs":0,"areaPx":0,"ksRndMs":0}');
  assert.equal(fake.answer('getAppSettings'),
    '{"alwaysOnTop":false,"launchOnStartup":false,"startMinimized":false,"hotkeysEnabled":true,"disableAnimations":false,' +
    '"version":"1.2.3","waylandSession":false,"waylandNoticeDismissed":false,"inputThroughCompositor":false,' +
    '"inputPermission":"","gnomeDesktop":false,"welcomeDismissed":false}');
  assert.equal(fake.answer('getProfiles'), '{"current":0,"names":["Default Tracking Profile"],"cap":-1}');
  assert.equal(fake.answer('getSharedTheme'), '"modern-blue"');
  assert.equal(fake.answer('getMacroEvents'), '[]');
  assert.equal(fake.answer('getTrackerStatus'),
    '{"state":"Idle","count":0,"restore":[],"hkRec":"F8","hkPlay":"F7","hkAuto":"F6","hkKeySpam":"F9",' +
    '"keySpamTarget":"Space","reassigning":"","panelHover":false,"autoClicking":false,"keySpamming":false,' +
    '"saveError":"","picking":false,"pipeProblem":"","clickRate":0,"keySpamRate":0,"clickerRefused":"","keySpamRefused":""}');
  const panel = loadFake({ panel: true });
  assert.equal(panel.answer('getTrackerStatus'),
    '{"state":"Idle","count":0,"restore":[],"hkRec":"","hkPlay":"","hkAuto":"","hkKeySpam":"","keySpamTarget":"",' +
    '"reassigning":"","panelHover":false,"autoClicking":false,"keySpamming":false,"saveError":"","picking":false,"pipeProblem":"",' +
    '"clickRate":0,"keySpamRate":0,"clickerRefused":"","keySpamRefused":""}');
  assert.equal(panel.answer('getMacroEvents'), '[]');
});

test('arguments are read as the program reads them', () => {
  const fake = loadFake({ events: 0 });
  fake.answer('updateSpammer', '["1","2","3","4","1","1","0","5","1"]');
  assert.match(fake.answer('getSettings'), /^\{"sh":1,"sm":2,"ss":3,"sms":4,"sbtn":1,"stype":1,"rptMode":0,"rptTimes":5,"locMode":1,/);
  fake.answer('updateSpammer', '[9,9,9,9,9,9,9,9]');
  assert.match(fake.answer('getSettings'), /^\{"sh":1,/, 'eight fields change nothing');
  fake.answer('updateTracker', '[true,true,false,true,false,1.5,true,250]');
  assert.match(fake.answer('getSettings'), /"tscr":false,"tkey":true,"trel":false,"tspd":1.5,"tloop":true,"tloopMs":250,/);
  fake.answer('setAppSetting', '["alwaysOnTop",true]');
  assert.match(fake.answer('getAppSettings'), /"alwaysOnTop":false/);
  fake.answer('setAppSetting', '["alwaysOnTop",1]');
  assert.match(fake.answer('getAppSettings'), /"alwaysOnTop":true/);
  fake.answer('addProfile', '["My, [best] profile"]');
  fake.answer('addProfile', '["say \\"hi\\""]');
  assert.equal(fake.answer('getProfiles'), '{"current":2,"names":["Default Tracking Profile","My, best profile","say \\\\hi\\\\"],"cap":-1}');
  fake.answer('reassignKey', '["Rec"]');
  assert.match(fake.answer('getTrackerStatus'), /"reassigning":""/);
});

test('an event list of one key press is the program\'s text', () => {
  const fake = loadFake({ events: 0 });
  fake.state.profiles[0].events = [{ kind: 3, vk: 65, down: true, time: 0.5 }];
  const text = fake.answer('getMacroEvents');
  assert.equal(text, '[{"id":0,"time":0.500000,"desc":"Keyboard VK: 65 (DOWN)","kind":3,"key":"A","down":true}]');
});
