#include "swfcontrol/Registration.h"

#include <olectl.h>

#include "movie/FlashClsid.h"

namespace {

const wchar_t classKey[] = QP_FLASH_CLASS_KEY;
const wchar_t serverKey[] = QP_FLASH_SERVER_KEY;
const wchar_t className[] = L"Shockwave Flash stand-in (Quibbleton Player)";

bool setString(HKEY key, const wchar_t* name, const std::wstring& value)
{
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool samePath(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

} // namespace

std::wstring registeredServer(HKEY classesRoot)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(classesRoot, serverKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return std::wstring();
    std::wstring value;
    DWORD type = 0, bytes = 0;
    if (RegQueryValueExW(key, nullptr, nullptr, &type, nullptr, &bytes) == ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ) && bytes >= sizeof(wchar_t)) {
        value.resize(bytes / sizeof(wchar_t));
        if (RegQueryValueExW(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(&value[0]), &bytes) != ERROR_SUCCESS)
            value.clear();
        value.resize(wcsnlen(value.c_str(), value.size()));
    }
    RegCloseKey(key);
    return value;
}

HRESULT registerServer(HKEY classesRoot, const std::wstring& dllPath)
{
    // A machine with the real control keeps it: ours is only a stand-in.
    std::wstring existing = registeredServer(classesRoot);
    if (!existing.empty() && !samePath(existing, dllPath))
        return SELFREG_E_CLASS;

    HKEY key = nullptr;
    if (RegCreateKeyExW(classesRoot, classKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return SELFREG_E_CLASS;
    bool ok = setString(key, nullptr, className);
    RegCloseKey(key);
    if (RegCreateKeyExW(classesRoot, serverKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return SELFREG_E_CLASS;
    ok = setString(key, nullptr, dllPath) && ok;
    ok = setString(key, L"ThreadingModel", L"Apartment") && ok;
    RegCloseKey(key);
    return ok ? S_OK : SELFREG_E_CLASS;
}

HRESULT unregisterServer(HKEY classesRoot, const std::wstring& dllPath)
{
    // Someone else's registration, or a key without our server, is not ours to remove.
    std::wstring existing = registeredServer(classesRoot);
    if (existing.empty() || !samePath(existing, dllPath))
        return S_OK;
    LSTATUS status = RegDeleteTreeW(classesRoot, classKey);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? S_OK : SELFREG_E_CLASS;
}
