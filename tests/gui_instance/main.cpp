// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstdlib>

#include "support/GuiHarness.h"

int main(int argc, char** argv)
{
    // Later instances are started from here; give them a desktop's UTF-8 locale.
    setenv("LC_ALL", "C.UTF-8", 1);
    return RunGuiTests(argc, argv, {});
}
