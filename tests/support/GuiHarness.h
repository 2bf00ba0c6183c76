// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Runs GoogleTest inside the real application: the toolkit is started with
// MyApp and its real OnInit, every modal dialog is intercepted, and the tests
// pump the event loop themselves.

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/dialog.h>
#include <wx/modalhook.h>
#include <wx/msgdlg.h>
#include <wx/stopwatch.h>
#include <wx/utils.h>
#include <wx/weakref.h>

#include <sys/stat.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "Main.h"
#include "MainFrame.h"
#include "shell/StartUp.h"
#include "platform/NativePath.h"
#include "support/Printing.h"
#include "support/TempDir.h"

struct ShownMessage {
    wxString message;
    wxString caption;
    long style;
};

// Answers every message box with OK and remembers it. Any other modal dialog
// goes to `onOtherDialog`, or fails the test: an unanswered dialog would wait
// forever for a user who is not there.
class DialogRecorder : public wxModalDialogHook {
public:
    std::vector<ShownMessage> messages;
    // Answers for the next questions (Yes/No boxes, and wxID_HELP for a box's
    // extra button), in order; Yes when none is left.
    std::vector<int> answers;
    std::function<int(wxDialog*)> onOtherDialog;

protected:
    int Enter(wxDialog* dialog) override
    {
        if (auto* box = dynamic_cast<wxMessageDialogBase*>(dialog)) {
            messages.push_back({box->GetMessage(), box->GetCaption(), box->GetMessageDialogStyle()});
            // A box's extra button is pressed only when wxID_HELP is the next answer.
            if ((box->GetMessageDialogStyle() & wxHELP) && !answers.empty() && answers.front() == wxID_HELP) {
                answers.erase(answers.begin());
                return wxID_HELP;
            }
            if (!(box->GetMessageDialogStyle() & wxYES_NO))
                return wxID_OK;
            if (answers.empty())
                return wxID_YES;
            const int answer = answers.front();
            answers.erase(answers.begin());
            return answer;
        }
        if (onOtherDialog) {
            // The handler may replace itself while it runs.
            const std::function<int(wxDialog*)> handler = onOtherDialog;
            return handler(dialog);
        }
        ADD_FAILURE() << "unexpected modal dialog: " << dialog->GetTitle();
        return wxID_CANCEL;
    }
    void Exit(wxDialog*) override {}
};

inline DialogRecorder& Dialogs()
{
    static DialogRecorder recorder;
    return recorder;
}

// Runs the event loop until `done` holds or the time is up; true if it held.
inline bool PumpUntil(const std::function<bool()>& done, long timeoutMs = 10000)
{
    wxStopWatch clock;
    while (!done()) {
        if (clock.Time() > timeoutMs)
            return false;
        wxTheApp->Yield(true);
        wxMilliSleep(5);
    }
    return true;
}

inline void Pump(long ms)
{
    PumpUntil([] { return false; }, ms);
}

inline void Click(wxButton* button)
{
    wxCommandEvent event(wxEVT_BUTTON, button->GetId());
    event.SetEventObject(button);
    button->ProcessWindowEvent(event);
}

// A shown main window for one test, destroyed with it unless it closed itself.
struct Frame {
    Frame() : frame(new MainFrame("Vorlix")) { frame->Show(); }
    ~Frame()
    {
        if (frame)
            frame->Destroy();
        Pump(20);
    }
    MainFrame* operator->() const { return frame; }
    wxWeakRef<MainFrame> frame;
};

// A runtime folder of the test program's own, so that its instance and the
// later instances it starts never meet the user's own Vorlix. Set before the
// application starts; started programs inherit it.
inline void UsePrivateRuntimeFolder()
{
    static TempDir runtime;
    chmod(runtime.Path().c_str(), 0700);
    setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 1);
}

// main() of a GUI test program: `appArgs` is the application's command line
// after the program name. The application starts as the program's own entry
// starts it, with its real single-instance test.
inline int RunGuiTests(int argc, char** argv, const std::vector<std::string>& appArgs)
{
    testing::InitGoogleTest(&argc, argv);
    wxSetAssertHandler([](const wxString& file, int line, const wxString& func, const wxString& cond,
                          const wxString& msg) {
        ADD_FAILURE() << "wx assertion " << cond << " (" << msg << ") in " << func << " at " << file << ":"
                      << line;
    });
    Dialogs().Register();
    UsePrivateRuntimeFolder();

    std::vector<wxString> paths;
    for (const std::string& arg : appArgs)
        paths.push_back(NativePath::Decode(arg));
    int result = 1;
    StartUp::Run(paths, [&](bool reportUnreachable) {
        MyApp::Prepare(paths, reportUnreachable);
        int appArgc = 1;
        char* appArgv[] = {argv[0], nullptr};
        wxApp::SetInstance(new MyApp);
        if (!wxEntryStart(appArgc, appArgv)) {
            fprintf(stderr, "cannot start the toolkit\n");
            return 1;
        }
        if (!wxTheApp->CallOnInit()) {
            fprintf(stderr, "the application did not start\n");
            wxEntryCleanup();
            return 1;
        }
        result = RUN_ALL_TESTS();
        // As when the user closes the window: the listener stops, the windows go.
        if (mainFrame)
            mainFrame->Close(true);
        Pump(200);
        wxTheApp->OnExit();
        wxEntryCleanup();
        return result;
    });
    return result;
}
