#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <utility>

#include "engine/TrashQueue.h"
#include "engine/WipeQueue.h"
#include "platform/FolderWalk.h"
#include "platform/TrashFolder.h"
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
    TrashQueue::Add({dir.Path("Trash")}, queue);
    EXPECT_TRUE(QueuedPaths(queue).empty());
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
