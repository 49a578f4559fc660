// libcurl brings winsock2.h, which must come before windows.h.
#include <curl/curl.h>

#include "app/AboutDialog.h"

#include "app/AppState.h"
#include "movie/FlashClsid.h"
#include "res/resource.h"

INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        SetDlgItemTextW(dialog, IDC_ABOUT_DEBUG, appState.debugText.c_str());
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
        case IDCANCEL:
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

namespace {

std::wstring widenAscii(const char* text)
{
    std::wstring wide;
    for (; text && *text; ++text)
        wide += static_cast<wchar_t>(static_cast<unsigned char>(*text));
    return wide;
}

// The file name of the in-process server registered for the control, or empty.
std::wstring controlServerName()
{
    wchar_t path[MAX_PATH] = L"";
    LONG size = sizeof path;
    if (RegQueryValueW(HKEY_CLASSES_ROOT, QP_FLASH_SERVER_KEY, path,
                       &size) != ERROR_SUCCESS)
        return std::wstring();
    path[MAX_PATH - 1] = L'\0';
    std::wstring name(path);
    std::wstring::size_type slash = name.find_last_of(L"\\/");
    return slash == std::wstring::npos ? name : name.substr(slash + 1);
}

} // namespace

std::wstring describeEnvironment()
{
    const curl_version_info_data* curl = curl_version_info(CURLVERSION_NOW);
    std::wstring text = L"curl " + widenAscii(curl->version);
    if (curl->ssl_version)
        text += L"/" + widenAscii(curl->ssl_version);

    std::wstring server = controlServerName();
    if (server.empty())
        text += L", no Flash control";
    else if (lstrcmpiW(server.c_str(), L"swfcontrol.dll") == 0)
        text += L", stand-in control";
    else
        text += L", " + server;
    return text;
}
