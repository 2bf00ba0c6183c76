#pragma once

#include <wx/string.h>

#include <vector>

// The entry point of the module that holds the window and its toolkit: starts
// the toolkit (wxEntry) with MyApp and returns its exit status.
namespace WindowModule {
using RunFunction = int(char* programName, const std::vector<wxString>& paths, bool reportUnreachable);
constexpr const char* runName = "VorlixRunWindow";
}  // namespace WindowModule
