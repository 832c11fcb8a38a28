// Registry strings are UTF-16 with a terminating NUL. On Windows wchar_t is
// already UTF-16; elsewhere (the host tests) it is UTF-32 and is encoded here,
// so both builds hand the registry the same bytes.
#pragma once

#include <cstdint>
#include <string>

namespace lumiran {

inline std::u16string ToUtf16(const std::wstring& text) {
    std::u16string out;
    out.reserve(text.size());
    for (const wchar_t ch : text) {
        const auto code = static_cast<std::uint32_t>(ch);
        if (sizeof(wchar_t) > 2 && code > 0xFFFF) {
            const std::uint32_t v = code - 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (v >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(code));
        }
    }
    return out;
}

}  // namespace lumiran
