#pragma once

#include <functional>

namespace vantorel {

// Runs `task` later on the main (GUI) thread, after the work already queued there.
// Callers that act on an object hold it weakly in the task (QPointer) and do nothing once it is
// gone. Called from any thread while the application object exists.
void postToMain(std::function<void()> task);

// True on the thread that runs the Qt event loop of the application.
bool isMainThread();

}  // namespace vantorel
