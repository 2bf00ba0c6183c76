// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Ctrl-C, SIGTERM and SIGHUP as the window's Stop button: the handler only
// notes the signal, and the command's main loop asks the engine to stop.
// Every thread takes them: a signal sent to the worker itself (a tool that
// lists threads as processes) stops the run as well as one sent to the
// process. Calls are restarted after the handler, so no write or sync of the
// worker is cut short by it.
class StopSignals {
public:
    // Catches SIGINT, SIGTERM and SIGHUP from now on, and ignores SIGPIPE.
    static void Install();
    // True once one of them has arrived.
    static bool Received();
};
