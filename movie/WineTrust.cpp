#include "movie/WineTrust.h"

#include <windows.h>
#include <wincrypt.h>

namespace {

void appendPem(const CERT_CONTEXT* cert, std::string& pem)
{
    DWORD length = 0;
    if (!CryptBinaryToStringA(cert->pbCertEncoded, cert->cbCertEncoded, CRYPT_STRING_BASE64HEADER, nullptr,
                              &length))
        return;
    std::string block(length, '\0');
    if (CryptBinaryToStringA(cert->pbCertEncoded, cert->cbCertEncoded, CRYPT_STRING_BASE64HEADER, &block[0],
                             &length)) {
        block.resize(length);
        pem += block;
    }
}

void appendStore(HCERTSTORE store, std::string& pem)
{
    PCCERT_CONTEXT cert = nullptr;
    while ((cert = CertEnumCertificatesInStore(store, cert)) != nullptr)
        appendPem(cert, pem);
}

// Wine's merged root store: the host's roots, each checked as it is read,
// plus the prefix's. Right, but it costs most of a second at every opening.
void appendMergedRoots(std::string& pem)
{
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                                     CERT_SYSTEM_STORE_CURRENT_USER | CERT_STORE_READONLY_FLAG, L"Root");
    if (!store)
        return;
    appendStore(store, pem);
    CertCloseStore(store, 0);
}

// The roots kept in the prefix's registry, read from the key itself: opened
// as a system store, Wine would build the merged store instead.
void appendRegistryRoots(HKEY root, std::string& pem)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, L"Software\\Microsoft\\SystemCertificates\\Root", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_REG, 0, 0, CERT_STORE_READONLY_FLAG, key);
    if (store) {
        appendStore(store, pem);
        CertCloseStore(store, 0);
    }
    RegCloseKey(key);
}

bool readFile(const wchar_t* path, std::string& text)
{
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER size = {};
    bool ok = GetFileSizeEx(file, &size) && size.QuadPart > 0 && size.QuadPart < 64 * 1024 * 1024;
    if (ok) {
        const size_t start = text.size();
        text.resize(start + static_cast<size_t>(size.QuadPart));
        DWORD got = 0;
        ok = ReadFile(file, &text[start], static_cast<DWORD>(size.QuadPart), &got, nullptr) && got > 0;
        text.resize(ok ? start + got : start);
    }
    CloseHandle(file);
    return ok;
}

// The host's CA bundle, the same file Wine takes the host's roots from, as a
// Windows path. False when the host keeps its roots elsewhere.
bool appendHostBundle(std::string& pem)
{
    typedef WCHAR*(CDECL * DosFileName)(const char*);
    const DosFileName dosFileName = reinterpret_cast<DosFileName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
    if (!dosFileName)
        return false;
    static const char* const bundles[] = {
        "/etc/ssl/certs/ca-certificates.crt",
        "/etc/pki/tls/certs/ca-bundle.crt",
        "/usr/share/ca-certificates/ca-bundle.crt",
        "/etc/ssl/cert.pem",
    };
    for (const char* bundle : bundles) {
        WCHAR* path = dosFileName(bundle);
        if (!path)
            continue;
        const size_t before = pem.size();
        const bool read = readFile(path, pem);
        HeapFree(GetProcessHeap(), 0, path);
        if (read && pem.find("-----BEGIN CERTIFICATE-----", before) != std::string::npos)
            return true;
        pem.resize(before);
    }
    return false;
}

} // namespace

bool runningUnderWine()
{
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

std::string trustedRootsPem()
{
    std::string pem;
    if (!appendHostBundle(pem)) {
        appendMergedRoots(pem);
        return pem;
    }
    pem += '\n';
    appendRegistryRoots(HKEY_LOCAL_MACHINE, pem);
    appendRegistryRoots(HKEY_CURRENT_USER, pem);
    return pem;
}
