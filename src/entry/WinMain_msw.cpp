// SPDX-License-Identifier: GPL-3.0-or-later
// Vorlix.exe: the command line is read here, as the system's wide text, and
// a later instance hands its paths over before the toolkit starts.
// The toolkit's socket header brings winsock2.h, which must come before windows.h.
#include "Main.h"
#include "platform/NativePath.h"
#include "shell/StartUp.h"

#include <windows.h>

#include <shellapi.h>

#include <vector>

wxIMPLEMENT_APP_NO_MAIN(MyApp);

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR, int show)
{
    std::vector<wxString> paths;
    int count = 0;
    if (LPWSTR* args = ::CommandLineToArgvW(::GetCommandLineW(), &count)) {
        for (int i = 1; i < count; ++i)
            paths.push_back(NativePath::Decode(args[i]));
        ::LocalFree(args);
    }
    return StartUp::Run(paths, [&](bool reportUnreachable) {
        MyApp::Prepare(paths, reportUnreachable);
        return wxEntry(instance, previous, nullptr, show);
    });
}
