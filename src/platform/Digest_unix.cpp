// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Digest.h"

#include <glib.h>

#include <limits>

std::string Digest::Sha256Hex(const std::string& bytes)
{
    if (bytes.size() > static_cast<size_t>(std::numeric_limits<gssize>::max()))
        return std::string();
    GChecksum* checksum = g_checksum_new(G_CHECKSUM_SHA256);
    if (checksum == nullptr)
        return std::string();
    g_checksum_update(checksum, reinterpret_cast<const guchar*>(bytes.data()), static_cast<gssize>(bytes.size()));
    std::string hex = g_checksum_get_string(checksum);
    g_checksum_free(checksum);
    return hex;
}
