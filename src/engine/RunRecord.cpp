// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/RunRecord.h"

#include "engine/JsonText.h"
#include "engine/RunReport.h"
#include "platform/FreeSpace.h"
#include "platform/NativePath.h"
#include "engine/JournalPush.h"
#include "platform/OverwriteCaveat.h"
#include "platform/StorageMedium.h"
#include "platform/WholeFile.h"
#include <wx/log.h>
#include <wx/utils.h>
#include <cstdio>
#include <string>
#include <type_traits>
#ifndef VORLIX_VERSION
#define VORLIX_VERSION "unknown"
#endif

namespace {

using JsonText::NativeHex;
using JsonText::OrNull;
using JsonText::Quoted;
using JsonText::QuotedBody;

std::string Time(const wxDateTime& time)
{
    return time.IsValid() ? std::string(time.ToUTC().FormatISOCombined('T').utf8_str()) + "Z" : "";
}

const char* JournalCleared(JournalPush::State state)
{
    switch (state) {
    case JournalPush::State::Cleared: return "true";
    case JournalPush::State::NotCleared: return "false";
    case JournalPush::State::NoJournal: break;
    }
    return "null";
}

const char* FreeSpaceResult(const FreeSpaceOutcome& outcome)
{
    return outcome.stopped ? "stopped" : outcome.failure.empty() ? "wiped" : "not wiped";
}

// Why free space was left: what the filesystem keeps back once it is full.
const char* const unreachedReason = "kept back by the filesystem for itself, and for the system unless an "
                                    "administrator runs the wipe";

const char* MethodName(WipeMethod method)
{
    return method == WipeMethod::DoD ? "dod" : "random";
}

unsigned Passes(WipeMethod method)
{
    return method == WipeMethod::DoD ? 3 : 1;
}

// A file the run never reached, as the record lists it.
FileOutcome NotReached(const QueuedFile& file)
{
    FileOutcome outcome{file, 0, 0, WipeFailure::None, wxString()};
    if (file.Size() != QueueEntry::unknownSize)
        outcome.size = file.Size().GetValue();
    return outcome;
}

}  // namespace

void RunRecord::Begin(std::shared_ptr<const RunSurvey> runSurvey, WipeMethod runMethod, bool verifyRun,
                      bool zeroPassRun)
{
    zeroPass = zeroPassRun;
    host = wxGetHostName();
    user = wxGetUserId();
    started = wxDateTime::UNow();
    method = runMethod;
    verify = verifyRun;
    survey = std::move(runSurvey);
}

void RunRecord::End(std::vector<FileOutcome> reached, std::vector<QueuedFile> left, bool runStopped,
                    const RunTotals& runTotals, std::vector<TraceOutcome> runTraces)
{
    traces = std::move(runTraces);
    ended = wxDateTime::UNow();
    filesRun = true;
    stopped = runStopped;
    totals = runTotals;
    outcomes = std::move(reached);
    notReached = std::move(left);
}

void RunRecord::AddFreeSpace(const FreeSpaceOutcome& outcome)
{
    freeSpace = outcome;
    if (outcome.ended.IsValid())
        ended = outcome.ended;
    stopped = stopped || outcome.stopped;
}

const char* RunRecord::Kind() const
{
    return !freeSpace ? "files" : filesRun ? "files+free-space" : "free-space";
}

std::string RunRecord::FreeSpaceJson() const
{
    if (!freeSpace)
        return "null";
    const FreeSpaceOutcome& fs = *freeSpace;
    return "{\"folder\": " + Quoted(NativePath::Display(fs.folder)) + ", \"filesystem\": " + OrNull(fs.filesystem)
           + ", \"mount_point\": " + OrNull(NativePath::Display(fs.mountPoint)) + ", \"unmounted\": "
           + (fs.unmounted ? "true" : "false") + ", \"medium\": " + Quoted(StorageMedium::Name(fs.medium))
           + ", \"outcome\": " + Quoted(FreeSpaceResult(fs)) + ", \"reason\": " + OrNull(fs.failure)
           + ", \"bytes_overwritten\": " + std::to_string(fs.bytesOverwritten)
           + ", \"bytes_unreached\": " + std::to_string(fs.unreachedBytes)
           + ", \"unreached_reason\": " + OrNull(fs.unmounted ? fs.unreached : wxString(fs.unreachedBytes ? unreachedReason : ""))
           + ", \"inodes_cleared\": " + std::to_string(fs.inodesCleared) + ", \"names_cleared\": "
           + std::to_string(fs.namesCleared)
           + ", \"journal_cleared\": " + JournalCleared(fs.journal)
           + ", \"all_removed\": " + (fs.removedAll ? "true" : "false")
           + ", \"discard\": " + OrNull(DiscardCode(fs.discard))
           + ", \"discarded_bytes\": " + std::to_string(fs.discardedBytes)
           + ", \"started\": " + OrNull(Time(fs.started)) + ", \"ended\": " + OrNull(Time(fs.ended)) + "}";
}

wxString RunRecord::FreeSpaceText() const
{
    if (!freeSpace)
        return wxString();
    const FreeSpaceOutcome& fs = *freeSpace;
    wxString text = "Free space " + wxString(FreeSpaceResult(fs));
    if (!fs.failure.empty())
        text += " (" + fs.failure + ")";
    text += ": " + NativePath::Display(fs.folder);
    text += " (" + fs.filesystem;
    if (!fs.filesystem.empty())
        text += fs.unmounted ? wxString(", not mounted, ") : " on " + NativePath::Display(fs.mountPoint) + ", ";
    text += wxString::Format("%llu bytes overwritten, %llu not reached",
                             static_cast<unsigned long long>(fs.bytesOverwritten),
                             static_cast<unsigned long long>(fs.unreachedBytes));
    if (fs.unreachedBytes != 0 || !fs.unreached.empty())
        text += " (" + (fs.unmounted ? fs.unreached : wxString(unreachedReason)) + ")";
    if (fs.unmounted)
        text += ", " + std::to_string(fs.inodesCleared) + " unused inodes and " + std::to_string(fs.namesCleared)
                + " names cleared";
    if (fs.journal != JournalPush::State::NoJournal)
        text += fs.journal == JournalPush::State::Cleared ? ", journal cleared" : ", journal not cleared";
    text += ", " + StorageMedium::Name(fs.medium);
    if (fs.discard != Discard::Outcome::NotAsked)
        text += ", discard: " + DiscardCode(fs.discard);
    return text + ")\n";
}

std::string RunRecord::TracesJson(size_t file, size_t& at) const
{
    std::string json = "[";
    for (; at < traces.size() && traces[at].file == file; ++at) {
        const TraceOutcome& trace = traces[at];
        if (json.size() > 1)
            json += ", ";
        wxString reason = trace.reason == WipeFailure::None ? wxString() : RunReport::ReasonText(trace.reason, false);
        if (!trace.detail.empty() && !trace.removed)
            reason += (reason.empty() ? "" : ": ") + trace.detail;
        json += std::string("{\"kind\": \"") + RunReport::TraceKindCode(trace.kind) + "\", \"path\": "
                + Quoted(NativePath::Display(trace.path)) + ", \"path_native\": \"" + NativeHex(trace.path)
                + "\", \"removed\": " + (trace.removed ? "true" : "false") + ", \"reason\": " + OrNull(reason) + "}";
    }
    return json + "]";
}

RunRecord::Place RunRecord::PlaceOf(const QueuedFile& file, Place& last) const
{
    // Files of one folder come together: its filesystem is found once.
    const wxString folder = file.Folder();
    if (folder != last.folder || last.location.empty()) {
        const RunSurvey::Filesystem* filesystem = survey ? survey->Of(folder) : nullptr;
        last = Place();
        last.folder = folder;
        last.filesystem = filesystem ? filesystem->info.type : wxString();
        last.medium = filesystem ? filesystem->medium : StorageMedium::Kind::Unknown;
        last.warning = filesystem ? filesystem->ground.kind : wxString();
        // The folder's part of every path in it, as the JSON gives it.
        const wxString prefix = FreeSpace::Join(folder, wxString());
        last.shownFolder = QuotedBody(NativePath::Display(prefix));
        last.hexFolder = NativeHex(prefix);
        last.folderExact = prefix.empty() || !last.hexFolder.empty();
        last.location = prefix;  // marks it found
    }
    Place place = last;
    if (survey && survey->AddsOwnCaveats())
        place.warning = survey->CaveatOf(folder, file.Path());
    // A journal's copies are cleared at the end of the run: no warning is left to keep.
    if (JournalPush::Clears(place.warning))
        place.warning.clear();
    return place;
}

wxString RunRecord::ReasonCode(WipeFailure reason)
{
    switch (reason) {
    case WipeFailure::None: break;
    case WipeFailure::NotFound: return "not_found";
    case WipeFailure::Link: return "link";
    case WipeFailure::HardLinks: return "hard_links";
    case WipeFailure::NotRegular: return "not_regular";
    case WipeFailure::SystemFile: return "system_file";
    case WipeFailure::AccessDenied: return "access_denied";
    case WipeFailure::InUse: return "in_use";
    case WipeFailure::Changed: return "changed";
    case WipeFailure::Growing: return "growing";
    case WipeFailure::OverwriteFailed: return "overwrite_failed";
    case WipeFailure::DeleteFailed: return "delete_failed";
    case WipeFailure::Stopped: return "stopped";
    case WipeFailure::Placeholder: return "placeholder";
    case WipeFailure::PathTooLong: return "path_too_long";
    case WipeFailure::StreamFailed: return "stream_failed";
    case WipeFailure::VerificationFailed: return "verification_failed";
    }
    return wxString();
}

wxString RunRecord::DiscardCode(Discard::Outcome discard)
{
    switch (discard) {
    case Discard::Outcome::NotAsked: break;
    case Discard::Outcome::Discarded: return "discarded";
    case Discard::Outcome::Deferred: return "deferred";
    case Discard::Outcome::Automatic: return "automatic";
    case Discard::Outcome::Unsupported: return "unsupported";
    case Discard::Outcome::NotFree: return "not_free";
    case Discard::Outcome::Failed: return "failed";
    }
    return wxString();
}

void RunRecord::JsonPieces(const Pieces& write) const
{
    std::string json;
    json.reserve((1u << 20) + (1u << 16));
    json += "{\n";
    json += "  \"report_format\": 1,\n";
    json += std::string("  \"kind\": \"") + Kind() + "\",\n";
    json += "  \"program\": \"Vorlix\",\n";
    json += "  \"version\": \"" VORLIX_VERSION "\",\n";
    json += "  \"host\": " + Quoted(host) + ",\n";
    json += "  \"user\": " + Quoted(user) + ",\n";
    json += "  \"started\": " + Quoted(Time(started)) + ",\n";
    json += "  \"ended\": " + Quoted(Time(ended)) + ",\n";
    json += std::string("  \"method\": \"") + MethodName(method) + "\",\n";
    json += "  \"passes\": " + std::to_string(Passes(method) + zeroPass) + ",\n";
    json += std::string("  \"zero_pass\": ") + (zeroPass ? "true" : "false") + ",\n";
    json += std::string("  \"verified\": ") + (verify ? "true" : "false") + ",\n";
    json += std::string("  \"stopped\": ") + (stopped ? "true" : "false") + ",\n";
    json += "  \"files\": [\n";
    uint64_t wiped = 0, notWiped = 0, written = 0;
    bool first = true;
    Place last;
    size_t index = 0, trace = 0;  // the outcome's index, and the next of its traces
    const auto line = [&](const FileOutcome& outcome, bool reached) {
        Place place = PlaceOf(outcome.file, last);
        const bool done = reached && outcome.reason == WipeFailure::None;
        wiped += done;
        notWiped += reached && !done;
        written += outcome.bytesOverwritten;
        json += first ? "" : ",\n";
        first = false;
        // Appended piece by piece: no temporary texts per field.
        // The folder's part is worked out once for all its files.
        const wxString name = outcome.file.Name();
        std::string hex = NativeHex(name);
        json += "    {\"path\": \"";
        if (place.folderExact && (!hex.empty() || name.empty())) {
            json += place.shownFolder;
            json += QuotedBody(NativePath::Display(name));
            hex.insert(0, place.hexFolder);
        } else {
            const wxString location = FreeSpace::Join(outcome.file.Folder(), name);
            json += QuotedBody(NativePath::Display(location));
            hex = NativeHex(location);
        }
        json += "\", \"path_native\": \"";
        json += hex;
        json += "\", \"size\": ";
        json += std::to_string(outcome.size);
        json += ", \"bytes_overwritten\": ";
        json += std::to_string(outcome.bytesOverwritten);
        json += ", \"outcome\": ";
        json += done ? "\"wiped\"" : reached ? "\"not wiped\"" : "\"not reached\"";
        json += ", \"reason\": ";
        json += reached && !done ? Quoted(RunReport::ReasonText(outcome.reason, false)) : "null";
        json += ", \"reason_code\": ";
        json += outcome.reason == WipeFailure::None ? "null" : Quoted(ReasonCode(outcome.reason));
        json += ", \"detail\": ";
        json += OrNull(outcome.detail);
        if (place.placeJson.empty() || (survey && survey->AddsOwnCaveats()))
            place.placeJson = ", \"filesystem\": " + OrNull(place.filesystem) + ", \"warning\": " + OrNull(place.warning)
                              + ", \"medium\": " + Quoted(StorageMedium::Name(place.medium));
        last.placeJson = place.placeJson;
        json += place.placeJson;
        json += ", \"discard\": ";
        json += outcome.discard == Discard::Outcome::NotAsked ? "null" : Quoted(DiscardCode(outcome.discard));
        json += ", \"discarded_bytes\": ";
        json += std::to_string(outcome.discardedBytes);
        json += ", \"traces\": ";
        json += reached ? TracesJson(index++, trace) : "[]";
        json += "}";
        // Written in pieces of about a megabyte, in one buffer kept.
        if (json.size() >= (1u << 20)) {
            write(json);
            json.clear();
        }
    };
    for (const FileOutcome& outcome : outcomes)
        line(outcome, true);
    for (const QueuedFile& file : notReached)
        line(NotReached(file), false);
    json += std::string(first ? "" : "\n") + "  ],\n";
    json += "  \"free_space\": " + FreeSpaceJson() + ",\n";
    json += "  \"traces\": " + TracesJson(TraceOutcome::wholeRun, trace) + ",\n";
    json += "  \"totals\": {\"files\": " + std::to_string(outcomes.size() + notReached.size())
            + ", \"wiped\": " + std::to_string(wiped) + ", \"not_wiped\": " + std::to_string(notWiped)
            + ", \"not_reached\": " + std::to_string(notReached.size())
            + ", \"bytes_overwritten\": " + std::to_string(written)
            + ", \"elapsed_ms\": " + std::to_string(totals.elapsedMs)
            + ", \"thumbnails_removed\": " + std::to_string(totals.thumbnailsRemoved)
            + ", \"recent_removed\": " + std::to_string(totals.recentRemoved)
            + ", \"shortcuts_removed\": " + std::to_string(totals.shortcutsRemoved)
            + ", \"traces_not_removed\": " + std::to_string(totals.tracesNotRemoved)
            + ", \"journal_cleared\": " + JournalCleared(totals.journal) + "}\n";
    json += "}\n";
    write(json);
}

wxString RunRecord::Json() const
{
    std::string json;
    JsonPieces([&json](const std::string& piece) { json += piece; });
    return wxString::FromUTF8(json.c_str(), json.size());
}

void RunRecord::TextPieces(const Pieces& write) const
{
    wxString text = "Vorlix " VORLIX_VERSION " wipe report\n";
    text += "Host: " + host + "\nUser: " + user + "\n";
    text += "Started: " + wxString(Time(started)) + "\nEnded: " + wxString(Time(ended)) + "\n";
    text += wxString::Format("Method: %s, %u pass(es)%s%s%s\n\n", MethodName(method), Passes(method) + zeroPass,
                             zeroPass ? ", zeros last" : "", verify ? ", verified" : "", stopped ? ", stopped" : "");
    const auto flush = [&write, &text](size_t atLeast) {
        if (text.length() < atLeast)
            return;
        const wxScopedCharBuffer utf8 = text.utf8_str();
        write(std::string(utf8.data(), utf8.length()));
        text.clear();
    };
    Place last;
    size_t index = 0, trace = 0;  // the outcome's index, and the next of its traces
    const auto traceLines = [&](size_t file) {
        for (; trace < traces.size() && traces[trace].file == file; ++trace) {
            const TraceOutcome& t = traces[trace];
            text += t.removed ? "  Also removed (" + wxString(RunReport::TraceKindCode(t.kind))
                                    + "): " + NativePath::Display(t.path)
                              : "  " + RunReport::TraceLine(t, false);
            text += "\n";
        }
    };
    const auto line = [&](const FileOutcome& outcome, bool reached) {
        const Place place = PlaceOf(outcome.file, last);
        wxString line;
        if (!reached)
            line = "Not reached: ";
        else if (outcome.reason == WipeFailure::None)
            line = "Wiped: ";
        else
            line = RunReport::LogLine(FailedEntry{wxString(), outcome.reason, outcome.detail}, false);
        line += NativePath::Display(FreeSpace::Join(outcome.file.Folder(), outcome.file.Name()));
        line += wxString::Format(" (%llu bytes, %llu overwritten", static_cast<unsigned long long>(outcome.size),
                                 static_cast<unsigned long long>(outcome.bytesOverwritten));
        if (!place.filesystem.empty())
            line += ", " + place.filesystem;
        if (!place.warning.empty())
            line += ", warning: " + place.warning;
        line += ", " + StorageMedium::Name(place.medium);
        if (outcome.discard != Discard::Outcome::NotAsked)
            line += ", discard: " + DiscardCode(outcome.discard);
        text += line + ")\n";
        if (reached)
            traceLines(index++);
        flush(1u << 18);
    };
    for (const FileOutcome& outcome : outcomes)
        line(outcome, true);
    for (const QueuedFile& file : notReached)
        line(NotReached(file), false);
    traceLines(TraceOutcome::wholeRun);
    text += FreeSpaceText();
    if (filesRun || !freeSpace) {
        const RunReport report(std::vector<FailedEntry>(), totals, stopped);
        text += "\n" + report.SummaryLine(false) + "\n";
        for (const wxString& line : {report.TracesLine(false), report.JournalLine(false)})
            if (!line.empty())
                text += line + "\n";
    }
    flush(0);
}

wxString RunRecord::Text() const
{
    std::string text;
    TextPieces([&text](const std::string& piece) { text += piece; });
    return wxString::FromUTF8(text.c_str(), text.size());
}

bool RunRecord::Save(const wxString& file, wxString& error) const
{
    const bool asText = file.Lower().EndsWith(".txt");
    return Saved(WholeFile::Write(
                     file,
                     [this, asText](const WholeFile::Writer& write) {
                         const Pieces piece = [&write](const std::string& bytes) { write(bytes); };
                         if (asText)
                             TextPieces(piece);
                         else
                             JsonPieces(piece);
                     },
                     error),
                 error);
}

bool RunRecord::CanSave(const wxString& file, wxString& error)
{
    return Saved(WholeFile::Check(file, error), error);
}

bool RunRecord::Saved(WholeFile::Result result, wxString& error)
{
    switch (result) {
    case WholeFile::Result::Done: return true;
    case WholeFile::Result::Link: error = RunReport::ReasonText(WipeFailure::Link); break;
    case WholeFile::Result::NotRegular: error = RunReport::ReasonText(WipeFailure::NotRegular); break;
    case WholeFile::Result::Failed: break;
    }
    return false;
}
