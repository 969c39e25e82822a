// One step of each engine loop, so the loops' behaviour can be driven step by
// step (the worker threads below just repeat them while running).
#pragma once

// Auto-clicker: sleeps until woken while off; otherwise ends a finished counted run,
// or does one click action and waits out the interval.
void autoClickerStep();
// Key spammer: as the auto-clicker, with one press and release of the target.
void keySpamStep();
// Releases the key spammer's target and its modifiers, as a stop must.
void releaseKeySpamTarget();
// Control thread: applies a captured reassignment and the four toggle
// requests, in that order, sending the releases of an engine that stops.
void controlPass();

// Each engine thread's own rate window and random source back to those of a
// thread that has not run yet, so a process that runs an engine again from
// the start (the tests do, many times over) gets the same first run each time.
void forgetAutoClickerThreadState();
void forgetKeySpamThreadState();

// The bodies of the engines' worker threads; each runs until running is cleared.
void autoClickerThread();
void keySpamThread();
void controlThread();
