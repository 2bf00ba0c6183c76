// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <memory>
#include <new>

// A buffer at the alignment direct I/O asks for (or a window a writer hands
// on whole), freed as it was made. Empty until given a size.
class AlignedBytes {
public:
    AlignedBytes() = default;
    AlignedBytes(size_t size, size_t alignment)
        : bytes(new (std::align_val_t(alignment)) unsigned char[size], Free{alignment})
    {
    }
    unsigned char* get() const { return bytes.get(); }

private:
    struct Free {
        size_t alignment;
        void operator()(unsigned char* at) const { ::operator delete[](at, std::align_val_t(alignment)); }
    };
    std::unique_ptr<unsigned char[], Free> bytes;
};
