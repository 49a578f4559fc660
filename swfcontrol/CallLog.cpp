#include "swfcontrol/CallLog.h"

#include "movie/WindowsText.h"

namespace {

std::wstring escaped(const wchar_t* argument)
{
    std::wstring out;
    for (const wchar_t* p = argument; p && *p; ++p) {
        switch (*p) {
        case L'\\': out += L"\\\\"; break;
        case L'\r': out += L"\\r"; break;
        case L'\n': out += L"\\n"; break;
        case L'\t': out += L"\\t"; break;
        default:
            if (*p < 0x20 || *p == 0x7f) {
                wchar_t hex[8];
                wsprintfW(hex, L"\\x%02X", static_cast<unsigned>(*p));
                out += hex;
            } else {
                out += *p;
            }
        }
    }
    return out;
}

void append(const std::string& line)
{
    wchar_t path[MAX_PATH * 2];
    DWORD length = GetEnvironmentVariableW(callLogVariable, path, ARRAYSIZE(path));
    if (length == 0 || length >= ARRAYSIZE(path))
        return;
    // Opened per line in append mode: each line reaches the file before the
    // call returns, and lines of several controls or processes never interleave.
    HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    std::string data = line + "\n";
    DWORD written = 0;
    WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
    CloseHandle(file);
}

} // namespace

std::string callLogLine(const wchar_t* method, const wchar_t* argument)
{
    std::wstring line = method;
    line += L' ';
    line += escaped(argument);
    return narrowText(line);
}

void logCall(const wchar_t* method) { append(narrowText(method)); }

void logCall(const wchar_t* method, const wchar_t* argument) { append(callLogLine(method, argument)); }
