// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/thread.h>

class WipeQueue;

// The worker of one wipe run: runs the Wiper stored in the queue over that
// queue. Detached: the toolkit deletes the object when Entry returns.
class WipeThread : public wxThread {
public:
    explicit WipeThread(WipeQueue* queue);
    ~WipeThread() override = default;

protected:
    ExitCode Entry() override;

private:
    WipeQueue* const queue;  // not owned; outlives the thread
};
