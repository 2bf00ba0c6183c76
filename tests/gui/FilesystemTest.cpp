#include <gtest/gtest.h>

#include "MainFrame.h"
#include "platform/OverwriteCaveat.h"
#include "support/GuiHarness.h"
#include "support/LoopFilesystem.h"
#include "support/TempDir.h"

namespace {

void Queue(Frame& frame, const std::string& path)
{
    wxArrayString paths;
    paths.Add(path);
    frame->AddPaths(paths);
}

const ShownMessage* Box(const wxString& caption)
{
    for (const ShownMessage& box : Dialogs().messages)
        if (box.caption == caption)
            return &box;
    return nullptr;
}

}  // namespace

TEST(FilesystemWarning, NamesACopyOnWriteFilesystemAndLetsTheUserCancel)
{
    LoopFilesystem btrfs("btrfs", "128M");
    if (!btrfs.Usable())
        GTEST_SKIP() << "needs root, loop devices and mkfs.btrfs";
    const std::string file = btrfs.Path("on-btrfs.txt");
    WriteFile(file, "old data");
    EXPECT_EQ(OverwriteCaveat::For(file), "btrfs filesystem");

    Frame frame;
    Queue(frame, file);
    Dialogs().messages.clear();
    Dialogs().answers = {wxID_NO};
    Click(frame->startButton);
    const ShownMessage* warning = Box("Filesystem warning");
    ASSERT_NE(warning, nullptr);
    EXPECT_TRUE(warning->message.Contains("btrfs")) << warning->message;
    EXPECT_TRUE(warning->style & wxICON_WARNING);
    EXPECT_TRUE(warning->style & wxYES_NO);
    EXPECT_FALSE(frame->IsRunning());
    EXPECT_EQ(frame->wipeQueue.Count(), 1u);
    EXPECT_TRUE(frame->startButton->IsEnabled());
    EXPECT_TRUE(Exists(file));

    // Going on anyway runs the wipe as usual.
    Dialogs().messages.clear();
    Click(frame->startButton);
    ASSERT_TRUE(PumpUntil([] { return Box("Completed!") != nullptr; }, 30000));
    EXPECT_NE(Box("Filesystem warning"), nullptr);
    EXPECT_FALSE(Exists(file));
}

TEST(FilesystemWarning, IsNotShownForAFileOnExt4UnlessItsJournalKeepsData)
{
    LoopFilesystem ext4("ext4");
    if (!ext4.Usable())
        GTEST_SKIP() << "needs root and loop devices";
    const std::string file = ext4.Path("on-ext4.txt");
    WriteFile(file, "old data");
    EXPECT_EQ(OverwriteCaveat::For(file), "");

    Frame frame;
    Queue(frame, file);
    Dialogs().messages.clear();
    Click(frame->startButton);
    ASSERT_TRUE(PumpUntil([] { return Box("Completed!") != nullptr; }, 30000));
    EXPECT_EQ(Box("Filesystem warning"), nullptr);
    EXPECT_EQ(Dialogs().messages.size(), 1u);

    // The journal keeps copies of what it writes: with data=journal, and for a
    // small file kept inside its inode.
    ASSERT_TRUE(ext4.Unmount() && ext4.Mount("data=journal"));
    WriteFile(file, "old data");
    EXPECT_EQ(OverwriteCaveat::For(file), "ext4 filesystem (data=journal)");
    LoopFilesystem inlined("ext4", "64M", "-O inline_data");
    ASSERT_TRUE(inlined.Usable());
    WriteFile(inlined.Path("small"), std::string(50, 's'));
    EXPECT_EQ(OverwriteCaveat::For(inlined.Path("small")), "ext4 filesystem (inline data)");
}
