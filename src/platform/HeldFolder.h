// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#ifndef __WINDOWS__
#include <sys/stat.h>
#endif

// The folder a run's files are in, reached without following a link and kept
// open for the files that follow in it, so that each of them costs no walk
// down from the root. One folder at a time: reaching another closes it, so a
// run over thousands of folders keeps a single descriptor.
//
// Windows holds every folder above a file with the file's own open, without
// delete sharing; nothing is kept across files there.
class HeldFolder {
public:
    HeldFolder() = default;
    HeldFolder(const HeldFolder&) = delete;
    HeldFolder& operator=(const HeldFolder&) = delete;
    ~HeldFolder() { Release(); }

#ifndef __WINDOWS__
    // The folder at path (absolute, native) as an O_PATH descriptor that stays
    // this object's, or -1 with the reason in error (ELOOP where a link, or
    // something other than a folder, was met on the way). The folder held is
    // used again only while the kernel names it by exactly path: one moved,
    // renamed or put behind a link since is no longer what path means, and
    // path is walked again (only a mount put over it, which takes root, goes
    // unseen). The descriptor stays valid until the next Reach or Release.
    int Reach(const std::string& path, int& error);
    // Whether a file held as entryFd, whose stat is st, lies on one of the
    // kernel's own filesystems (SystemFilesystem). A file on the held
    // folder's device is on its filesystem: asked once per folder, not once
    // per file.
    bool OnSystemFilesystem(int entryFd, const struct stat& st);
#endif

    void Release();

private:
#ifndef __WINDOWS__
    bool StillNamed() const;
    static int Walk(const std::string& path, int& error);

    int fd = -1;
    std::string heldPath;  // as Reach was given it
    std::string selfLink;  // the descriptor under /proc/self/fd
    // The held folder's device and whether it is the kernel's; known once asked.
    unsigned long long device = 0;
    int systemHeld = -1;
#endif
};
