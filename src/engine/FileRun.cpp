#include "engine/FileRun.h"

#include "engine/DoDWiper.h"
#include "engine/RandomWiper.h"
#include "engine/RunReport.h"
#include "engine/WipeThread.h"

#include <wx/translation.h>

#include <iostream>

FileRun::FileRun(WipeQueue& queue, WipeMethod method, const RunOptions& options)
    : queue(queue),
      method(method),
      wiper(method == WipeMethod::DoD ? std::unique_ptr<Wiper>(new DoDWiper) : std::unique_ptr<Wiper>(new RandomWiper))
{
    wiper->SetOptions(options);
}

FileRun::~FileRun()
{
    Wiper* expected = wiper.get();
    queue.wiper.compare_exchange_strong(expected, nullptr);
}

bool FileRun::Start()
{
    record.Begin(queue.Snapshot(), method, wiper->Options().verify);
    queue.wiper = wiper.get();
    Wiper::ResetRun();
    auto* thread = new WipeThread(&queue);
    const char* failure = nullptr;
    if (thread->Create(0) != wxTHREAD_NO_ERROR)
        failure = "Failed to create wipe thread!";
    else if (thread->Run() != wxTHREAD_NO_ERROR)
        failure = "Failed to run wipe thread!";
    if (!failure)
        return true;
    std::cerr << failure << std::endl;
    delete thread;
    // No run happened: nothing is waited for.
    Wiper::FinishRun();
    queue.wiper = nullptr;
    return false;
}

void FileRun::Stop()
{
    stopped = true;
    Wiper::RequestStopNow();
}

void FileRun::Abandon()
{
    queue.wiper = nullptr;
    if (!IsFinished())
        Wiper::RequestStop();
}

wxString FileRun::ProgressText(double percentage) const
{
    return wxString::Format(_("Progress: %.2f%%"), percentage);
}

void FileRun::LogProgress() const
{
    std::cout << "Progress %: " << BytesDone() << " / " << TotalBytes() << std::endl;
}

WipeRun::Outcome FileRun::Finish()
{
    const RunReport report(Wiper::GetFailures(), Wiper::GetTotals(), stopped, Wiper::GetWiped());
    record.End(Wiper::GetOutcomes(), queue.Snapshot(), stopped, Wiper::GetTotals());
    queue.wiper = nullptr;
    return Outcome{report.Message(), report.Caption(), report.StatusText(), report.AllWiped()};
}
