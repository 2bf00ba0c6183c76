// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class MainFrame;
class wxSizer;

// The main window's controls and sizers, top to bottom: logo, queue header
// with its buttons, queue list, algorithm, gauge, button row. Sizes are in
// pixels at 96 DPI and grow with the screen's density; the window widens
// where a language's labels need more room than English.
class MainFrameLayout {
public:
    // Names of the two algorithms, in the combo box's order, as written;
    // the box shows their translations.
    static const char* const randomChoice;
    static const char* const dodChoice;

    // Creates every control into the frame's members and lays them out;
    // binds nothing.
    static void Build(MainFrame& frame);
    // Where drives can be wiped: the menu of the Drives button, under it.
    static void ShowDrivesMenu(MainFrame& frame);

private:
    static void AddLogo(MainFrame& frame, wxSizer& sizer);
};
