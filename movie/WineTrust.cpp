#include "movie/WineTrust.h"

#include <windows.h>
#include <wincrypt.h>

#include <algorithm>
#include <vector>

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

// The SHA-1 thumbprints, in upper-case hex, of the certificates of a PEM text.
std::vector<std::wstring> thumbprints(const std::string& pem)
{
    static const char begin[] = "-----BEGIN CERTIFICATE-----";
    static const char end[] = "-----END CERTIFICATE-----";
    std::vector<std::wstring> prints;
    std::vector<BYTE> der;
    // One provider for all: acquired per hash, it costs more than the hash.
    HCRYPTPROV provider = 0;
    if (!CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT))
        provider = 0;
    for (size_t at = pem.find(begin); at != std::string::npos;) {
        const size_t stop = pem.find(end, at);
        if (stop == std::string::npos)
            break;
        const size_t blockEnd = stop + sizeof end - 1;
        const char* block = &pem[at];
        const DWORD length = static_cast<DWORD>(blockEnd - at);
        at = pem.find(begin, blockEnd);
        DWORD size = 0;
        if (!CryptStringToBinaryA(block, length, CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr, nullptr))
            continue;
        der.resize(size);
        BYTE hash[20];
        DWORD hashSize = sizeof hash;
        if (!CryptStringToBinaryA(block, length, CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr, nullptr) ||
            !CryptHashCertificate(provider, CALG_SHA1, 0, der.data(), size, hash, &hashSize) || hashSize != sizeof hash)
            continue;
        wchar_t hex[41];
        for (DWORD i = 0; i < hashSize; ++i)
            wsprintfW(hex + 2 * i, L"%02X", hash[i]);
        prints.push_back(hex);
    }
    if (provider)
        CryptReleaseContext(provider, 0);
    std::sort(prints.begin(), prints.end());
    return prints;
}

// Wine copies the host's roots into the machine's registry store, for as
// long as its server runs, whenever a program opens the merged store. Those
// copies are in the bundle already: only the certificates it lacks are read,
// each from its key, which is named by the certificate's thumbprint.
void appendUnbundledRoots(HKEY certificates, const std::string& bundle, std::string& pem)
{
    const std::vector<std::wstring> bundled = thumbprints(bundle);
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr);
    if (!store)
        return;
    wchar_t name[256];
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = ARRAYSIZE(name);
        if (RegEnumKeyExW(certificates, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        CharUpperW(name);
        if (std::binary_search(bundled.begin(), bundled.end(), std::wstring(name)))
            continue;
        DWORD size = 0;
        if (RegGetValueW(certificates, name, L"Blob", RRF_RT_REG_BINARY, nullptr, nullptr, &size) != ERROR_SUCCESS)
            continue;
        std::vector<BYTE> blob(size);
        if (RegGetValueW(certificates, name, L"Blob", RRF_RT_REG_BINARY, nullptr, blob.data(), &size) ==
            ERROR_SUCCESS)
            CertAddSerializedElementToStore(store, blob.data(), size, CERT_STORE_ADD_ALWAYS, 0,
                                            CERT_STORE_CERTIFICATE_CONTEXT_FLAG, nullptr, nullptr);
    }
    appendStore(store, pem);
    CertCloseStore(store, 0);
}

// The roots kept in the prefix's registry, read from the key itself: opened
// as a system store, Wine would build the merged store instead.
void appendRegistryRoots(HKEY root, const std::string& bundle, std::string& pem)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, L"Software\\Microsoft\\SystemCertificates\\Root", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    HKEY certificates = nullptr;
    DWORD count = 0;
    if (RegOpenKeyExW(key, L"Certificates", 0, KEY_READ, &certificates) == ERROR_SUCCESS) {
        RegQueryInfoKeyW(certificates, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr);
    }
    // A handful is what a prefix adds; more means the host's copies are there.
    if (certificates && count > 16) {
        appendUnbundledRoots(certificates, bundle, pem);
    } else if (HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_REG, 0, 0, CERT_STORE_READONLY_FLAG, key)) {
        appendStore(store, pem);
        CertCloseStore(store, 0);
    }
    if (certificates)
        RegCloseKey(certificates);
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
    const std::string bundle = pem;
    appendRegistryRoots(HKEY_LOCAL_MACHINE, bundle, pem);
    appendRegistryRoots(HKEY_CURRENT_USER, bundle, pem);
    return pem;
}
