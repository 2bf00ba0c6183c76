// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/string.h>

#include <string>

// The texts of a run's JSON record, as UTF-8.
namespace JsonText {

// A JSON string's inside: quotes, backslashes and control characters escaped.
std::string QuotedBody(const wxString& text);
// The same in quotes.
std::string Quoted(const wxString& text);
// Quoted, or null for an empty text.
std::string OrNull(const wxString& text);
// A path's exact units in hex: bytes on Linux, UTF-16 units on Windows;
// empty when it has no exact native form.
std::string NativeHex(const wxString& path);

}  // namespace JsonText
