// The window's module: MyApp and the toolkit, loaded by the process entry.
#include "Main.h"
#include "WindowModule.h"

wxIMPLEMENT_APP_NO_MAIN(MyApp);

extern "C" WindowModule::RunFunction VorlixRunWindow;

extern "C" int VorlixRunWindow(char* programName, const std::vector<wxString>& paths, bool reportUnreachable)
{
    MyApp::Prepare(paths, reportUnreachable);
    // Every argument is a path: the toolkit sees none of them.
    int count = 1;
    char* programOnly[] = {programName, nullptr};
    return wxEntry(count, programOnly);
}
