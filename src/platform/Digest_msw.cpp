// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Digest.h"

#include <windows.h>

#include <bcrypt.h>

#include <limits>

// Through a hash object rather than BCryptHash, which Windows 10 brought
// and MinGW's headers hide below that version.
std::string Digest::Sha256Hex(const std::string& bytes)
{
    if (bytes.size() > (std::numeric_limits<ULONG>::max)())
        return std::string();
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (!BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
        return std::string();
    unsigned char digest[32];
    BCRYPT_HASH_HANDLE hash = nullptr;
    // No object buffer given: CNG keeps the hash's state itself (Windows 7 on).
    bool done = BCRYPT_SUCCESS(::BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0));
    done = done
           && BCRYPT_SUCCESS(::BCryptHashData(hash, reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data())),
                                              static_cast<ULONG>(bytes.size()), 0))
           && BCRYPT_SUCCESS(::BCryptFinishHash(hash, digest, sizeof digest, 0));
    if (hash != nullptr)
        ::BCryptDestroyHash(hash);
    ::BCryptCloseAlgorithmProvider(algorithm, 0);
    if (!done)
        return std::string();
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char byte : digest) {
        hex += digits[byte >> 4];
        hex += digits[byte & 0xF];
    }
    return hex;
}
