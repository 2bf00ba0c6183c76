// SPDX-License-Identifier: GPL-3.0-or-later
#include "WorkingFolder.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <string>
#include <vector>

#include "NativePath.h"

wxString WorkingFolder::Path()
{
    std::vector<char> buffer(PATH_MAX);
    for (;;) {
        if (getcwd(buffer.data(), buffer.size()))
            return NativePath::Decode(std::string(buffer.data()));
        if (errno != ERANGE)
            return wxString();
        buffer.resize(buffer.size() * 2);
    }
}
