// The main page's status poll, held while nothing changes: the page asks with
// the version of what it shows and is answered when the status report or the
// theme moves on, when anything runs, or after a few seconds. An idle window
// then costs one call every few seconds instead of four a second.
#pragma once

// Binds "waitForStatus" into the main web view and makes it the target of the
// watcher's checks. UI thread, once.
void bindStatusWait(void* webview);

// The watcher: sleeps until the state changes (or the backstop passes) and,
// while a poll is held, has the UI thread look again. Runs until shutdown.
void statusWatchThread();
