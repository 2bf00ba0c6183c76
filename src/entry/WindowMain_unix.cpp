// SPDX-License-Identifier: GPL-3.0-or-later
// `vorlix-window`: the window and its toolkit. `vorlix` executes it for the
// first instance and passes on the lock; started on its own it makes the
// single-instance test itself.
#include <string>
#include <vector>

#include "Main.h"
#include "shell/StartUp.h"
#include "platform/NativePath.h"

wxIMPLEMENT_APP_NO_MAIN(MyApp);

int main(int argc, char** argv)
{
    std::vector<wxString> paths;
    for (int i = 1; i < argc; ++i)
        paths.push_back(NativePath::Decode(std::string(argv[i])));
    return StartUp::Run(paths, [&](bool reportUnreachable) {
        MyApp::Prepare(paths, reportUnreachable);
        // Every argument is a path: the toolkit sees none of them.
        int count = 1;
        char* programOnly[] = {argv[0], nullptr};
        return wxEntry(count, programOnly);
    });
}
