// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/DriveCommand.h"

#include "cli/ProgressLine.h"
#include "cli/StopSignals.h"
#include "cli/WipeCommand.h"
#include "engine/ByteSize.h"
#include "engine/ConsoleText.h"
#include "engine/DriveRun.h"
#include "engine/JsonText.h"
#include "platform/WholeFile.h"

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

std::string Iso(const wxDateTime& time)
{
    return time.IsValid() ? std::string(time.Format("%Y-%m-%dT%H:%M:%SZ", wxDateTime::UTC).ToUTF8()) : std::string();
}

bool WriteJson(const DriveWipeFacts& facts, const wxString& file, wxString& error)
{
    return WholeFile::Write(file, DriveCommand::CertificateJson(facts), error) == WholeFile::Result::Done;
}

wxString Padded(const wxString& text, size_t width)
{
    return text.length() >= width ? text + " " : text + wxString(' ', width - text.length());
}

}  // namespace

std::function<bool(const DriveWipeFacts&, const wxString&, wxString&)> DriveCommand::writeCertificate = WriteJson;

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
    if (!options.certificateFile.empty() && WholeFile::Check(options.certificateFile, error) != WholeFile::Result::Done) {
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
        && !writeCertificate(result.facts, options.certificateFile, error)) {
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
            const wxString line =
                run.ProgressText(percentage) + ", " + ProgressLine::Text(0, 0, done, total, clock.Time());
            err << "\r" << ConsoleText::Of(line) << "\x1b[K" << std::flush;
            shown = true;
        }
        wxMilliSleep(pollMs);
    }
    if (shown)
        err << "\r\x1b[K" << std::flush;
    return stopped || StopSignals::Received();
}

std::string DriveCommand::CertificateJson(const DriveWipeFacts& f)
{
    using JsonText::Quoted;
    const auto flag = [](bool b) { return std::string(b ? "true" : "false"); };
    std::string json = "{\n";
    json += "  \"device\": " + Quoted(f.device) + ",\n";
    json += "  \"name\": " + Quoted(f.name) + ",\n";
    json += "  \"manufacturer\": " + Quoted(f.manufacturer) + ",\n";
    json += "  \"model\": " + Quoted(f.model) + ",\n";
    json += "  \"serial\": " + Quoted(f.serial) + ",\n";
    json += "  \"bus\": " + Quoted(f.bus) + ",\n";
    json += "  \"media\": " + Quoted(f.media) + ",\n";
    json += "  \"size\": " + std::to_string(f.size) + ",\n";
    json += "  \"method\": " + Quoted(f.method == WipeMethod::DoD ? "dod" : "random") + ",\n";
    json += "  \"passes\": " + std::to_string(f.passes) + ",\n";
    json += "  \"pattern\": " + Quoted(f.pattern) + ",\n";
    json += "  \"verification\": " + Quoted(f.verification) + ",\n";
    json += "  \"verified\": " + flag(f.verified) + ",\n";
    json += "  \"verify_result\": " + Quoted(f.verifyResult) + ",\n";
    json += "  \"discarded\": " + flag(f.discarded) + ",\n";
    json += "  \"discard_kind\": " + JsonText::OrNull(f.discardKind) + ",\n";
    json += "  \"start\": " + Quoted(Iso(f.start)) + ",\n";
    json += "  \"end\": " + Quoted(Iso(f.end)) + ",\n";
    json += "  \"complete\": " + flag(f.complete) + ",\n";
    json += "  \"bytes_written\": " + std::to_string(f.bytesWritten) + ",\n";
    json += "  \"passes_done\": " + std::to_string(f.passesDone) + ",\n";
    json += "  \"reached\": " + std::to_string(f.reached) + ",\n";
    json += "  \"stop_reason\": " + JsonText::OrNull(f.stopReason) + ",\n";
    json += "  \"host\": " + Quoted(f.host) + ",\n";
    json += "  \"operator\": " + Quoted(f.operatorName) + ",\n";
    json += "  \"tool\": " + Quoted(f.toolVersion) + "\n";
    return json + "}\n";
}

void DriveCommand::Say(const wxString& text)
{
    out << ConsoleText::Of(text) << std::endl;
}

void DriveCommand::Complain(const wxString& text)
{
    err << ConsoleText::Of(text) << std::endl;
}
