#pragma once

#include "engine/FreeSpaceWiper.h"

#include <wx/string.h>

#include <memory>
#include <thread>

// One free-space wipe started from the window: the engine on a thread of its
// own, polled by the window's progress timer, and the texts the window shows
// before and after it. Created and used on the GUI thread only.
class FreeSpaceRun {
public:
    FreeSpaceRun(const wxString& folder, FreeSpaceWiper::Algorithm algorithm);
    // Stops the run and waits for it: nothing it made may outlive the window.
    ~FreeSpaceRun();
    FreeSpaceRun(const FreeSpaceRun&) = delete;
    FreeSpaceRun& operator=(const FreeSpaceRun&) = delete;

    // False when the thread could not be started.
    bool Start();
    // The engine deletes what it made and then finishes.
    void Stop() { wiper.RequestStop(); }
    bool IsFinished() const { return wiper.IsFinished(); }
    uint64_t BytesWritten() const { return wiper.BytesWritten(); }
    uint64_t TotalBytes() const { return wiper.TotalBytes(); }
    // Waits for the thread (finished already, once IsFinished) and tells what it did.
    FreeSpaceWiper::Result Finish();

    // The question before a run: the filesystem, its free space and what the
    // run does to it.
    static wxString Question(const wxString& folder, const FreeSpaceWiper::Check& check,
                             FreeSpaceWiper::Algorithm algorithm);
    // What a finished run did, for the box at its end.
    static wxString Summary(const FreeSpaceWiper::Result& result);

private:
    FreeSpaceWiper wiper;
    std::thread thread;
};
