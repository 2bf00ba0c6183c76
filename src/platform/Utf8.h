// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

// Strict UTF-8, written out because the toolkit's decoder accepts encoded
// surrogates and code points above U+10FFFF, which name no character.
class Utf8 {
public:
    // Length of the valid sequence at text[at], storing its code point; 0 when
    // the byte there starts none (overlong forms, surrogates and anything
    // above U+10FFFF included).
    static size_t Sequence(const std::string& text, size_t at, char32_t& code);
    static void Append(std::string& text, char32_t code);
};
