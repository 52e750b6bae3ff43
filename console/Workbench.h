#pragma once
// verno-update on many cables at once, for the service bench. Each cable is updated by a process
// of its own (this program on that one port, speaking JSON), so that a cable that fails, hangs
// or is pulled out never stops or slows the others. Their rows are shown with the cable's port
// and, once known, the DC's serial number; at the end comes a summary, one line per cable.
// Ctrl-C, a hang-up or a termination request (CloseRequest.h) is passed on to every cable's
// process, which ends the safe way: each profile written back, or kept on disk and named.

#include "console/Options.h"

namespace verno::console {

// The whole run; returns the exit status: 0 only when every cable ended updated or needed no
// update (with --check: every dive computer answered), 2 when a cable's start-up failed (or no
// cable is attached), else 1.
int RunWorkbench(const Options& options);

}  // namespace verno::console
