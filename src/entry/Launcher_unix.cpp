// Process entry: the command line is read here, as the system's own bytes, so
// that no argument is dropped or re-decoded. The window and its toolkit live
// in a module loaded only when this process needs them: a later instance
// hands its paths over without loading the GUI libraries, which costs a
// burst of hundreds of launches most of its time, and without a display.
#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <iostream>
#include <string>
#include <vector>

#include "NativePath.h"
#include "StartUp.h"
#include "WindowModule.h"

namespace {

// The module sits beside the program in the build, and in its own folder
// under the library folder once installed.
std::string ModulePath()
{
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        return std::string();
    std::string folder(self, size_t(length));
    folder.erase(folder.rfind('/'));
    const std::string beside = folder + "/" VORLIX_WINDOW_MODULE;
    if (access(beside.c_str(), R_OK) == 0)
        return beside;
    return folder + "/" VORLIX_INSTALLED_MODULE;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<wxString> paths;
    for (int i = 1; i < argc; ++i)
        paths.push_back(NativePath::Decode(std::string(argv[i])));
    return StartUp::Run(paths, [&](bool reportUnreachable) {
        const std::string module = ModulePath();
        void* handle = dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
        auto* run = handle ? reinterpret_cast<WindowModule::RunFunction*>(dlsym(handle, WindowModule::runName))
                           : nullptr;
        if (!run) {
            const char* why = dlerror();
            std::cerr << "Cannot load the window: " << (why ? why : module.c_str()) << std::endl;
            return 1;
        }
        return run(argv[0], paths, reportUnreachable);
    });
}
