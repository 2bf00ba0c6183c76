// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/ByteSize.h"

#include <wx/numformatter.h>

#include <string>

wxString ByteSize::Text(uint64_t bytes, bool translated, bool aligned)
{
    const auto number = [translated](double value) {
        return translated ? wxNumberFormatter::ToString(value, 2, wxNumberFormatter::Style_None)
                          : wxString::FromCDouble(value, 2);
    };
    if (bytes < 1024)
        return (aligned ? number(static_cast<double>(bytes)) : wxString(std::to_string(bytes))) + " B";
    static const char* const units[] = {"KB", "MB", "GB", "TB"};
    double scaled = static_cast<double>(bytes) / 1024.0;
    size_t unit = 0;
    while (scaled >= 1024.0 && unit + 1 < sizeof units / sizeof units[0]) {
        scaled /= 1024.0;
        ++unit;
    }
    return number(scaled) + " " + units[unit];
}
