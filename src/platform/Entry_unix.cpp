// Process entry: the command line is read here, as the system's own bytes, so
// that no argument is dropped or re-decoded, and a later instance hands its
// paths over before the toolkit connects to the display.
#include <string>
#include <vector>

#include "Main.h"
#include "NativePath.h"

wxIMPLEMENT_APP_NO_MAIN(MyApp);

int main(int argc, char** argv)
{
    std::vector<wxString> paths;
    for (int i = 1; i < argc; ++i)
        paths.push_back(NativePath::Decode(std::string(argv[i])));
    return MyApp::Main(paths, [argv] {
        // Every argument is a path: the toolkit sees none of them.
        int count = 1;
        char* programOnly[] = {argv[0], nullptr};
        return wxEntry(count, programOnly);
    });
}
