#pragma once

// Ctrl-C and SIGTERM as the window's Stop button: the handler only notes the
// signal, and the command's main loop asks the engine to stop.
class StopSignals {
public:
    // Catches SIGINT and SIGTERM from now on, and ignores SIGPIPE.
    static void Install();
    // True once either has arrived.
    static bool Received();

    // Keeps both signals from the calling thread while it lives, so that a
    // thread started meanwhile inherits the mask and never takes them: its
    // writes and syncs are not interrupted, and the main loop sees the signal.
    class BlockedHere {
    public:
        BlockedHere();
        ~BlockedHere();
        BlockedHere(const BlockedHere&) = delete;
        BlockedHere& operator=(const BlockedHere&) = delete;
    };
};
