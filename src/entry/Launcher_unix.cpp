// SPDX-License-Identifier: GPL-3.0-or-later
// `vorlix`: the command line is read here, as the system's own bytes, so that
// no argument is dropped or re-decoded. This program links no GUI library: a
// later instance hands its paths over without loading them, which would cost
// a burst of hundreds of launches most of its time, and without a display.
// The first instance executes the window's program in its place, passing on
// the lock.
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "shell/StartUp.h"
#include "platform/NativePath.h"

namespace {

// The window's program sits at the same place relative to this one in the
// build and once installed.
std::string WindowProgram()
{
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        return std::string();
    std::string folder(self, size_t(length));
    folder.erase(folder.rfind('/'));
    return folder + "/" VORLIX_WINDOW_PROGRAM;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<wxString> paths;
    for (int i = 1; i < argc; ++i)
        paths.push_back(NativePath::Decode(std::string(argv[i])));
    return StartUp::Run(paths, [&](bool reportUnreachable) {
        const std::string program = WindowProgram();
        StartUp::PassOnAtExec(reportUnreachable);
        execv(program.c_str(), argv);
        std::cerr << "Cannot start the window: " << program << ": " << std::strerror(errno) << std::endl;
        return 1;
    });
}
