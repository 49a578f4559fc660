// Narrow text in a code page to UTF-16 and back, as the Windows API converts
// it: ill-formed input becomes U+FFFD (or '?' in a code page), never an
// error. The player and the stand-in control both convert through these;
// movie/TextConversion.h holds the conversions that need no Windows API.
#pragma once

#include <windows.h>

#include <string>

inline std::wstring widenText(const std::string& text, UINT codePage = CP_UTF8)
{
    if (text.empty())
        return std::wstring();
    int units = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (units <= 0)
        return std::wstring();
    std::wstring out(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &out[0], units);
    return out;
}

inline std::string narrowText(const std::wstring& text, UINT codePage = CP_UTF8)
{
    if (text.empty())
        return std::string();
    int bytes = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                    nullptr);
    if (bytes <= 0)
        return std::string();
    std::string out(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), &out[0], bytes, nullptr, nullptr);
    return out;
}
