#pragma once
// Reaching the UI thread from other threads. The window-system layer runs on
// one thread (the one that called Initialise); these two calls, and
// PostMessage, may be made from any thread.

#include <functional>

namespace plat {

// Runs `task` on the UI thread, exactly once, from whichever message loop
// retrieves messages next (GetMessage, PeekMessage, WaitMessage; nested loops
// included), before that loop looks at its queue. A loop blocked waiting for
// input wakes up for it. Tasks run in posting order. A GetMessage that ran
// tasks and found no message returns WM_NULL for no window (dispatching it
// does nothing), so that a loop waiting for what a task changes looks again. A task posted before
// Shutdown or a new Initialise and not yet run is dropped with the old
// backend. An exception escaping a task is reported on stderr and goes no
// further.
void PostToUiThread(std::function<void()> task);

// PostMessage from another thread queues the message for the UI thread
// without validating the window there; a message whose window is gone by the
// time the UI thread takes it is dropped. It returns FALSE when the queue is
// full.

// Whether the caller runs on the UI thread.
bool OnUiThread();

}  // namespace plat
