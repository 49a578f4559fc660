#include "movie/WineTrust.h"

#include <windows.h>
#include <wincrypt.h>

bool runningUnderWine()
{
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

std::string trustedRootsPem()
{
    std::string pem;
    // The current user's root store also lists the machine's roots.
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                                     CERT_SYSTEM_STORE_CURRENT_USER | CERT_STORE_READONLY_FLAG, L"Root");
    if (!store)
        return pem;
    PCCERT_CONTEXT cert = nullptr;
    while ((cert = CertEnumCertificatesInStore(store, cert)) != nullptr) {
        DWORD length = 0;
        if (!CryptBinaryToStringA(cert->pbCertEncoded, cert->cbCertEncoded, CRYPT_STRING_BASE64HEADER,
                                  nullptr, &length))
            continue;
        std::string block(length, '\0');
        if (CryptBinaryToStringA(cert->pbCertEncoded, cert->cbCertEncoded, CRYPT_STRING_BASE64HEADER,
                                 &block[0], &length)) {
            block.resize(length);
            pem += block;
        }
    }
    CertCloseStore(store, 0);
    return pem;
}
