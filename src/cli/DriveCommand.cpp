// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/DriveCommand.h"

#include "cli/StopSignals.h"
#include "cli/WipeCommand.h"
#include "engine/ByteSize.h"
#include "engine/ConsoleText.h"
#include "engine/DriveCertificate.h"
#include "engine/DriveRun.h"

#include <wx/stopwatch.h>
#include <wx/translation.h>
#include <wx/utils.h>

#include <cstdio>
#include <iostream>
#include <ostream>
#include <string>

#include <unistd.h>

namespace {

const long pollMs = 10;
const long progressEveryMs = 500;

wxString Padded(const wxString& text, size_t width)
{
    return text.length() >= width ? text + " " : text + wxString(' ', width - text.length());
}

}  // namespace

DriveCommand::DriveCommand(const WipeOptions& options, std::ostream& out, std::ostream& err)
    : options(options), out(out), err(err)
{
}

int DriveCommand::Run()
{
    if (options.listDrives)
        return ListDrives();
    DriveList::Drive drive;
    if (!DriveList::Find(options.drive, drive)) {
        Complain(wxString::Format(_("Not wiped: %s is not a drive (see --list-drives)."), options.drive));
        return WipeCommand::SomeNotWiped;
    }
    return options.dryRun ? DryRun(drive) : Wipe(drive);
}

wxString DriveCommand::Facts(const DriveList::Drive& drive) const
{
    wxString model = (drive.vendor.empty() ? wxString() : drive.vendor + " ") + drive.model;
    if (model.empty())
        model = _("unknown model");
    return wxString::Format(_("%s: %s, serial %s, %s (%s bytes), %s, %s"), drive.path, model,
                            drive.serial.empty() ? _("unknown") : drive.serial, ByteSize::Text(drive.size),
                            wxULongLong(drive.size).ToString(), drive.bus.empty() ? _("unknown bus") : drive.bus,
                            DriveList::MediaName(drive.media));
}

int DriveCommand::ListDrives()
{
    Say(Padded(_("NAME"), 10) + Padded(_("MODEL"), 26) + Padded(_("SERIAL"), 22) + Padded(_("SIZE"), 11)
        + Padded(_("BUS"), 7) + Padded(_("MEDIA"), 9) + _("WIPE"));
    for (const DriveList::Drive& drive : DriveList::List()) {
        wxString refusals;
        for (const wxString& reason : drive.refusals)
            refusals += (refusals.empty() ? "" : " ") + reason;
        const wxString name = drive.parent.empty() ? drive.name : "  " + drive.name;
        Say(Padded(name, 10) + Padded(drive.model.empty() ? "-" : drive.model, 26)
            + Padded(drive.serial.empty() ? "-" : drive.serial, 22) + Padded(ByteSize::Text(drive.size), 11)
            + Padded(drive.bus.empty() ? "-" : drive.bus, 7) + Padded(DriveList::MediaName(drive.media), 9)
            + (refusals.empty() ? _("can be wiped") : _("refused: ") + refusals));
    }
    return WipeCommand::AllWiped;
}

int DriveCommand::DryRun(const DriveList::Drive& drive)
{
    if (!drive.refusals.empty()) {
        Say(_("Would refuse ") + Facts(drive));
        for (const wxString& reason : drive.refusals)
            Say("  " + reason);
        return WipeCommand::SomeNotWiped;
    }
    const bool dod = options.method == WipeMethod::DoD;
    Say(_("Would wipe ") + Facts(drive));
    Say("  " + wxString::Format(_("%s, %d passes, %s bytes written; read back: %s; discard: %s"),
                                DriveRun::PatternText(options.method), dod ? 3 : 1,
                                wxULongLong(drive.size * (dod ? 3 : 1)).ToString(),
                                DriveWiper::VerificationName(options.driveVerify),
                                drive.discard ? _("yes, after the read-back") : _("the drive takes none")));
    return WipeCommand::AllWiped;
}

bool DriveCommand::Confirmed(const DriveList::Drive& drive, int& status)
{
    if (!options.confirmedName.empty()) {
        if (options.confirmedName == drive.name)
            return true;
        Complain(wxString::Format(_("Not wiped: --yes-wipe-%s does not name %s (its name is %s)."),
                                  options.confirmedName, drive.path, drive.name));
        status = WipeCommand::UsageError;
        return false;
    }
    if (isatty(fileno(stdin)) == 0) {
        Complain(wxString::Format(_("Not wiped: there is no terminal to ask on; give --yes-wipe-%s to confirm."),
                                  drive.name));
        status = WipeCommand::UsageError;
        return false;
    }
    Complain(DriveRun::Question(drive, options.method, options.driveVerify));
    err << ConsoleText::Of(wxString::Format(_("Type the drive's name (%s) to wipe it: "), drive.name)) << std::flush;
    std::string typed;
    std::getline(std::cin, typed);
    if (wxString::FromUTF8(typed.c_str()).Strip(wxString::both) == drive.name)
        return true;
    Complain(_("Not wiped: the name typed is not the drive's."));
    status = WipeCommand::SomeNotWiped;
    return false;
}

int DriveCommand::Wipe(const DriveList::Drive& drive)
{
    if (!drive.refusals.empty()) {
        Complain(wxString::Format(_("Not wiped: %s"), Facts(drive)));
        for (const wxString& reason : drive.refusals)
            Complain("  " + reason);
        return WipeCommand::SomeNotWiped;
    }
    wxString error;
    if (!options.certificateFile.empty() && !DriveCertificate::CanSave(options.certificateFile, error)) {
        Complain(wxString::Format(_("Not wiped: the certificate cannot be written (%s): %s"), error,
                                  options.certificateFile));
        return WipeCommand::UsageError;
    }
    int status = WipeCommand::AllWiped;
    if (!Confirmed(drive, status))
        return status;
    StopSignals::Install();
    DriveRun run(drive.path, options.method, options.driveVerify);
    if (!run.Start())
        return WipeCommand::SomeNotWiped;
    const bool stopped = Follow(run);
    const WipeRun::Outcome outcome = run.Finish();
    const DriveWiper::Result& result = run.Details();
    if (outcome.clean) {
        if (!options.quiet)
            Say(outcome.message);
    } else {
        Complain(outcome.message);
    }
    // Refused at the opening: nothing was written, and nothing to certify.
    if (!options.certificateFile.empty() && result.refusals.empty()
        && !DriveCertificate::Save(result.facts, options.certificateFile, error)) {
        Complain(wxString::Format(_("Certificate not written (%s): %s"), error, options.certificateFile));
        status = WipeCommand::SomeNotWiped;
    }
    if (stopped)
        return WipeCommand::Stopped;
    return outcome.clean ? status : WipeCommand::SomeNotWiped;
}

bool DriveCommand::Follow(DriveRun& run)
{
    const bool showProgress = !options.quiet && isatty(fileno(stderr)) != 0;
    wxStopWatch clock;
    long lastShown = -progressEveryMs;
    bool stopped = false, shown = false;
    while (!run.IsFinished()) {
        if (!stopped && StopSignals::Received()) {
            stopped = true;
            run.Stop();
        }
        if (showProgress && clock.Time() - lastShown >= progressEveryMs) {
            lastShown = clock.Time();
            const uint64_t done = run.BytesDone(), total = run.TotalBytes();
            const double percentage = total ? 100.0 * static_cast<double>(done) / static_cast<double>(total) : 0;
            // The run's own text names the phase, the rate and the time left.
            const wxString line = run.ProgressText(percentage);
            err << "\r" << ConsoleText::Of(line) << "\x1b[K" << std::flush;
            shown = true;
        }
        wxMilliSleep(pollMs);
    }
    if (shown)
        err << "\r\x1b[K" << std::flush;
    return stopped || StopSignals::Received();
}

void DriveCommand::Say(const wxString& text)
{
    out << ConsoleText::Of(text) << std::endl;
}

void DriveCommand::Complain(const wxString& text)
{
    err << ConsoleText::Of(text) << std::endl;
}
