// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>

#include <cstdlib>
#include <utility>

#include "engine/TrashQueue.h"
#include "engine/WipeQueue.h"
#include "platform/FolderWalk.h"
#include "platform/TrashFolder.h"
#include "support/LoopFilesystem.h"
#include "support/QueuedPaths.h"
#include "support/TempDir.h"

namespace {

// A trash folder as GLib lays one out: files/, info/NAME.trashinfo, directorysizes.
struct Trash {
    explicit Trash(const TempDir& dir, const std::string& name = "Trash") : dir(dir), root(dir.Folder(name))
    {
        dir.Folder(name + "/files");
        dir.Folder(name + "/info");
    }
    std::string Item(const std::string& item, bool withRecord = true) const
    {
        if (withRecord)
            Record(item);
        return root + "/files/" + item;
    }
    std::string Record(const std::string& item) const
    {
        return dir.File(Rel("info/" + item + ".trashinfo"), "[Trash Info]\nPath=/home/u/" + item + "\n");
    }
    std::string Rel(const std::string& path) const { return root.substr(dir.Path().size() + 1) + "/" + path; }
    const TempDir& dir;
    std::string root;
};

}  // namespace

TEST(Trash, QueuesEachItemThenItsRecordAndKeepsTheRecordsOfWhatCannotGo)
{
    TempDir dir;
    Trash trash(dir);
    const std::string file = dir.File(trash.Rel("files/a file.txt")), fileRecord = trash.Record("a file.txt");
    dir.Folder(trash.Rel("files/folder"));
    dir.Folder(trash.Rel("files/folder/sub"));
    dir.Folder(trash.Rel("files/folder/empty"));
    const std::string deep = dir.File(trash.Rel("files/folder/sub/deep.txt")), folderRecord = trash.Record("folder");
    // A folder holding a link, and a trashed link: the links are queued for
    // the run to refuse and name; their items keep their records.
    dir.Folder(trash.Rel("files/linked"));
    const std::string beside = dir.File(trash.Rel("files/linked/beside.txt"));
    const std::string inner = trash.Item("linked/to-home", false);
    ASSERT_EQ(symlink("/etc/passwd", inner.c_str()), 0);
    trash.Record("linked");
    const std::string link = trash.Item("z-link");
    ASSERT_EQ(symlink("/etc/hostname", link.c_str()), 0);
    const std::string orphan = trash.Record("gone long ago"), sizes = dir.File(trash.Rel("directorysizes"), "4 1 x\n");
    dir.File(trash.Rel("info/not-a-record"));

    WipeQueue queue;
    const TrashQueue::Added added = TrashQueue::Add({trash.root}, queue);
    // A walk lists a folder in the system's order; the rest is in name order.
    std::vector<wxString> queued = QueuedPaths(queue);
    if (queued.size() > 5 && queued[4] == wxString(inner))
        std::swap(queued[4], queued[5]);
    EXPECT_EQ(queued, (std::vector<wxString>{file, fileRecord, deep, folderRecord, beside, inner, link, orphan, sizes}));
    EXPECT_EQ(added.entries, 9u);
    EXPECT_EQ(added.folders, (std::vector<wxString>{trash.root + "/files/folder", trash.root + "/files/linked"}));
    EXPECT_TRUE(added.unreadable.empty());

    // Once the run has deleted the files, the emptied folders go and a folder
    // still holding something stays.
    for (const std::string& wiped : {deep, beside})
        ASSERT_EQ(unlink(wiped.c_str()), 0);
    TrashQueue::RemoveEmptied(added.folders);
    EXPECT_FALSE(Exists(trash.root + "/files/folder"));
    EXPECT_TRUE(Exists(inner));
    EXPECT_FALSE(Exists(beside));
    EXPECT_TRUE(Exists(trash.root + "/files/linked"));
}

TEST(Trash, AFilesOrInfoFolderThatIsALinkIsNotFollowed)
{
    TempDir dir;
    dir.Folder("elsewhere");
    const std::string victim = dir.File("elsewhere/victim.txt");
    dir.Folder("Trash");
    ASSERT_EQ(symlink(dir.Path("elsewhere").c_str(), dir.Path("Trash/files").c_str()), 0);
    ASSERT_EQ(symlink(dir.Path("elsewhere").c_str(), dir.Path("Trash/info").c_str()), 0);
    dir.File("elsewhere/victim.txt.trashinfo");
    WipeQueue queue;
    const TrashQueue::Added added = TrashQueue::Add({dir.Path("Trash")}, queue);
    EXPECT_TRUE(QueuedPaths(queue).empty());
    EXPECT_EQ(added.unreadable, (std::vector<wxString>{dir.Path("Trash/files"), dir.Path("Trash/info")}));
    // Nor does removing emptied folders go through a link.
    dir.Folder("elsewhere/empty");
    EXPECT_FALSE(FolderWalk::RemoveEmptied(dir.Path("Trash/files")));
    EXPECT_TRUE(Exists(dir.Path("elsewhere/empty")));
}

TEST(Trash, TheHomeTrashIsFoundUnderXdgDataHomeOnlyWhenItIsTheUsersRealFolder)
{
    TempDir dir;
    const char* saved = getenv("XDG_DATA_HOME");
    const std::string keep = saved ? saved : "";
    setenv("XDG_DATA_HOME", dir.Path().c_str(), 1);
    auto found = [] {
        const std::vector<wxString> folders = TrashFolder::OfUser();
        return !folders.empty() && folders.front() == wxString(getenv("XDG_DATA_HOME")) + "/Trash";
    };
    EXPECT_FALSE(found());
    dir.Folder("elsewhere");
    ASSERT_EQ(symlink(dir.Path("elsewhere").c_str(), dir.Path("Trash").c_str()), 0);
    EXPECT_FALSE(found());
    ASSERT_EQ(unlink(dir.Path("Trash").c_str()), 0);
    dir.Folder("Trash");
    EXPECT_TRUE(found());
    if (saved)
        setenv("XDG_DATA_HOME", keep.c_str(), 1);
    else
        unsetenv("XDG_DATA_HOME");
}

// What a record says is never where the wipe goes: only files/NAME is queued,
// with info/NAME.trashinfo after it, whatever that holds and however big.
TEST(Trash, ARecordsTextNeverNamesWhatIsQueued)
{
    TempDir dir;
    Trash trash(dir);
    const std::string victim = dir.File("victim.txt", "kept");
    const std::string item = dir.File(trash.Rel("files/item"));
    const std::string record = dir.File(trash.Rel("info/item.trashinfo"), "[Trash Info]\nPath=/etc/passwd\n");
    const std::string orphan = dir.File(trash.Rel("info/orphan.trashinfo"), "[Trash Info]\nPath=" + victim + "\n");
    const std::string big = dir.File(trash.Rel("files/big")),
                      bigRecord = dir.File(trash.Rel("info/big.trashinfo"), std::string(10 << 20, 'P'));
    const std::string junk = dir.File(trash.Rel("files/junk")),
                      junkRecord = dir.File(trash.Rel("info/junk.trashinfo"), std::string("\xFF\0Path=/etc\n\x80", 12));
    const std::string sizes = dir.File(trash.Rel("directorysizes"), "junk\n99999999999999999999 1 ..%2F..%2Fetc\n");
    WipeQueue queue;
    const TrashQueue::Added added = TrashQueue::Add({trash.root}, queue);
    EXPECT_EQ(QueuedPaths(queue), (std::vector<wxString>{big, bigRecord, item, record, junk, junkRecord, orphan, sizes}));
    EXPECT_TRUE(added.unreadable.empty());
}

// A trash on a drive every user can write to counts only where freedesktop's
// trash rules let it: .Trash sticky and no link, the user's folder in it and
// .Trash-UID real folders of the user's own. Any other stays unfound, and
// the halves of a found trash that are not the user's are named, not listed.
TEST(Trash, OnASharedDriveOnlyTheUsersOwnTrashFoldersCount)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "making folders of another user needs root";
    LoopFilesystem drive;
    if (!drive.Usable())
        GTEST_SKIP() << "no loop devices here";
    const std::string uid = std::to_string(geteuid()), shared = drive.Path(".Trash"), own = shared + "/" + uid,
                      dashed = drive.Path(".Trash-" + uid);
    const uid_t stranger = 12345;
    auto found = [](const std::string& folder) {
        const std::vector<wxString> folders = TrashFolder::OfUser();
        return std::find(folders.begin(), folders.end(), wxString(folder)) != folders.end();
    };
    auto remake = [&](mode_t sharedMode, uid_t ownOwner, uid_t dashedOwner) {
        std::system(("rm -rf '" + shared + "' '" + dashed + "'").c_str());
        mkdir(shared.c_str(), 0777);
        chmod(shared.c_str(), sharedMode);
        mkdir(own.c_str(), 0700);
        mkdir(dashed.c_str(), 0700);
        return chown(own.c_str(), ownOwner, ownOwner) == 0 && chown(dashed.c_str(), dashedOwner, dashedOwner) == 0;
    };
    ASSERT_TRUE(remake(01777, geteuid(), geteuid()));
    EXPECT_TRUE(found(own));
    EXPECT_TRUE(found(dashed));
    ASSERT_TRUE(remake(0777, geteuid(), stranger));
    EXPECT_FALSE(found(own)) << "a .Trash without the sticky bit";
    EXPECT_FALSE(found(dashed)) << "a .Trash-UID of another user";
    ASSERT_TRUE(remake(01777, stranger, geteuid()));
    EXPECT_FALSE(found(own)) << "a .Trash/UID of another user";
    EXPECT_TRUE(found(dashed));
    // Links to real trash folders of this user, made by someone else.
    const std::string real = drive.Path("real");
    mkdir(real.c_str(), 0700);
    std::system(("rm -rf '" + shared + "' '" + dashed + "'").c_str());
    ASSERT_EQ(symlink(real.c_str(), dashed.c_str()), 0);
    mkdir(shared.c_str(), 01777);
    chmod(shared.c_str(), 01777);
    ASSERT_EQ(symlink(real.c_str(), own.c_str()), 0);
    EXPECT_FALSE(found(dashed));
    EXPECT_FALSE(found(own));
    ASSERT_EQ(unlink(own.c_str()), 0);
    ASSERT_EQ(rmdir(shared.c_str()), 0);
    ASSERT_EQ(symlink(real.c_str(), shared.c_str()), 0);
    mkdir((real + "/" + uid).c_str(), 0700);
    EXPECT_FALSE(found(shared + "/" + uid)) << "a .Trash that is a link";

    // The user's own trash, whose halves someone else made.
    ASSERT_EQ(unlink(dashed.c_str()), 0);
    mkdir(dashed.c_str(), 0777);
    for (const char* half : {"/files", "/info"}) {
        mkdir((dashed + half).c_str(), 0777);
        ASSERT_EQ(chown((dashed + half).c_str(), stranger, stranger), 0);
    }
    WriteFile(dashed + "/files/theirs.txt", "not this user's");
    WriteFile(dashed + "/info/theirs.txt.trashinfo", "[Trash Info]\nPath=/x\n");
    WipeQueue queue;
    const TrashQueue::Added added = TrashQueue::Add({dashed}, queue);
    EXPECT_TRUE(QueuedPaths(queue).empty());
    EXPECT_EQ(added.unreadable, (std::vector<wxString>{dashed + "/files", dashed + "/info"}));
}
