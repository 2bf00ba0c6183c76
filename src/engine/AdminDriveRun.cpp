// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/AdminDriveRun.h"

#include "engine/DriveRun.h"

#include <wx/translation.h>
#include <wx/utils.h>

#include <system_error>

AdminDriveRun::AdminDriveRun(const wxString& path, WipeMethod method, DriveWiper::Verification verification)
    : path(path), method(method), verification(verification)
{
}

AdminDriveRun::~AdminDriveRun()
{
    if (thread.joinable()) {
        step.Send("stop");
        thread.join();
    }
}

bool AdminDriveRun::Start()
{
    DriveWipeFacts& facts = details.facts;
    clock.Start();
    facts.start = wxDateTime::UNow();
    facts.device = path;
    facts.name = path.AfterLast('/');
    facts.method = method;
    facts.passes = method == WipeMethod::DoD ? 3 : 1;
    facts.pattern = DriveRun::PatternText(method);
    facts.verification = DriveWiper::VerificationName(verification);
    wxString detail;
    if (!step.Start({"wipe-drive", path, method == WipeMethod::DoD ? "dod" : "random",
                     DriveWiper::VerificationName(verification)},
                    detail))
        return false;
    try {
        thread = std::thread([this] { Read(); });
    } catch (const std::system_error&) {
        return false;  // the job stops once its output is closed
    }
    return true;
}

void AdminDriveRun::Read()
{
    std::string line;
    while (step.ReadLine(line)) {
        if (!lines.Read(line)) {
            // Nothing it says from here on can be trusted: it is stopped,
            // and the run ends without a result.
            step.Send("stop");
            continue;
        }
        phase = lines.CurrentPhase();
        done = lines.Done();
        total = lines.Total();
    }
    status = step.Wait();
    finished = true;
}

wxString AdminDriveRun::ProgressText(double percentage) const
{
    return DriveRun::PhaseText(phase.load(), percentage, BytesDone(), TotalBytes(), clock.Time());
}

WipeRun::Outcome AdminDriveRun::Finish()
{
    if (thread.joinable())
        thread.join();
    if (lines.HasResult()) {
        details = lines.GetResult();
        // The job ran as root; the person who asked for it is this window's user.
        details.facts.operatorName = wxGetUserId();
        return DriveRun::Ended(details);
    }
    // Nothing is known of how far it got: nothing is claimed.
    DriveWipeFacts& facts = details.facts;
    facts.end = wxDateTime::UNow();
    facts.host = wxGetFullHostName();
    facts.operatorName = wxGetUserId();
    facts.toolVersion = "Vorlix " VORLIX_VERSION;
    facts.complete = false;
    if (!lines.HeardFrom() && PrivilegedStep::NotAuthorized(status)) {
        notAuthorized = true;
        facts.stopReason = _("Administrator rights were not granted: nothing ran as administrator.");
    } else if (lines.Broken()) {
        facts.stopReason = _("The run with administrator rights sent a report that cannot be read.");
    } else {
        const wxString said = step.LastError();
        facts.stopReason = _("The run with administrator rights ended without a report.")
                           + (said.empty() ? wxString() : "\n" + said);
    }
    Outcome outcome = DriveRun::Ended(details);
    if (notAuthorized)
        outcome.message = facts.stopReason;
    return outcome;
}
