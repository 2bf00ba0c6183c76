// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/WipeThread.h"

#include "engine/Wiper.h"

WipeThread::WipeThread(WipeQueue* queue)
    : wxThread(wxTHREAD_DETACHED), queue(queue)
{
}

wxThread::ExitCode WipeThread::Entry()
{
    if (Wiper* wiper = queue->wiper.load())
        wiper->Wipe(queue);
    return 0;
}
