#pragma once

// Routines that run once when the process ends, in the order they were registered.

namespace zentravo {

using ExitHook = void (*)();

// Appends `hook` to the list. A hook that is already in the list is not added again.
void RegisterExitHook(ExitHook hook);

// Runs every registered hook once, first registered first, and empties the list.
// A hook registered while the list runs is run in turn; calling this again runs
// only hooks registered since.
void RunExitHooks();

}  // namespace zentravo
