// SPDX-License-Identifier: GPL-3.0-or-later
// `vorlix-wipe`: the command-line face. It links the engine alone, so it runs
// without a display; the arguments are read as the system's own units.
#include <wx/init.h>
#include <wx/translation.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "cli/WipeCommand.h"
#include "cli/WipeOptions.h"
#include "engine/ConsoleText.h"
#include "engine/Language.h"
#include "platform/CrashRecord.h"
#include "platform/NativePath.h"

namespace {

// Output that did not reach its file is a failure, --help's too, as in
// coreutils: a script that saved a listing must not take a cut one as whole.
// error: what made an earlier write fail, if known; else errno is taken as
// the failed write left it.
int Finished(int status, int error = 0)
{
    std::cout.flush();
    const bool written = std::fflush(stdout) == 0 && !std::cout.fail() && !std::ferror(stdout);
    if (written)
        return status;
    if (error == 0)
        error = errno;
    std::cerr << "vorlix-wipe: " << ConsoleText::Of(_("write error"));
    if (error != 0)
        std::cerr << ": " << std::strerror(error);
    std::cerr << std::endl;
    return status == WipeCommand::AllWiped ? WipeCommand::SomeNotWiped : status;
}

}  // namespace

// On Windows the arguments are taken as the system's UTF-16, never through
// the console's code page.
#ifdef __WINDOWS__
int wmain(int argc, wchar_t** argv)
#else
int main(int argc, char** argv)
#endif
{
    // The wipe thread is the toolkit's, the engine uses its strings, and its
    // translations speak the user's language from the first line on.
    wxInitializer toolkit;
    if (!toolkit.IsOk()) {
        std::cerr << "vorlix-wipe: cannot start the toolkit's base library" << std::endl;
        return WipeCommand::SomeNotWiped;
    }
#ifdef __WINDOWS__
    Language::Use("locale");
#else
    Language::Use("../share/locale");
#endif
    std::vector<wxString> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(NativePath::Decode(NativePath::String(argv[i])));
    const WipeOptions options = WipeOptions::Parse(args);
    switch (options.action) {
    case WipeOptions::Action::Help:
        std::cout << ConsoleText::Of(WipeOptions::Usage());
        return Finished(0);
    case WipeOptions::Action::Version:
        std::cout << "vorlix-wipe " VORLIX_VERSION "\n"
                  << ConsoleText::Of(_("License GPLv3+: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.\n"
                                       "This is free software: you are free to change and redistribute it.\n"
                                       "There is NO WARRANTY, to the extent permitted by law."))
                  << std::endl;
        return Finished(0);
    case WipeOptions::Action::Invalid:
        std::cerr << "vorlix-wipe: " << ConsoleText::Of(options.error) << "\n"
                  << ConsoleText::Of(_("Try 'vorlix-wipe --help'.")) << std::endl;
        return WipeCommand::UsageError;
    case WipeOptions::Action::Wipe: break;
    }
    // What a killed run of any of Vorlix's programs left goes first.
    CrashRecord::FinishLeftovers();
    WipeCommand command(options, std::cout, std::cerr);
    const int status = command.Run();
    return Finished(status, command.OutputError());
}
