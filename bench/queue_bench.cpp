// Times what a large queue costs the user: adding a folder of 100,000 files
// and showing them, then removing every entry one by one as a wipe run does.
// Needs a display (run under xvfb-run). Usage: queue_bench [files]
#include <wx/app.h>
#include <wx/stopwatch.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <unistd.h>

#include "MainFrame.h"
#include "QueueListCtrl.h"

int main(int argc, char** argv)
{
    const long count = argc > 1 ? std::atol(argv[1]) : 100000;
    char pattern[] = "/tmp/vorlix-queue-bench-XXXXXX";
    const std::string dir = mkdtemp(pattern);
    for (long i = 0; i < count; ++i)
        close(open((dir + "/file-" + std::to_string(i)).c_str(), O_CREAT | O_WRONLY, 0600));

    wxApp::SetInstance(new wxApp);
    int appArgc = 1;
    if (!wxEntryStart(appArgc, argv)) {
        std::fprintf(stderr, "queue_bench needs a display\n");
        return 1;
    }
    {
        auto* frame = new MainFrame("Vorlix");
        frame->Show();
        wxArrayString folder;
        folder.Add(dir);

        wxStopWatch clock;
        frame->AddPaths(folder);  // walk, AddPath per file, one rebuild of the list
        const long addMs = clock.Time();
        clock.Start();
        frame->RefreshQueueList();
        const long rebuildMs = clock.Time();
        clock.Start();
        for (const QueueEntry& entry : frame->wipeQueue.Snapshot())
            frame->wipeQueue.RemovePath(entry.path);
        const long removeMs = clock.Time();

        std::printf("%-44s %10s %10s\n", "operation", "ms", "goal ms");
        std::printf("%-44s %10ld %10s\n", "add folder of files + rebuild list", addMs, "3000");
        std::printf("%-44s %10ld %10s\n", "rebuild list again", rebuildMs, "-");
        std::printf("%-44s %10ld %10s\n", "remove every entry one by one", removeMs, "1000");
        std::printf("entries: %ld, list rows shown: %d\n", count, frame->queueList->GetItemCount());
        frame->Destroy();
    }
    wxEntryCleanup();
    std::system(("rm -rf '" + dir + "'").c_str());
    return 0;
}
