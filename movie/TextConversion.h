// Narrow metadata text to UTF-16. Code units are char16_t so that the same
// units come out natively and on Windows, where they go to the API as wchar_t.
#pragma once

#include <string>

// Each byte becomes one code unit holding its sign-extended value: 0x00..0x7F
// stay, 0x80..0xFF become 0xFF80..0xFFFF. Used for diagnostics, and as the
// fallback for text that is not UTF-8.
std::u16string widenBytewise(const std::string& bytes);

// The portal writes titles and movie URLs in UTF-8: decoded as such when the
// whole text is well-formed UTF-8 (no overlong forms, no surrogates, nothing
// above U+10FFFF, no cut sequence), else widened bytewise. ASCII text gives
// the same units either way.
std::u16string decodeUtf8OrWiden(const std::string& bytes);

// For the Windows API, whose wchar_t holds UTF-16 code units.
std::wstring toWideString(const std::u16string& text);
