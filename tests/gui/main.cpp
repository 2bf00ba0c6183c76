// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/GuiHarness.h"
#include "support/TempDir.h"

#include "CommandLine.h"

TempDir* commandLineDir = nullptr;
std::vector<std::string> commandLinePaths;

int main(int argc, char** argv)
{
    TempDir dir;
    commandLineDir = &dir;
    // Three paths in an order that is not sorted, one of them a folder.
    commandLinePaths = {dir.File("zeta.txt", std::string(100, 'z')), dir.Folder("folder"),
                        dir.File("alpha.txt", std::string(2048, 'a'))};
    dir.File("folder/inside.txt");
    return RunGuiTests(argc, argv, commandLinePaths);
}
