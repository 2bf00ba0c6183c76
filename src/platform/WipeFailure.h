// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/string.h>

// Why an entry was not wiped. Each is set where the failure happens, so that
// the end of a run can tell the user what to do about it.
enum class WipeFailure {
    None,
    NotFound,         // nothing at the path
    Link,             // a symbolic link, junction or other reparse point
    HardLinks,        // more than one name: the other names would keep pointing at it
    NotRegular,       // a folder, FIFO, socket or device
    SystemFile,       // on a filesystem of the kernel's (proc, sysfs...): a setting, not stored data
    AccessDenied,     // no permission, or read-only
    InUse,            // held open by another program
    Changed,          // the file, or a folder above it, was replaced after it was queued
    Growing,          // kept growing while it was being overwritten
    OverwriteFailed,  // a write or the sync failed: the content may be partly old
    DeleteFailed,     // overwritten, but it could not be deleted
    Stopped,          // the run was stopped while it was being overwritten
    Placeholder,      // a cloud placeholder whose content a provider keeps elsewhere
    PathTooLong,      // the path is longer than the system takes
    StreamFailed,     // a named data stream of the file could not be overwritten
    VerificationFailed,  // the last pass read back from the device differs from what was written (the last)
};

// One entry that a run did not wipe. detail holds the system's own error text
// where there is one.
struct FailedEntry {
    wxString path;
    WipeFailure reason = WipeFailure::None;
    wxString detail;
};
