#include "app/LateBound.h"

#include <string>

namespace {

// By full path: a DLL of the same name beside the program must not stand in.
FARPROC bind(const wchar_t* dll, const char* function)
{
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return nullptr;
    const std::wstring path = std::wstring(folder, length) + L"\\" + dll;
    HMODULE module = LoadLibraryW(path.c_str()); // kept for the life of the process
    return module ? GetProcAddress(module, function) : nullptr;
}

template <class Function>
Function bound(const wchar_t* dll, const char* function)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(bind(dll, function)));
}

} // namespace

BOOL lateGetOpenFileNameW(OPENFILENAMEW* request)
{
    static const auto function = bound<decltype(&GetOpenFileNameW)>(L"comdlg32.dll", "GetOpenFileNameW");
    return function ? function(request) : FALSE;
}

HINSTANCE lateShellExecuteW(HWND window, const wchar_t* operation, const wchar_t* file, const wchar_t* parameters,
                            const wchar_t* folder, int show)
{
    static const auto function = bound<decltype(&ShellExecuteW)>(L"shell32.dll", "ShellExecuteW");
    return function ? function(window, operation, file, parameters, folder, show)
                    : reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(SE_ERR_DLLNOTFOUND));
}

UINT lateDragQueryFileW(HDROP drop, UINT index, wchar_t* file, UINT size)
{
    static const auto function = bound<decltype(&DragQueryFileW)>(L"shell32.dll", "DragQueryFileW");
    return function ? function(drop, index, file, size) : 0;
}
