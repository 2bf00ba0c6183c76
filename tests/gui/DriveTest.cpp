// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <wx/filedlg.h>
#include <wx/listctrl.h>
#include <wx/radiobox.h>
#include <wx/statusbr.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <regex>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "DriveTarget.h"
#include "EndOfRunBox.h"
#include "MainFrame.h"
#include "support/GuiHarness.h"
#include "support/LoopFilesystem.h"
#include "support/TempDir.h"

namespace {

const std::string marker = "VORLIX-WINDOW-DRIVE-MARKER\n";

std::string FirstLine(const std::string& path)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

std::string RealPath(const std::string& path)
{
    char real[PATH_MAX];
    return ::realpath(path.c_str(), real) ? std::string(real) : std::string();
}

// A loop device of the test's own over a file filled with the marker in a
// folder of its own; detached with the object.
class OwnLoop {
public:
    explicit OwnLoop(size_t mib)
    {
        if (::geteuid() != 0)
            return;
        backing = RealPath(dir.Path()) + "/drive.img";
        {
            std::ofstream out(backing, std::ios::binary);
            std::string block;
            while (block.size() < (1u << 20))
                block += marker;
            for (size_t i = 0; i < mib; ++i)
                out.write(block.data(), 1 << 20);
        }
        const std::string listed = dir.Path() + "/losetup";
        if (std::system(("losetup -f --show '" + backing + "' >'" + listed + "' 2>/dev/null").c_str()) != 0)
            return;
        // Its discard limit is left alone: a 0 written there stays with the
        // loop device for every later user of it.
        device = FirstLine(listed);
    }
    ~OwnLoop()
    {
        if (!device.empty())
            std::system(("losetup -d '" + device + "'").c_str());
    }
    // The one guard before every wipe: /dev/loopN whose backing file is this
    // object's own file in its own folder.
    bool IsOwn() const
    {
        return std::regex_match(device, std::regex("/dev/loop[0-9]+"))
               && FirstLine(Sys() + "/loop/backing_file") == backing && backing.rfind(RealPath(dir.Path()), 0) == 0;
    }
    std::string Name() const { return device.substr(5); }
    std::string Sys() const { return "/sys/block/" + Name(); }
    size_t Markers() const
    {
        const std::string content = ReadFile(backing);
        size_t count = 0;
        for (size_t at = content.find(marker); at != std::string::npos; at = content.find(marker, at + 1))
            ++count;
        return count;
    }

    TempDir dir;
    std::string backing;
    std::string device;
};

// The kernel's name of the loop device a LoopFilesystem is mounted from.
std::string MountedFrom(const LoopFilesystem& fs)
{
    struct stat st;
    if (::stat(fs.Path("").c_str(), &st) != 0)
        return std::string();
    const std::string sys = RealPath("/sys/dev/block/" + std::to_string(major(st.st_dev)) + ":"
                                     + std::to_string(minor(st.st_dev)));
    return sys.substr(sys.rfind('/') + 1);
}

long Row(const DriveTarget& target, const std::string& name)
{
    for (size_t i = 0; i < target.Drives().size(); ++i)
        if (target.Drives()[i].name == name)
            return static_cast<long>(i);
    return -1;
}

void Select(DriveTarget& target, long row)
{
    target.driveList->SetItemState(row, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
    Pump(20);
}

const ShownMessage* Box(const wxString& caption)
{
    for (const ShownMessage& box : Dialogs().messages)
        if (box.caption == caption)
            return &box;
    return nullptr;
}

// The certificate's printed text, as pdftotext reads it.
std::string PdfText(const std::string& pdf)
{
    const std::string text = pdf + ".txt";
    if (std::system(("pdftotext '" + pdf + "' '" + text + "'").c_str()) != 0)
        return std::string();
    return ReadFile(text);
}

// The Drives button's "Wipe a whole drive..." entry.
void ChooseWipeDrive(Frame& frame)
{
    wxCommandEvent event(wxEVT_MENU, WIPE_DRIVE_ID);
    event.SetEventObject(frame.frame);
    frame->ProcessWindowEvent(event);
}

// Answers the file dialog of Save certificate... with path.
int SaveAs(wxDialog* dialog, const std::string& path)
{
    auto* chooser = dynamic_cast<wxFileDialog*>(dialog);
    if (!chooser) {
        ADD_FAILURE() << "not the file dialog: " << dialog->GetTitle();
        return wxID_CANCEL;
    }
    EXPECT_TRUE(chooser->GetFilename().EndsWith(".pdf")) << chooser->GetFilename();
    chooser->SetPath(path);
    EXPECT_TRUE(PumpUntil([&] { return chooser->GetPath() == wxString(path); }, 3000));
    return wxID_OK;
}

}  // namespace

// The list names the test's own loop device with its backing file as serial
// and a loop device with a mounted filesystem with why it cannot be wiped;
// only the right name enables the wipe, which runs with its progress shown,
// leaves no marker byte, and offers the certificate.
TEST(DriveWipe, ListsTheDrivesWithWhyNotAsksForTheNameAndWipesAllOfIt)
{
    OwnLoop own(256);
    LoopFilesystem mounted("ext4", "32M");
    if (own.device.empty() || !mounted.Usable())
        GTEST_SKIP() << "needs root and loop devices";
    ASSERT_TRUE(own.IsOwn()) << own.device;
    ASSERT_GT(own.Markers(), 0u);
    const std::string refusedName = MountedFrom(mounted);
    ASSERT_FALSE(refusedName.empty());

    Frame frame;
    // Three passes: long enough for the progress to show.
    frame->wipeQueue.SetMethod(WipeMethod::DoD);
    EXPECT_EQ(frame->freeSpaceButton->GetLabelText(), "Drives...");
    ASSERT_TRUE(frame->freeSpaceButton->IsEnabled());
    Dialogs().messages.clear();
    Dialogs().answers = {wxID_HELP};
    const std::string certificate = own.dir.Path() + "/certificate.pdf";
    bool listed = false;
    Dialogs().onOtherDialog = [&](wxDialog* dialog) {
        auto* target = dynamic_cast<DriveTarget*>(dialog);
        if (!target) {
            Dialogs().onOtherDialog = nullptr;
            return SaveAs(dialog, certificate);
        }
        const long mine = Row(*target, own.Name()), refused = Row(*target, refusedName);
        EXPECT_GE(mine, 0);
        EXPECT_GE(refused, 0);
        if (mine < 0 || refused < 0)
            return int(wxID_CANCEL);
        listed = true;
        EXPECT_EQ(target->driveList->GetItemText(mine, 2), own.backing);
        EXPECT_EQ(target->driveList->GetItemText(mine, 3), "256.00 MB");
        EXPECT_EQ(target->driveList->GetItemText(mine, 4), "loop");
        EXPECT_EQ(target->driveList->GetItemText(mine, 6), "");
        const wxString why = target->driveList->GetItemText(refused, 6);
        EXPECT_TRUE(why.Contains("holds a filesystem mounted on " + mounted.Path("").substr(0, mounted.Path("").size() - 1)))
            << why;
        EXPECT_FALSE(target->wipeButton->IsEnabled());
        EXPECT_EQ(target->Verification(), DriveWiper::Verification::All);

        // Refused: its reason shown, nothing to type, nothing to start.
        Select(*target, refused);
        EXPECT_TRUE(target->details->GetLabel().Contains("holds a filesystem mounted on")) << target->details->GetLabel();
        EXPECT_FALSE(target->nameField->IsEnabled());
        target->nameField->SetValue(refusedName);
        EXPECT_FALSE(target->wipeButton->IsEnabled());
        EXPECT_EQ(target->Confirmed(), nullptr);

        // Its own: model, serial and size shown, then the name typed.
        Select(*target, mine);
        const wxString shown = target->details->GetLabel();
        EXPECT_TRUE(shown.Contains("Serial: " + own.backing)) << shown;
        EXPECT_TRUE(shown.Contains("Size: 256.00 MB (268435456 bytes)")) << shown;
        EXPECT_TRUE(shown.Contains("Then every block is read back and compared.")) << shown;
        EXPECT_TRUE(target->namePrompt->GetLabel().Contains(own.Name())) << target->namePrompt->GetLabel();
        EXPECT_TRUE(target->nameField->IsEnabled());
        for (const std::string& wrong : {std::string("loop"), own.Name() + " ", "/dev/" + own.Name(), refusedName}) {
            target->nameField->SetValue(wrong);
            EXPECT_FALSE(target->wipeButton->IsEnabled()) << wrong;
        }
        target->nameField->SetValue(own.Name());
        EXPECT_TRUE(target->wipeButton->IsEnabled());
        // Another row forgets the name typed for this one.
        Select(*target, refused);
        EXPECT_FALSE(target->wipeButton->IsEnabled());
        Select(*target, mine);
        EXPECT_FALSE(target->wipeButton->IsEnabled());
        target->nameField->SetValue(own.Name());
        const DriveList::Drive* chosen = target->Confirmed();
        if (!chosen || chosen->path != own.device || !own.IsOwn()) {
            ADD_FAILURE() << "refusing to wipe anything but the test's own loop device";
            return int(wxID_CANCEL);
        }
        return int(wxID_OK);
    };
    wxStopWatch clock;
    ChooseWipeDrive(frame);
    ASSERT_TRUE(listed);
    ASSERT_TRUE(frame->IsWipingDrive()) << (Dialogs().messages.empty() ? "" : Dialogs().messages[0].message);
    EXPECT_FALSE(frame->freeSpaceButton->IsEnabled());
    EXPECT_FALSE(frame->WipeDrive()) << "one run at a time";
    EXPECT_EQ(frame->startButton->GetLabelText(), "Stop");
    bool writing = false, verifying = false, rated = false;
    ASSERT_TRUE(PumpUntil([&] {
        const wxString status = frame->GetStatusBar()->GetStatusText(0);
        writing = writing || status.StartsWith("Wiping the drive: ");
        verifying = verifying || status.StartsWith("Verifying the drive: ");
        rated = rated || (status.Contains("/s, ") && status.EndsWith(" left"));
        return !frame->IsRunning() && Box("Wipe a drive");
    }, 120000));
    std::cout << "window drive run: 256 MiB, 3 passes and a read-back of all, in " << clock.Time() << " ms"
              << std::endl;
    EXPECT_TRUE(writing || verifying) << "no progress was shown";
    EXPECT_TRUE(rated) << "the progress never named the rate and the time left";
    const wxString summary = Box("Wipe a drive")->message;
    EXPECT_TRUE(summary.StartsWith("Drive " + own.device + " wiped: 768.00 MB written in 3 passes.")) << summary;
    EXPECT_TRUE(Box("Wipe a drive")->style & wxICON_INFORMATION);
    EXPECT_EQ(frame->GetStatusBar()->GetStatusText(0), "Completed");
    EXPECT_TRUE(frame->freeSpaceButton->IsEnabled());
    EXPECT_EQ(own.Markers(), 0u);
    ASSERT_TRUE(PumpUntil([&] { return Exists(certificate); }, 3000));
    const std::string printed = PdfText(certificate);
    EXPECT_NE(printed.find("Certificate of Sanitization"), std::string::npos) << printed;
    EXPECT_NE(printed.find(own.device), std::string::npos) << printed;
    EXPECT_NE(printed.find(own.backing), std::string::npos) << printed;
    EXPECT_EQ(printed.find("Incomplete"), std::string::npos) << printed;
    const std::string json = ReadFile(own.dir.Path() + "/certificate.json");
    EXPECT_NE(json.find("\"status\": \"complete\""), std::string::npos) << json;
}

// Closing during a drive's wipe asks first, naming the drive; Stop leaves it
// partly wiped, and the box says so and still offers the certificate.
TEST(DriveWipe, StopLeavesTheDrivePartlyWipedAndClosingAsksFirst)
{
    OwnLoop own(64);
    if (own.device.empty())
        GTEST_SKIP() << "needs root and loop devices";
    ASSERT_TRUE(own.IsOwn()) << own.device;

    Frame frame;
    Dialogs().messages.clear();
    // No to closing, then Save certificate... at the end.
    Dialogs().answers = {wxID_NO, wxID_HELP};
    const std::string certificate = own.dir.Path() + "/stopped.pdf";
    Dialogs().onOtherDialog = [&](wxDialog* dialog) {
        auto* target = dynamic_cast<DriveTarget*>(dialog);
        if (!target)
            return SaveAs(dialog, certificate);
        const long mine = Row(*target, own.Name());
        if (mine < 0)
            return int(wxID_CANCEL);
        Select(*target, mine);
        target->verificationChoice->SetSelection(1);
        target->nameField->SetValue(own.Name());
        EXPECT_TRUE(target->details->GetLabel().Contains("a sample of it")) << target->details->GetLabel();
        const DriveList::Drive* chosen = target->Confirmed();
        if (!chosen || chosen->path != own.device || !own.IsOwn())
            return int(wxID_CANCEL);
        return int(wxID_OK);
    };
    ChooseWipeDrive(frame);
    ASSERT_TRUE(frame->IsWipingDrive());
    frame->Close();
    ASSERT_EQ(Dialogs().messages.size(), 1u);
    EXPECT_TRUE(Dialogs().messages[0].message.Contains("The drive is left partly wiped")) << Dialogs().messages[0].message;
    EXPECT_TRUE(frame->IsWipingDrive());
    Click(frame->startButton);
    ASSERT_TRUE(PumpUntil([&] { return !frame->IsRunning() && Dialogs().messages.size() == 2; }, 60000));
    const ShownMessage& end = Dialogs().messages[1];
    EXPECT_TRUE(end.message.StartsWith("Drive " + own.device + " not completely wiped: ")) << end.message;
    EXPECT_TRUE(end.message.Contains("Stopped before the end.")) << end.message;
    EXPECT_TRUE(end.style & wxICON_WARNING);
    ASSERT_TRUE(Exists(certificate)) << "no certificate of a stopped run";
    const std::string printed = PdfText(certificate);
    EXPECT_NE(printed.find("Incomplete"), std::string::npos) << printed;
    EXPECT_NE(printed.find("not sanitized"), std::string::npos) << printed;
    EXPECT_EQ(frame->GetStatusBar()->GetStatusText(0), "Stopped");
    EXPECT_GT(own.Markers(), 0u) << "stopped at once, yet all of it was wiped";
    ASSERT_TRUE(frame.frame);

    // A certificate that cannot be written is said so, naming the file:
    // a folder is in the way.
    Dialogs().messages.clear();
    const std::string nowhere = own.dir.Path() + "/taken.pdf";
    ASSERT_EQ(::mkdir(nowhere.c_str(), 0755), 0);
    Dialogs().onOtherDialog = [&](wxDialog* dialog) { return SaveAs(dialog, nowhere); };
    EXPECT_FALSE(EndOfRunBox::SaveCertificate(DriveWipeFacts()));
    ASSERT_EQ(Dialogs().messages.size(), 1u);
    EXPECT_EQ(Dialogs().messages[0].caption, "Save certificate");
    EXPECT_TRUE(Dialogs().messages[0].message.Contains("could not be saved:\n" + nowhere)) << Dialogs().messages[0].message;
    EXPECT_TRUE(Dialogs().messages[0].style & wxICON_ERROR);
    Dialogs().onOtherDialog = nullptr;
}

// An ordinary user's wipe of a drive, through vorlix-privileged and a real
// polkit: run by tests/scripts/privileged_polkit.sh, which names its own loop
// device and backing file, and what polkit answers ("granted", "refused").
TEST(AdministratorDrive, RunsThroughPolkitWithItsProgressAndEnd)
{
    const char* device = std::getenv("VORLIX_TEST_ADMIN_DRIVE");
    const char* backing = std::getenv("VORLIX_TEST_ADMIN_DRIVE_FILE");
    const char* expect = std::getenv("VORLIX_TEST_ADMIN_EXPECT");
    if (!device || !backing || !expect)
        GTEST_SKIP() << "run by privileged_polkit.sh, with polkit of its own";
    const std::string name = std::string(device).substr(5);
    ASSERT_TRUE(std::regex_match(std::string(device), std::regex("/dev/loop[0-9]+"))) << device;
    ASSERT_EQ(FirstLine("/sys/block/" + name + "/loop/backing_file"), backing);
    ASSERT_NE(::access(device, W_OK), 0) << "the user's own run would need no polkit";
    const bool granted = std::string(expect) == "granted";

    Frame frame;
    // Three passes: long enough for the progress to show.
    frame->wipeQueue.SetMethod(WipeMethod::DoD);
    Dialogs().messages.clear();
    Dialogs().onOtherDialog = [&](wxDialog* dialog) {
        auto* target = dynamic_cast<DriveTarget*>(dialog);
        const long mine = target ? Row(*target, name) : -1;
        if (mine < 0) {
            ADD_FAILURE() << "the drive is not listed, or no drive dialog: " << dialog->GetTitle();
            return int(wxID_CANCEL);
        }
        Select(*target, mine);
        target->nameField->SetValue(name);
        const DriveList::Drive* chosen = target->Confirmed();
        if (!chosen || chosen->path != device || chosen->serial != backing)
            return int(wxID_CANCEL);
        return int(wxID_OK);
    };
    ChooseWipeDrive(frame);
    ASSERT_TRUE(frame->IsWipingDrive());
    bool progress = false;
    ASSERT_TRUE(PumpUntil([&] {
        const wxString status = frame->GetStatusBar()->GetStatusText(0);
        progress = progress || status.StartsWith("Wiping the drive: ") || status.StartsWith("Verifying the drive: ");
        return !frame->IsRunning() && !Dialogs().messages.empty();
    }, 120000));
    const ShownMessage& end = Dialogs().messages.back();
    if (!granted) {
        EXPECT_TRUE(end.message.StartsWith("Administrator rights were not granted")) << end.message;
        EXPECT_FALSE(end.style & wxHELP) << "no certificate of a wipe that never ran";
        return;
    }
    EXPECT_TRUE(progress) << "no progress was shown";
    EXPECT_TRUE(end.message.StartsWith("Drive " + std::string(device) + " wiped: ")) << end.message;
    EXPECT_TRUE(end.style & wxHELP);
    EXPECT_EQ(frame->GetStatusBar()->GetStatusText(0), "Completed");
    std::cout << "admin-drive: " << end.message.BeforeFirst('\n').ToStdString() << std::endl;
}
