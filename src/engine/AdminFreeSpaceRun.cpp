// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/AdminFreeSpaceRun.h"

#include "engine/FreeSpaceRun.h"

#include <wx/translation.h>

#include <system_error>

AdminFreeSpaceRun::AdminFreeSpaceRun(const wxString& folder, WipeMethod algorithm)
    : folder(FreeSpaceRun::AbsoluteFolder(folder)), algorithm(algorithm)
{
    details.folder = this->folder;
}

AdminFreeSpaceRun::~AdminFreeSpaceRun()
{
    if (thread.joinable()) {
        step.Send("stop");
        thread.join();
    }
}

bool AdminFreeSpaceRun::Start()
{
    record.Begin({}, algorithm, false);
    details.started = wxDateTime::UNow();
    wxString detail;
    if (!step.Start({"free-space", folder, algorithm == WipeMethod::DoD ? "dod" : "random"}, detail))
        return false;
    try {
        thread = std::thread([this] { Read(); });
    } catch (const std::system_error&) {
        return false;  // the step stops once its output is closed
    }
    return true;
}

void AdminFreeSpaceRun::Read()
{
    std::string line;
    while (step.ReadLine(line)) {
        if (!lines.Read(line)) {
            // Whatever it says next cannot be trusted either: it stops and
            // cleans up, and the run ends without a result.
            step.Send("stop");
            continue;
        }
        done = lines.Done();
        total = lines.Total();
    }
    status = step.Wait();
    finished = true;
}

wxString AdminFreeSpaceRun::ProgressText(double percentage) const
{
    return wxString::Format(_("Wiping free space: %.2f%%"), percentage);
}

WipeRun::Outcome AdminFreeSpaceRun::Finish()
{
    if (thread.joinable())
        thread.join();
    if (lines.HasResult()) {
        const Outcome outcome = FreeSpaceRun::Ended(lines.GetResult(), details);
        record.AddFreeSpace(details);
        return outcome;
    }
    FreeSpaceWiper::Result result;
    // Nothing is known of what it made, so nothing is promised about it.
    result.removedAll = false;
    if (!lines.HeardFrom() && PrivilegedStep::NotAuthorized(status)) {
        notAuthorized = true;
        result.removedAll = true;
        result.failure = _("Administrator rights were not granted: nothing ran as administrator.");
    } else if (lines.Broken()) {
        result.failure = _("The run with administrator rights sent a report that cannot be read.");
    } else {
        const wxString said = step.LastError();
        result.failure = _("The run with administrator rights ended without a report.")
                         + (said.empty() ? wxString() : "\n" + said);
    }
    Outcome outcome = FreeSpaceRun::Ended(result, details);
    record.AddFreeSpace(details);
    if (notAuthorized)
        outcome.message = result.failure;
    return outcome;
}
