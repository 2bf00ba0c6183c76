// SPDX-License-Identifier: GPL-3.0-or-later
// `vorlix-privileged`: the jobs the window runs as root through pkexec. It
// links the engine alone; the arguments are read as the system's own units.
#include <wx/init.h>

#include <iostream>
#include <vector>

#include "cli/PrivilegedCommand.h"
#include "engine/Language.h"
#include "platform/NativePath.h"

int main(int argc, char** argv)
{
    wxInitializer toolkit;
    if (!toolkit.IsOk()) {
        std::cerr << "vorlix-privileged: cannot start the toolkit's base library" << std::endl;
        return PrivilegedCommand::NotDone;
    }
    std::vector<wxString> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(NativePath::Decode(NativePath::String(argv[i])));
    // Installed in libexec/vorlix: the catalogs are two folders up. pkexec
    // passes the user's LANGUAGE and LC_* on.
    PrivilegedCommand command(args, std::cout, std::cerr, [] { Language::Use("../../share/locale"); });
    return command.Run();
}
