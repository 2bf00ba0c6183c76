// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/VolumeRun.h"

#include "engine/ByteSize.h"
#include "engine/Wiper.h"
#include "platform/NativePath.h"

#include <wx/filename.h>
#include <wx/translation.h>

#include <system_error>

VolumeRun::VolumeRun(const wxString& path, WipeMethod method) : wiper(path, method), method(method)
{
    wxFileName absolute(path);
    absolute.MakeAbsolute();
    details.folder = absolute.GetFullPath();
    details.unmounted = true;
}

VolumeRun::~VolumeRun()
{
    if (thread.joinable()) {
        wiper.RequestStop();
        thread.join();
    }
}

bool VolumeRun::Start()
{
    Wiper::ResetRun();
    record.Begin({}, method, false);
    details.started = wxDateTime::UNow();
    try {
        thread = std::thread([this] { wiper.Run(); });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

wxString VolumeRun::ProgressText(double percentage) const
{
    return wxString::Format(_("Wiping free space: %.2f%%"), percentage);
}

WipeRun::Outcome VolumeRun::Finish()
{
    if (thread.joinable())
        thread.join();
    const FreeSpaceWiper::Result result = wiper.GetResult();
    details.ended = wxDateTime::UNow();
    details.filesystem = result.filesystem.type;
    details.bytesOverwritten = result.bytesWritten;
    details.journal = result.journal;
    details.stopped = result.stopped;
    details.failure = result.failure;
    details.inodesCleared = result.inodesCleared;
    details.namesCleared = result.namesCleared;
    details.unreached = result.unreached;
    record.AddFreeSpace(details);
    return Outcome{Summary(result), _("Wipe free space"), _("Completed"), result.failure.empty() && !result.stopped,
                   wxString(), wxString(), wxString(), wxString(), wxString()};
}

wxString VolumeRun::Question(const wxString& path, const ExtVolume::Facts& facts, WipeMethod method)
{
    return wxString::Format(
        _("Wipe everything unused on the %s filesystem in\n%s?\n\n"
          "It is not mounted: Vorlix overwrites its %s of free blocks and its journal with %s, "
          "and clears its unused inodes and the names of deleted files in its folders. "
          "Files you have now are not touched."),
        facts.type, NativePath::Display(path), ByteSize::Text(facts.freeBlocks * facts.blockSize),
        method == WipeMethod::DoD ? _("0x00, 0xFF and random bytes, in three passes") : _("random bytes"));
}

wxString VolumeRun::Summary(const FreeSpaceWiper::Result& result)
{
    const wxString written = wxString::Format(_("%s written."), ByteSize::Text(result.bytesWritten));
    if (result.stopped)
        return _("The free-space wipe was stopped; the filesystem is consistent.") + " " + written;
    if (!result.failure.empty())
        return _("The free-space wipe did not finish:") + "\n" + result.failure;
    wxString text = wxString::Format(_("Free space wiped: %s written."), ByteSize::Text(result.bytesWritten));
    text += "\n" + wxString::Format(_("Cleared: %llu unused inodes and %llu names of deleted files."),
                                    static_cast<unsigned long long>(result.inodesCleared),
                                    static_cast<unsigned long long>(result.namesCleared));
    if (result.journal == JournalPush::State::Cleared)
        text += " " + _("The journal was emptied and overwritten.");
    if (!result.unreached.empty())
        text += "\n\n" + _("Not reached:") + "\n" + result.unreached;
    return text;
}
