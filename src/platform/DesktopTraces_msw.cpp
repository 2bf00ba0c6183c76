// SPDX-License-Identifier: GPL-3.0-or-later
#include "DesktopTraces.h"

// Nothing is looked for on Windows yet: its recent items and jump lists are
// shortcuts (Kind::Shortcut) that a later version finds here.
struct DesktopTraces::State {
    std::vector<Problem> none;
};

DesktopTraces::DesktopTraces() : state(new State) {}

DesktopTraces::~DesktopTraces() = default;

bool DesktopTraces::Nothing() const
{
    return true;
}

void DesktopTraces::Of(const wxString&, std::vector<Found>&, std::vector<Problem>&) {}

void DesktopTraces::Under(const wxString&, std::vector<Found>&) {}

const std::vector<DesktopTraces::Problem>& DesktopTraces::ReadProblems() const
{
    return state->none;
}

DesktopTraces::Rewrite DesktopTraces::RewriteRecent()
{
    return Rewrite();
}
