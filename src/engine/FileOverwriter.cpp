#include "engine/FileOverwriter.h"

#include "ConsoleText.h"

#include "platform/InPlaceFile.h"

#include <wx/filefn.h>
#include <wx/wxcrt.h>

#include <algorithm>
#include <iostream>

std::function<void(const wxString& path)> FileOverwriter::afterPass;

namespace {

void Report(const char* what, const wxString& path)
{
    std::cerr << what << ConsoleText::Of(path) << std::endl;
}

}  // namespace

FileOverwriter::FileOverwriter(const wxString& path, uint64_t queuedSize,
                               std::atomic<uint64_t>& processed)
    : path(path), queuedSize(queuedSize), processed(processed)
{
}

FileOverwriter::~FileOverwriter()
{
    if (fd >= 0)
        wxClose(fd);
}

bool FileOverwriter::Open()
{
    uint64_t presentSize = 0;
    fd = InPlaceFile::Open(path, presentSize);
    if (fd < 0) {
        Report("Failed to open file for writing: ", path);
        return false;
    }
    const bool sizeKnown = queuedSize != QueueEntry::unknownSize.GetValue();
    passSize = sizeKnown ? std::max(queuedSize, presentSize) : presentSize;
    return true;
}

bool FileOverwriter::CloseAndDelete()
{
    // A failed close can mean that written bytes never reached the file.
    const int closed = wxClose(fd);
    fd = -1;
    if (closed != 0)
        return Failed("Failed to overwrite file: ");
    if (wxRemove(path) != 0) {
        Report("Failed to delete file: ", path);
        return false;
    }
    return true;
}

bool FileOverwriter::Rewind()
{
    return wxSeek(fd, 0, SEEK_SET) == 0 || Failed("Failed to overwrite file: ");
}

bool FileOverwriter::WriteBlock(const unsigned char* block, size_t n)
{
    // wxWrite gives ssize_t on POSIX and int on Windows; both fit.
    const long long written = wxWrite(fd, block, static_cast<unsigned>(n));
    if (written > 0)
        processed.fetch_add(static_cast<uint64_t>(written), std::memory_order_relaxed);
    return written == static_cast<long long>(n) || Failed("Failed to overwrite file: ");
}

bool FileOverwriter::EndPass()
{
    // Nothing was written for an empty file, so there is nothing to push.
    if (passSize != 0 && !InPlaceFile::Sync(fd))
        return Failed("Failed to overwrite file: ");
    if (afterPass)
        afterPass(path);
    return true;
}

bool FileOverwriter::Failed(const char* what)
{
    Report(what, path);
    return false;
}
