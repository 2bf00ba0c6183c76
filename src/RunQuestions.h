// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

#include "engine/RunSurvey.h"
#include "engine/WipeMethod.h"

// The questions asked before a run starts: about the queued files as a
// whole, or about the filesystem whose free space is to be wiped.
class RunQuestions {
public:
    // Warns once when queued files live where overwriting cannot reach their
    // old data; false when the user then declines.
    static bool OverwriteReachesData(const RunSurvey& survey);
    // Asks once whether read-only files may have that attribute cleared and be
    // wiped too; never silently. False when there are none or the user says no.
    static bool ClearReadOnly(const RunSurvey& survey);
    enum class FreeSpaceAnswer { No, AsUser, AsAdministrator };
    // Says why the free space of the filesystem folder is on cannot be wiped,
    // or asks whether to wipe it: where only an administrator's run reaches
    // all of it and one can be had, whether to wipe it with those rights.
    static FreeSpaceAnswer WipeFreeSpace(const wxString& folder, WipeMethod method);
    // After polkit said no (refusal, its text): says so, and asks whether to
    // wipe what this user may fill instead; true once the user has said yes.
    static bool WipeWithoutAdministrator(const wxString& folder, const wxString& refusal);
    // Asks whether to wipe a device or image that is not mounted; true once
    // the user has said yes.
    static bool WipeVolume(const wxString& path, WipeMethod method);
};
