// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/FileRun.h"

#include "engine/DoDWiper.h"
#include "engine/RandomWiper.h"
#include "engine/RunReport.h"

#include <wx/translation.h>

#include <iostream>
#include <system_error>

FileRun::FileRun(WipeQueue& queue, WipeMethod method, const RunOptions& options, std::shared_ptr<RunSurvey> survey)
    : queue(queue),
      method(method),
      wiper(method == WipeMethod::DoD ? std::unique_ptr<Wiper>(new DoDWiper) : std::unique_ptr<Wiper>(new RandomWiper))
{
    wiper->SetOptions(options);
    wiper->SetSurvey(survey ? std::move(survey) : std::make_shared<RunSurvey>(queue));
}

FileRun::~FileRun()
{
    if (thread.joinable())
        thread.join();
    Wiper* expected = wiper.get();
    queue.wiper.compare_exchange_strong(expected, nullptr);
}

bool FileRun::Start()
{
    record.Begin(wiper->Survey(), method, wiper->Options().verify, wiper->Options().zeroPass);
    queue.wiper = wiper.get();
    Wiper::ResetRun();
    try {
        thread = std::thread([this] {
            if (Wiper* running = queue.wiper.load())
                running->Wipe(&queue);
        });
        return true;
    } catch (const std::system_error&) {
        std::cerr << "Failed to create wipe thread!" << std::endl;
    }
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

WipeRun::Step FileRun::CurrentStep() const
{
    Step step;
    if (Wiper::JournalStep(step.done, step.total))
        step.name = _("Clearing the journal...");
    return step;
}

void FileRun::LogProgress() const
{
    std::cout << "Progress %: " << BytesDone() << " / " << TotalBytes() << std::endl;
}

WipeRun::Outcome FileRun::Finish()
{
    // The run is finished: its thread is only leaving.
    if (thread.joinable())
        thread.join();
    // The outcomes are as many as the files: moved, never copied.
    const RunTotals totals = Wiper::GetTotals();
    std::vector<FileOutcome> outcomes = Wiper::TakeOutcomes();
    std::vector<TraceOutcome> traces = Wiper::TakeTraces();
    const RunReport report = RunReport::Of(outcomes, totals, stopped, traces);
    record.End(std::move(outcomes), queue.Files(), stopped, totals, std::move(traces));
    queue.wiper = nullptr;
    return Outcome{report.Message(),  report.Caption(),    report.StatusText(),       report.AllWiped(),
                   report.SummaryLine(), report.MediumText(), report.TracesLine(),    report.TracesNotRemoved(),
                   report.JournalLine()};
}
