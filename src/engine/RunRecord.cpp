#include "engine/RunRecord.h"

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

#ifndef VORLIX_VERSION
#define VORLIX_VERSION "unknown"
#endif

namespace {

// A JSON string: UTF-8, with quotes, backslashes and control characters escaped.
std::string Quoted(const wxString& text)
{
    const wxScopedCharBuffer utf8 = text.utf8_str();
    std::string out = "\"";
    for (size_t i = 0; i < utf8.length(); ++i) {
        const unsigned char c = static_cast<unsigned char>(utf8.data()[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string OrNull(const wxString& text)
{
    return text.empty() ? std::string("null") : Quoted(text);
}

// The path's exact units in hex: bytes on Linux, UTF-16 units on Windows.
std::string NativeHex(const wxString& path)
{
    NativePath::String native;
    if (!NativePath::Encode(path, native))
        return std::string();
    std::string hex;
    for (auto unit : native) {
        char digits[8];
        if (sizeof unit == 1)
            std::snprintf(digits, sizeof digits, "%02x", static_cast<unsigned>(static_cast<unsigned char>(unit)));
        else
            std::snprintf(digits, sizeof digits, "%04x", static_cast<unsigned>(unit));
        hex += digits;
    }
    return hex;
}

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

}  // namespace

void RunRecord::Begin(const std::vector<QueueEntry>& entries, WipeMethod runMethod, bool verifyRun)
{
    host = wxGetHostName();
    user = wxGetUserId();
    started = wxDateTime::UNow();
    method = runMethod;
    verify = verifyRun;
    // Folders are examined once however many files they hold, drives once
    // however many filesystems they carry.
    std::map<wxString, wxString> types;
    StorageMedium media;
    places.clear();
    for (const QueueEntry& entry : entries) {
        auto type = types.find(entry.folder);
        if (type == types.end()) {
            FreeSpace::Filesystem filesystem;
            wxString detail;
            FreeSpace::Examine(entry.folder, filesystem, detail);
            type = types.emplace(entry.folder, filesystem.type).first;
        }
        // A journal's copies are cleared at the end of the run: no warning is left to keep.
        wxString caveat = OverwriteCaveat::For(entry.path);
        if (JournalPush::Clears(caveat))
            caveat.clear();
        places[entry.path] = Place{FreeSpace::Join(entry.folder, entry.name), type->second, caveat,
                                   media.Of(entry.folder)};
    }
}

void RunRecord::End(const std::vector<FileOutcome>& outcomes, const std::vector<QueueEntry>& notReached,
                    bool runStopped, const RunTotals& runTotals)
{
    ended = wxDateTime::UNow();
    filesRun = true;
    stopped = runStopped;
    totals = runTotals;
    files.clear();
    for (const FileOutcome& outcome : outcomes)
        files.push_back(File{outcome, true});
    for (const QueueEntry& entry : notReached) {
        FileOutcome outcome{entry.path, 0, 0, WipeFailure::None, wxString()};
        if (entry.size != QueueEntry::unknownSize)
            outcome.size = entry.size.GetValue();
        files.push_back(File{outcome, false});
    }
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
           + ", \"mount_point\": " + OrNull(NativePath::Display(fs.mountPoint))
           + ", \"medium\": " + Quoted(StorageMedium::Name(fs.medium))
           + ", \"outcome\": " + Quoted(FreeSpaceResult(fs)) + ", \"reason\": " + OrNull(fs.failure)
           + ", \"bytes_overwritten\": " + std::to_string(fs.bytesOverwritten)
           + ", \"bytes_unreached\": " + std::to_string(fs.unreachedBytes)
           + ", \"unreached_reason\": " + OrNull(fs.unreachedBytes ? unreachedReason : "")
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
    if (!fs.filesystem.empty())
        text += " (" + fs.filesystem + " on " + NativePath::Display(fs.mountPoint) + ", ";
    else
        text += " (";
    text += wxString::Format("%llu bytes overwritten, %llu not reached",
                             static_cast<unsigned long long>(fs.bytesOverwritten),
                             static_cast<unsigned long long>(fs.unreachedBytes));
    if (fs.unreachedBytes != 0)
        text += wxString(" (") + unreachedReason + ")";
    if (fs.journal != JournalPush::State::NoJournal)
        text += fs.journal == JournalPush::State::Cleared ? ", journal cleared" : ", journal not cleared";
    text += ", " + StorageMedium::Name(fs.medium);
    if (fs.discard != Discard::Outcome::NotAsked)
        text += ", discard: " + DiscardCode(fs.discard);
    return text + ")\n";
}

RunRecord::Place RunRecord::PlaceOf(const wxString& path) const
{
    const auto found = places.find(path);
    return found == places.end() ? Place() : found->second;
}

wxString RunRecord::WarningOf(const wxString& path) const
{
    return PlaceOf(path).warning;
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

wxString RunRecord::Json() const
{
    uint64_t wiped = 0, notWiped = 0, notReached = 0, written = 0;
    std::string list;
    for (const File& file : files) {
        const FileOutcome& outcome = file.outcome;
        const Place place = PlaceOf(outcome.path);
        const bool done = file.reached && outcome.reason == WipeFailure::None;
        wiped += done;
        notWiped += file.reached && !done;
        notReached += !file.reached;
        written += outcome.bytesOverwritten;
        if (!list.empty())
            list += ",\n";
        const wxString& path = place.location.empty() ? outcome.path : place.location;
        list += "    {\"path\": " + Quoted(NativePath::Display(path))
                + ", \"path_native\": " + Quoted(NativeHex(path))
                + ", \"size\": " + std::to_string(outcome.size)
                + ", \"bytes_overwritten\": " + std::to_string(outcome.bytesOverwritten)
                + ", \"outcome\": " + Quoted(done ? "wiped" : file.reached ? "not wiped" : "not reached")
                + ", \"reason\": " + OrNull(file.reached && !done ? RunReport::ReasonText(outcome.reason, false) : "")
                + ", \"reason_code\": " + OrNull(ReasonCode(outcome.reason))
                + ", \"detail\": " + OrNull(outcome.detail)
                + ", \"filesystem\": " + OrNull(place.filesystem)
                + ", \"warning\": " + OrNull(place.warning)
                + ", \"medium\": " + Quoted(StorageMedium::Name(place.medium))
                + ", \"discard\": " + OrNull(DiscardCode(outcome.discard))
                + ", \"discarded_bytes\": " + std::to_string(outcome.discardedBytes) + "}";
    }
    std::string json = "{\n";
    json += "  \"report_format\": 1,\n";
    json += std::string("  \"kind\": \"") + Kind() + "\",\n";
    json += "  \"program\": \"Vorlix\",\n";
    json += "  \"version\": \"" VORLIX_VERSION "\",\n";
    json += "  \"host\": " + Quoted(host) + ",\n";
    json += "  \"user\": " + Quoted(user) + ",\n";
    json += "  \"started\": " + Quoted(Time(started)) + ",\n";
    json += "  \"ended\": " + Quoted(Time(ended)) + ",\n";
    json += std::string("  \"method\": \"") + MethodName(method) + "\",\n";
    json += "  \"passes\": " + std::to_string(Passes(method)) + ",\n";
    json += std::string("  \"verified\": ") + (verify ? "true" : "false") + ",\n";
    json += std::string("  \"stopped\": ") + (stopped ? "true" : "false") + ",\n";
    json += "  \"files\": [\n" + list + (list.empty() ? "" : "\n") + "  ],\n";
    json += "  \"free_space\": " + FreeSpaceJson() + ",\n";
    json += "  \"totals\": {\"files\": " + std::to_string(files.size()) + ", \"wiped\": " + std::to_string(wiped)
            + ", \"not_wiped\": " + std::to_string(notWiped) + ", \"not_reached\": " + std::to_string(notReached)
            + ", \"bytes_overwritten\": " + std::to_string(written)
            + ", \"elapsed_ms\": " + std::to_string(totals.elapsedMs) + "}\n";
    json += "}\n";
    return wxString::FromUTF8(json.c_str(), json.size());
}

wxString RunRecord::Text() const
{
    wxString text = "Vorlix " VORLIX_VERSION " wipe report\n";
    text += "Host: " + host + "\nUser: " + user + "\n";
    text += "Started: " + wxString(Time(started)) + "\nEnded: " + wxString(Time(ended)) + "\n";
    text += wxString::Format("Method: %s, %u pass(es)%s%s\n\n", MethodName(method), Passes(method),
                             verify ? ", verified" : "", stopped ? ", stopped" : "");
    for (const File& file : files) {
        const FileOutcome& outcome = file.outcome;
        const Place place = PlaceOf(outcome.path);
        wxString line;
        if (!file.reached)
            line = "Not reached: ";
        else if (outcome.reason == WipeFailure::None)
            line = "Wiped: ";
        else
            line = RunReport::LogLine(FailedEntry{wxString(), outcome.reason, outcome.detail}, false);
        line += NativePath::Display(place.location.empty() ? outcome.path : place.location);
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
    }
    text += FreeSpaceText();
    if (filesRun || !freeSpace)
        text += "\n" + RunReport(std::vector<FailedEntry>(), totals, stopped).SummaryLine(false) + "\n";
    return text;
}

bool RunRecord::Save(const wxString& file, wxString& error) const
{
    const wxString content = file.Lower().EndsWith(".txt") ? Text() : Json();
    const wxScopedCharBuffer utf8 = content.utf8_str();
    return Saved(WholeFile::Write(file, std::string(utf8.data(), utf8.length()), error), error);
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
