// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ExtVolume.h"

// com_err's header declares its functions without C linkage.
extern "C" {
#include <et/com_err.h>
}
#include <ext2fs/ext2fs.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <algorithm>
#include <fstream>

#include <dirent.h>
#include <sys/stat.h>

namespace {

// The journal superblock (big-endian): its magic, and where recovery would
// start (0: nothing to replay).
const uint32_t journalMagic = 0xC03B3998u;
const size_t journalStartAt = 28;

uint32_t BigEndian32(const unsigned char* p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

wxString Said(errcode_t code)
{
    return wxString::FromUTF8(error_message(code));
}

wxString TypeOf(ext2_filsys fs)
{
    ext2_super_block* super = fs->super;
    if (ext2fs_has_feature_extents(super) || ext2fs_has_feature_flex_bg(super) || ext2fs_has_feature_64bit(super)
        || ext2fs_has_feature_metadata_csum(super) || ext2fs_has_feature_huge_file(super))
        return "ext4";
    return ext2fs_has_feature_journal(super) ? "ext3" : "ext2";
}

struct JournalWalk {
    std::vector<ExtVolume::Blocks> runs;
};

int OnJournalBlock(ext2_filsys, blk64_t* block, e2_blkcnt_t index, blk64_t, int, void* data)
{
    auto& runs = static_cast<JournalWalk*>(data)->runs;
    if (index <= 0)  // the journal's superblock is kept
        return 0;
    if (!runs.empty() && runs.back().first + runs.back().count == *block)
        ++runs.back().count;
    else
        runs.push_back({*block, 1});
    return 0;
}

struct DirectoryWalk {
    ext2_filsys fs;
    ExtVolume::Directories* done;
    bool indexed = false;   // a hashed directory: its index hides behind ".." and empty entries
    bool extended = false;  // casefolded and encrypted: each name is followed by its hash
    bool changed = false;   // in the block being walked
};

// Zeroes what lies unused in one entry; DIRENT_CHANGED when it wrote.
int OnEntry(ext2_ino_t, int kind, ext2_dir_entry* entry, int offset, int, char* buf, void* data)
{
    auto* walk = static_cast<DirectoryWalk*>(data);
    // Each block's walk starts at offset 0; one the walk changed is written once.
    if (offset == 0 && walk->changed) {
        ++walk->done->blocksWritten;
        walk->changed = false;
    }
    const unsigned nameLength = ext2fs_dirent_name_len(entry);
    unsigned recordLength = 0;
    if (ext2fs_get_rec_len(walk->fs, entry, &recordLength) != 0)
        return 0;
    // An unused entry with no name is an index block's cover, the checksum's
    // tail or empty already.
    if (entry->inode == 0 && nameLength == 0)
        return 0;
    if (walk->indexed && kind == DIRENT_DOT_DOT_FILE)
        return 0;
    char* const start = buf + offset;
    unsigned keep = ext2fs_dir_rec_len(nameLength, walk->extended && entry->inode != 0);
    if (entry->inode == 0) {
        ext2fs_dirent_set_name_len(entry, 0);
        ext2fs_dirent_set_file_type(entry, 0);
        keep = 8;
        ++walk->done->namesCleared;
    }
    if (keep >= recordLength) {
        walk->changed = walk->changed || entry->inode == 0;
        return entry->inode == 0 ? DIRENT_CHANGED : 0;
    }
    bool dirty = entry->inode == 0;
    for (unsigned at = keep; at < recordLength && !dirty; ++at)
        dirty = start[at] != 0;
    if (!dirty)
        return 0;
    std::memset(start + keep, 0, recordLength - keep);
    walk->changed = true;
    return DIRENT_CHANGED;
}

bool AllZero(const unsigned char* p, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        if (p[i] != 0)
            return false;
    return true;
}

}  // namespace

bool ExtVolume::Supported()
{
    return true;
}

bool ExtVolume::IsDeviceOrImage(const wxString& path)
{
    struct stat st;
    return stat(path.fn_str(), &st) == 0 && (S_ISBLK(st.st_mode) || S_ISREG(st.st_mode));
}

std::vector<wxString> ExtVolume::FindUnmounted()
{
    std::vector<wxString> found;
    DIR* folder = opendir("/sys/class/block");
    if (!folder)
        return found;
    while (const dirent* entry = readdir(folder)) {
        const std::string name = entry->d_name;
        if (name[0] == '.')
            continue;
        // An empty loop device or drive holds nothing to open.
        unsigned long long sectors = 0;
        std::ifstream size("/sys/class/block/" + name + "/size");
        if (!(size >> sectors) || sectors == 0)
            continue;
        const wxString device = "/dev/" + wxString::FromUTF8(name);
        ExtVolume volume;
        wxString detail;
        if (volume.Open(device, false, detail) == Refusal::None)
            found.push_back(device);
    }
    closedir(folder);
    std::sort(found.begin(), found.end());
    return found;
}

ExtVolume::~ExtVolume()
{
    if (fs)
        ext2fs_close_free(&fs);
}

ExtVolume::Refusal ExtVolume::Open(const wxString& path, bool writable, wxString& detail)
{
    const wxCharBuffer name = path.fn_str();
    struct stat st;
    if (stat(name, &st) != 0) {
        detail = wxString::FromUTF8(std::strerror(errno));
        return Refusal::NotFound;
    }
    int mountFlags = 0;
    char mountPoint[PATH_MAX] = "";
    errcode_t code = ext2fs_check_mount_point(name, &mountFlags, mountPoint, sizeof mountPoint);
    if (code != 0) {
        detail = Said(code);
        return Refusal::Failed;
    }
    if (mountFlags & EXT2_MF_MOUNTED) {
        detail = wxString(mountPoint, wxConvFile);
        return Refusal::Mounted;
    }
    if (mountFlags & (EXT2_MF_BUSY | EXT2_MF_SWAP)) {
        detail = wxString::FromUTF8(std::strerror(EBUSY));
        return Refusal::Busy;
    }
    const int flags = EXT2_FLAG_64BITS | (writable ? EXT2_FLAG_RW | EXT2_FLAG_EXCLUSIVE : 0);
    code = ext2fs_open2(name, nullptr, flags, 0, 0, unix_io_manager, &fs);
    if (code != 0) {
        fs = nullptr;
        detail = Said(code);
        if (code == EBUSY)
            return Refusal::Busy;
        return code == EXT2_ET_BAD_MAGIC || code == EXT2_ET_SHORT_READ || code == EXT2_ET_CORRUPT_SUPERBLOCK
                       || code == EXT2_ET_UNSUPP_FEATURE || code == EXT2_ET_RO_UNSUPP_FEATURE
                   ? Refusal::NotExt
                   : Refusal::Failed;
    }
    ext2_super_block* super = fs->super;
    bool needsCheck = (super->s_state & EXT2_ERROR_FS) || !(super->s_state & EXT2_VALID_FS)
                      || ext2fs_has_feature_journal_needs_recovery(super) || super->s_last_orphan != 0;
    if (!needsCheck && (code = ext2fs_read_bitmaps(fs)) != 0) {
        detail = Said(code);
        ext2fs_close_free(&fs);
        return Refusal::NeedsCheck;
    }
    facts = Facts();
    facts.type = TypeOf(fs);
    facts.blockSize = fs->blocksize;
    facts.inodeSize = EXT2_INODE_SIZE(super);
    facts.externalJournal = ext2fs_has_feature_journal(super) && super->s_journal_inum == 0;
    for (const Blocks& run : JournalRuns())
        facts.journalBlocks += run.count;
    if (!needsCheck && facts.journalBlocks != 0) {
        // A journal whose own superblock says it has something to replay.
        std::vector<unsigned char> head(fs->blocksize);
        blk64_t first = 0;
        if (ext2fs_bmap2(fs, super->s_journal_inum, nullptr, nullptr, 0, 0, nullptr, &first) == 0 && first != 0
            && io_channel_read_blk64(fs->io, first, 1, head.data()) == 0)
            needsCheck = BigEndian32(head.data()) != journalMagic || BigEndian32(head.data() + journalStartAt) != 0;
    }
    if (needsCheck) {
        detail = wxString();
        ext2fs_close_free(&fs);
        return Refusal::NeedsCheck;
    }
    for (const Blocks& run : FreeRuns())
        facts.freeBlocks += run.count;
    facts.unusedInodes = super->s_free_inodes_count;
    return Refusal::None;
}

bool ExtVolume::ReadHeldStill(const wxString& path, wxString& detail)
{
    // Read through the device's cache, where the kernel keeps its bitmaps:
    // frozen, every change to them is committed there.
    errcode_t code = ext2fs_open2(path.fn_str(), nullptr, EXT2_FLAG_64BITS, 0, 0, unix_io_manager, &fs);
    if (code != 0) {
        fs = nullptr;
        detail = Said(code);
        return false;
    }
    if ((code = ext2fs_read_block_bitmap(fs)) != 0) {
        detail = Said(code);
        ext2fs_close_free(&fs);
        return false;
    }
    facts = Facts();
    facts.type = TypeOf(fs);
    facts.blockSize = fs->blocksize;
    for (const Blocks& run : FreeRuns())
        facts.freeBlocks += run.count;
    return true;
}

std::vector<ExtVolume::Blocks> ExtVolume::FreeRuns() const
{
    std::vector<Blocks> runs;
    const blk64_t end = ext2fs_blocks_count(fs->super) - 1;
    blk64_t at = fs->super->s_first_data_block;
    while (at <= end) {
        blk64_t free = 0, used = 0;
        if (ext2fs_find_first_zero_block_bitmap2(fs->block_map, at, end, &free) != 0)
            break;
        if (ext2fs_find_first_set_block_bitmap2(fs->block_map, free, end, &used) != 0)
            used = end + 1;
        runs.push_back({free, used - free});
        at = used;
    }
    return runs;
}

std::vector<ExtVolume::Blocks> ExtVolume::JournalRuns() const
{
    JournalWalk walk;
    const ext2_ino_t journal = fs->super->s_journal_inum;
    if (ext2fs_has_feature_journal(fs->super) && journal != 0)
        ext2fs_block_iterate3(fs, journal, BLOCK_FLAG_READ_ONLY | BLOCK_FLAG_DATA_ONLY, nullptr, OnJournalBlock,
                              &walk);
    return walk.runs;
}

bool ExtVolume::Write(uint64_t first, uint64_t count, const void* data)
{
    return Failed(io_channel_write_blk64(fs->io, first, static_cast<int>(count), data), "write");
}

bool ExtVolume::Flush()
{
    return Failed(io_channel_flush(fs->io), "flush");
}

bool ExtVolume::ClearDirectories(Directories& done, const StopAsked& stop)
{
    ext2_inode_scan scan = nullptr;
    if (!Failed(ext2fs_open_inode_scan(fs, 0, &scan), "inode scan"))
        return false;
    ext2_ino_t ino = 0;
    ext2_inode inode;
    bool ok = true;
    while (ok && !stop()) {
        if (!(ok = Failed(ext2fs_get_next_inode(scan, &ino, &inode), "inode scan")) || ino == 0)
            break;
        if (!LINUX_S_ISDIR(inode.i_mode) || inode.i_links_count == 0 || !ext2fs_test_inode_bitmap2(fs->inode_map, ino))
            continue;
        if (inode.i_flags & EXT4_INLINE_DATA_FL) {
            ++done.inlineLeft;
            continue;
        }
        DirectoryWalk walk{fs, &done};
        walk.indexed = (inode.i_flags & EXT2_INDEX_FL) != 0;
        walk.extended = (inode.i_flags & EXT4_CASEFOLD_FL) && (inode.i_flags & EXT4_ENCRYPT_FL);
        ok = Failed(ext2fs_dir_iterate2(fs, ino, DIRENT_FLAG_INCLUDE_EMPTY, nullptr, OnEntry, &walk), "directory");
        done.blocksWritten += walk.changed ? 1 : 0;
    }
    ext2fs_close_inode_scan(scan);
    return ok;
}

bool ExtVolume::ClearUnusedInodes(uint64_t& bytes, uint64_t& inodes, const StopAsked& stop)
{
    const unsigned perGroup = fs->super->s_inodes_per_group;
    const unsigned size = EXT2_INODE_SIZE(fs->super);
    const unsigned perBlock = fs->blocksize / size;
    const ext2_ino_t firstOrdinary = EXT2_FIRST_INODE(fs->super);
    std::vector<unsigned char> table(size_t(fs->inode_blocks_per_group) * fs->blocksize);
    for (dgrp_t group = 0; group < fs->group_desc_count; ++group) {
        if (stop())
            return true;
        const blk64_t at = ext2fs_inode_table_loc(fs, group);
        if (!Failed(io_channel_read_blk64(fs->io, at, fs->inode_blocks_per_group, table.data()), "read"))
            return false;
        for (unsigned block = 0; block < fs->inode_blocks_per_group; ++block) {
            bool changed = false;
            for (unsigned slot = 0; slot < perBlock; ++slot) {
                const unsigned index = block * perBlock + slot;
                const ext2_ino_t ino = group * perGroup + index + 1;
                unsigned char* inode = table.data() + size_t(index) * size;
                if (index >= perGroup || ino < firstOrdinary || ext2fs_test_inode_bitmap2(fs->inode_map, ino)
                    || AllZero(inode, size))
                    continue;
                std::memset(inode, 0, size);
                changed = true;
                ++inodes;
            }
            if (!changed)
                continue;
            if (!Failed(io_channel_write_blk64(fs->io, at + block, 1, table.data() + size_t(block) * fs->blocksize),
                        "write"))
                return false;
            bytes += fs->blocksize;
        }
    }
    return true;
}

bool ExtVolume::Close()
{
    if (!fs)
        return true;
    const errcode_t code = ext2fs_close_free(&fs);
    fs = nullptr;
    return Failed(code, "close");
}

bool ExtVolume::Failed(long code, const char* what)
{
    if (code == 0)
        return true;
    error = wxString(what) + ": " + Said(code);
    return false;
}
