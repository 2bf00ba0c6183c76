#include "engine/FileOverwriter.h"

#include "ConsoleText.h"

#include <wx/filefn.h>
#include <wx/wxcrt.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iostream>

std::function<void(const wxString& path)> FileOverwriter::afterPass;

namespace {

void Report(const char* what, const wxString& path)
{
    std::cerr << what << ConsoleText::Of(path) << std::endl;
}

}  // namespace

FileOverwriter::FileOverwriter(const QueueEntry& entry, std::atomic<uint64_t>& processed)
    : entry(entry), path(entry.path), processed(processed)
{
}

bool FileOverwriter::Open()
{
    uint64_t presentSize = 0;
    failure = file.Open(entry.folder, entry.name, presentSize, failureDetail);
    if (failure != WipeFailure::None) {
        Report("Failed to open file for writing: ", path);
        return false;
    }
    fd = file.Descriptor();
    const uint64_t queuedSize = entry.size.GetValue();
    const bool sizeKnown = entry.size != QueueEntry::unknownSize;
    passSize = sizeKnown ? std::max(queuedSize, presentSize) : presentSize;
    return true;
}

bool FileOverwriter::CloseAndDelete()
{
    failure = file.CloseAndDelete(failureDetail);
    fd = -1;
    switch (failure) {
    case WipeFailure::None: return true;
    case WipeFailure::OverwriteFailed: Report("Failed to overwrite file: ", path); return false;
    default: Report("Failed to delete file: ", path); return false;
    }
}

bool FileOverwriter::Rewind()
{
    return wxSeek(fd, 0, SEEK_SET) == 0 || Failed("Failed to overwrite file: ", WipeFailure::OverwriteFailed);
}

bool FileOverwriter::WriteBlock(const unsigned char* block, size_t n)
{
    // wxWrite gives ssize_t on POSIX and int on Windows; both fit.
    const long long written = wxWrite(fd, block, static_cast<unsigned>(n));
    if (written > 0)
        processed.fetch_add(static_cast<uint64_t>(written), std::memory_order_relaxed);
    if (written == static_cast<long long>(n))
        return true;
    if (written >= 0)
        errno = ENOSPC;  // a short write is what a full disk looks like
    return Failed("Failed to overwrite file: ", WipeFailure::OverwriteFailed);
}

bool FileOverwriter::EndPass()
{
    // Nothing was written for an empty file, so there is nothing to push.
    if (passSize != 0 && !InPlaceFile::Sync(fd))
        return Failed("Failed to overwrite file: ", WipeFailure::OverwriteFailed);
    if (afterPass)
        afterPass(path);
    return true;
}

bool FileOverwriter::Failed(const char* what, WipeFailure reason)
{
    failure = reason;
    failureDetail = wxString(std::strerror(errno));
    Report(what, path);
    return false;
}
