// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/DriveRun.h"

#include "engine/ByteSize.h"
#include "engine/RunReport.h"

#include <wx/translation.h>

#include <system_error>

DriveRun::DriveRun(const wxString& path, WipeMethod method, DriveWiper::Verification verification)
    : wiper(path, method, verification)
{
}

DriveRun::~DriveRun()
{
    if (thread.joinable()) {
        wiper.RequestStop();
        thread.join();
    }
}

bool DriveRun::Start()
{
    clock.Start();
    try {
        thread = std::thread([this] { wiper.Run(); });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

wxString DriveRun::ProgressText(double percentage) const
{
    return PhaseText(wiper.CurrentPhase(), percentage, wiper.BytesDone(), wiper.TotalBytes(), clock.Time());
}

wxString DriveRun::PhaseText(DriveWiper::Phase phase, double percentage, uint64_t done, uint64_t total,
                             long long elapsedMs)
{
    if (phase == DriveWiper::Phase::Discarding)
        return _("Discarding the drive's blocks...");
    wxString text = phase == DriveWiper::Phase::Verifying
                        ? wxString::Format(_("Verifying the drive: %.2f%%"), percentage)
                        : wxString::Format(_("Wiping the drive: %.2f%%"), percentage);
    if (elapsedMs <= 0 || done == 0 || total < done)
        return text;
    const double rate = static_cast<double>(done) * 1000.0 / static_cast<double>(elapsedMs);
    const double leftMs = static_cast<double>(total - done) * 1000.0 / rate;
    return text + ", " + ByteSize::Text(static_cast<uint64_t>(rate)) + "/s"
           + wxString::Format(_(", %s left"), RunReport::DurationText(static_cast<long long>(leftMs)));
}

WipeRun::Outcome DriveRun::Finish()
{
    if (thread.joinable())
        thread.join();
    details = wiper.GetResult();
    return Ended(details);
}

WipeRun::Outcome DriveRun::Ended(const DriveWiper::Result& result)
{
    Outcome outcome;
    outcome.message = Summary(result);
    outcome.summary = outcome.message.BeforeFirst('\n');
    outcome.caption = _("Wipe a drive");
    outcome.clean = result.facts.complete;
    outcome.status = outcome.clean ? _("Completed") : result.facts.stopped ? _("Stopped") : _("Not completed");
    return outcome;
}

wxString DriveRun::PatternText(WipeMethod method)
{
    return method == WipeMethod::DoD ? "0x00, 0xFF, random block" : "random";
}

wxString DriveRun::Question(const DriveList::Drive& drive, WipeMethod method, DriveWiper::Verification verification)
{
    wxString text = wxString::Format(_("Wipe the whole drive %s (%s %s, %s)?"), drive.path, drive.vendor, drive.model,
                                     ByteSize::Text(drive.size));
    text += "\n\n"
            + wxString::Format(_("Every block of it is overwritten with %s. Everything on it is lost for good, "
                                 "its partitions too."),
                               method == WipeMethod::DoD ? _("0x00, 0xFF and random bytes, in three passes")
                                                         : _("random bytes"));
    if (verification == DriveWiper::Verification::All)
        text += "\n\n" + _("Then every block is read back and compared.");
    else if (verification == DriveWiper::Verification::Sample)
        text += "\n\n" + _("Then a sample of it, spread over the whole drive, is read back and compared.");
    if (drive.discard)
        text += "\n\n" + _("At the end the drive is asked to discard all of its blocks.");
    return text;
}

wxString DriveRun::Summary(const DriveWiper::Result& result)
{
    const DriveWipeFacts& facts = result.facts;
    if (!result.refusals.empty()) {
        wxString text = wxString::Format(_("%s was not wiped:"), facts.device);
        for (const wxString& reason : result.refusals)
            text += "\n" + reason;
        return text;
    }
    wxString text;
    if (facts.complete)
        text = wxString::Format(wxPLURAL("Drive %s wiped: %s written in %d pass.",
                                         "Drive %s wiped: %s written in %d passes.", facts.passes),
                                facts.device, ByteSize::Text(facts.bytesWritten), facts.passes);
    else
        text = wxString::Format(_("Drive %s not completely wiped: %s written (%d of %d passes; the last reached byte "
                                  "%llu of %llu)."),
                                facts.device, ByteSize::Text(facts.bytesWritten), facts.passesDone, facts.passes,
                                static_cast<unsigned long long>(facts.reached),
                                static_cast<unsigned long long>(facts.size));
    if (!facts.stopReason.empty())
        text += "\n" + facts.stopReason;
    if (facts.verified)
        text += "\n" + facts.verifyResult;
    if (facts.discarded)
        text += "\n"
                + (facts.discardKind == "secure discard" ? _("The drive was asked for a secure discard of all its "
                                                             "blocks.")
                                                         : _("The drive was asked to discard all its blocks."));
    else if (facts.complete && !facts.discardNote.empty())
        text += "\n" + facts.discardNote;
    return text;
}
