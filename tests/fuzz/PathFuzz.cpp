// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target over the path conversion and the hand-off decoding: no
// crash, no sanitizer report, every accepted path converts back to exactly
// its bytes, and every absolute name travels.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "shell/HandOffMessage.h"
#include "platform/NativePath.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    // Any name a folder can hold (no NUL, no '/' needed) has one text that
    // converts back to exactly it.
    if (bytes.find('\0') == std::string::npos) {
        std::string back;
        if (!NativePath::Encode(NativePath::Decode(bytes), back) || back != bytes)
            std::abort();
    }

    // A message the listener accepts is a path with exact bytes, which a
    // sender turns back into the same message; a name's message is that path.
    const wxString handedOver = HandOffMessage::Decode(bytes);
    if (!handedOver.empty()) {
        std::string native;
        if (HandOffMessage::Encode(handedOver) != bytes || !NativePath::Encode(handedOver, native)
            || NativePath::Decode(native) != handedOver)
            std::abort();
    }
    if (!bytes.empty() && bytes[0] == '/' && bytes.find('\0') == std::string::npos) {
        const wxString named = NativePath::Decode(bytes);
        if (HandOffMessage::Decode(HandOffMessage::Encode(named)) != named)
            std::abort();
    }

    // Any text at all (the input read as code units): either it has no native
    // form, or that form reads back as the same text.
    wxString text;
    for (size_t i = 0; i + 3 < size; i += 4) {
        const uint32_t unit = uint32_t(data[i]) | uint32_t(data[i + 1]) << 8 | uint32_t(data[i + 2]) << 16
                              | uint32_t(data[i + 3] & 0x1F) << 24;
        text += wxUniChar(static_cast<wxUniChar::value_type>(unit % 0x110000));
    }
    std::string native;
    if (NativePath::Encode(text, native) && NativePath::Decode(native) != text)
        std::abort();
    return 0;
}
