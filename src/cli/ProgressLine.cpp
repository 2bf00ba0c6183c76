// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/ProgressLine.h"

#include "engine/ByteSize.h"
#include "engine/RunReport.h"

#include <wx/translation.h>

#include <algorithm>

wxString ProgressLine::Text(uint64_t filesDone, uint64_t files, uint64_t bytesDone, uint64_t bytesTotal,
                            long long elapsedMs)
{
    wxString text;
    if (files != 0)
        text = wxString::Format(_("%llu/%llu files, "), static_cast<unsigned long long>(filesDone),
                                static_cast<unsigned long long>(files));
    // Entries that grew meanwhile can take the count past the total.
    const bool totalKnown = bytesTotal != 0 && bytesTotal != UINT64_MAX && bytesDone <= bytesTotal;
    text += ByteSize::Text(bytesDone);
    if (totalKnown)
        text += wxString::Format(_(" of %s"), ByteSize::Text(bytesTotal));
    if (elapsedMs <= 0 || bytesDone == 0)
        return text;
    const double rate = static_cast<double>(bytesDone) * 1000.0 / static_cast<double>(elapsedMs);
    text += ", " + ByteSize::Text(static_cast<uint64_t>(rate)) + "/s";
    if (totalKnown) {
        const double leftMs = static_cast<double>(bytesTotal - bytesDone) * 1000.0 / rate;
        text += wxString::Format(_(", %s left"), RunReport::DurationText(static_cast<long long>(leftMs)));
    }
    return text;
}

wxString ProgressLine::StepText(const wxString& name, uint64_t done, uint64_t total)
{
    if (total == 0)
        return name;
    // 100 % belongs to the run's end, not to a step still going.
    const unsigned long long percent = std::min<uint64_t>(done * 100 / total, 99);
    return name + wxString::Format(" %llu%%", percent);
}
