#include "swfcontrol/MovieLocation.h"

#include <windows.h>
#include <shlwapi.h>

#include <cwctype>

namespace {

bool isSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// "\\server\share", "//server", "\\?\...", "\\.\pipe\..." and NT "\??\" paths.
bool isNetworkOrDevicePath(const std::wstring& path)
{
    if (path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1]))
        return true;
    return path.size() >= 4 && isSeparator(path[0]) && path[1] == L'?' && path[2] == L'?' && isSeparator(path[3]);
}

std::wstring trimmed(const std::wstring& text)
{
    size_t first = 0, last = text.size();
    while (first < last && std::iswspace(text[first]))
        ++first;
    while (last > first && std::iswspace(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

// The scheme of an absolute URL; a single letter is a drive, not a scheme.
std::wstring schemeOf(const std::wstring& text)
{
    size_t i = 0;
    while (i < text.size() && (std::iswalnum(text[i]) || text[i] == L'+' || text[i] == L'-' || text[i] == L'.'))
        ++i;
    if (i < 2 || i >= text.size() || text[i] != L':' || !std::iswalpha(text[0]))
        return std::wstring();
    std::wstring scheme = text.substr(0, i);
    for (wchar_t& c : scheme)
        c = static_cast<wchar_t>(std::towlower(c));
    return scheme;
}

MovieLocation refused(const std::wstring& text, const wchar_t* why)
{
    MovieLocation location;
    location.kind = MovieLocation::Refused;
    location.target = text;
    location.reason = L"Could not open " + text + L": " + why;
    return location;
}

MovieLocation localFile(const std::wstring& text, const std::wstring& path)
{
    const wchar_t* networkPath = L"network and device paths are not opened.";
    if (isNetworkOrDevicePath(path))
        return refused(text, networkPath);
    DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0)
        return refused(text, L"this is not a valid path.");
    std::wstring full(needed, L'\0');
    DWORD length = GetFullPathNameW(path.c_str(), needed, &full[0], nullptr);
    if (length == 0 || length >= needed)
        return refused(text, L"this is not a valid path.");
    full.resize(length);
    // A relative path taken in a working directory on a share is still remote.
    if (isNetworkOrDevicePath(full))
        return refused(text, networkPath);
    MovieLocation location;
    location.kind = MovieLocation::LocalFile;
    location.target = full;
    return location;
}

} // namespace

MovieLocation locateMovie(const std::wstring& given)
{
    std::wstring text = trimmed(given);
    if (text.empty())
        return MovieLocation();
    std::wstring scheme = schemeOf(text);
    if (scheme.empty())
        return localFile(text, text);
    if (scheme == L"http" || scheme == L"https") {
        MovieLocation location;
        location.kind = MovieLocation::RemoteUrl;
        location.target = text;
        return location;
    }
    if (scheme == L"file") {
        wchar_t path[MAX_PATH * 4];
        DWORD length = ARRAYSIZE(path);
        if (FAILED(PathCreateFromUrlW(text.c_str(), path, &length, 0)))
            return refused(text, L"this file URL names no local file.");
        return localFile(text, path);
    }
    return refused(text, (L"the \"" + scheme + L"\" scheme is not supported.").c_str());
}
