// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ExtVolume.h"

#include <windows.h>

// Windows has no libext2fs here: every target is refused before anything is
// opened.
bool ExtVolume::IsDeviceOrImage(const wxString& path)
{
    const DWORD attributes = GetFileAttributesW(path.wc_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool ExtVolume::Supported() { return false; }
std::vector<wxString> ExtVolume::FindUnmounted() { return {}; }
ExtVolume::~ExtVolume() = default;
ExtVolume::Refusal ExtVolume::Open(const wxString&, bool, wxString&) { return Refusal::NotHere; }
bool ExtVolume::ReadHeldStill(const wxString&, wxString&) { return false; }
std::vector<ExtVolume::Blocks> ExtVolume::FreeRuns() const { return {}; }
std::vector<ExtVolume::Blocks> ExtVolume::JournalRuns() const { return {}; }
bool ExtVolume::Write(uint64_t, uint64_t, const void*) { return false; }
bool ExtVolume::Flush() { return false; }
bool ExtVolume::ClearDirectories(Directories&, const StopAsked&) { return false; }
bool ExtVolume::ClearUnusedInodes(uint64_t&, uint64_t&, const StopAsked&) { return false; }
bool ExtVolume::Close() { return true; }
bool ExtVolume::Failed(long, const char*) { return false; }
