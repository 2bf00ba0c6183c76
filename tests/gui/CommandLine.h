// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

class TempDir;

// The files and the folder the application was started with.
extern TempDir* commandLineDir;
extern std::vector<std::string> commandLinePaths;
