// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sys/mount.h>

#include <string>

// A mount a root test makes inside its own TempDir, taken off again when it
// goes out of scope (declared after the TempDir, so before that is removed).
class ScopedMount {
public:
    ScopedMount(const std::string& source, const std::string& target, const char* type, unsigned long flags = 0)
        : target(target), mounted(::mount(source.c_str(), target.c_str(), type, flags, nullptr) == 0)
    {
    }
    ~ScopedMount()
    {
        if (mounted)
            ::umount2(target.c_str(), MNT_DETACH);
    }
    ScopedMount(const ScopedMount&) = delete;
    ScopedMount& operator=(const ScopedMount&) = delete;

    bool Mounted() const { return mounted; }

private:
    std::string target;
    bool mounted;
};
