#include "OverwriteCaveat.h"

#include <sys/vfs.h>

#include <cstdint>

namespace {

struct Kind {
    uint32_t magic;
    const char* name;
};

// Filesystem magic numbers, as in the kernel's magic.h.
const Kind caveats[] = {
    {0x9123683E, "btrfs"},        {0x2FC12FC1, "ZFS"},       {0xCA451A4E, "bcachefs"},
    {0xF2F52010, "F2FS"},         {0x3434, "NILFS"},         {0x794C7630, "overlay"},
    {0x6969, "NFS"},              {0xFF534D42, "CIFS"},      {0xFE534D42, "SMB2"},
    {0x517B, "SMB"},              {0x00C36400, "Ceph"},      {0x01021997, "9P"},
    {0x5346414F, "AFS"},          {0x6B414653, "AFS"},       {0x47504653, "GPFS"},
    {0x65735546, "FUSE"},
};

}  // namespace

wxString OverwriteCaveat::For(const wxString& path)
{
    struct statfs info;
    if (statfs(path.fn_str(), &info) != 0)
        return wxString();
    const uint32_t magic = static_cast<uint32_t>(info.f_type);
    for (const Kind& kind : caveats) {
        if (kind.magic == magic)
            return kind.name;
    }
    return wxString();
}
