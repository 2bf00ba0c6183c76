// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

// Digests of bytes, from the system's own implementation (GLib on Linux,
// CNG on Windows): a certificate's checksum must be one anybody can
// recompute with sha256sum or Get-FileHash.
class Digest {
public:
    // The SHA-256 of bytes as 64 lowercase hex digits; empty if the system
    // could not compute it.
    static std::string Sha256Hex(const std::string& bytes);
};
