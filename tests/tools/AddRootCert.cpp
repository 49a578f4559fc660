// Makes a Wine prefix (or a Windows machine) trust a test CA: adds the PEM
// certificate named on the command line to the local machine's root store,
// unless it is there already. Wine's certutil is a stub that does nothing.
// Exit code 0 when the store holds the certificate afterwards.
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

bool readFile(const char* path, std::string* text)
{
    FILE* file = fopen(path, "rb");
    if (!file)
        return false;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, file)) > 0)
        text->append(buffer, n);
    fclose(file);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: qp_add_root_cert <certificate.pem>\n");
        return 2;
    }
    std::string pem;
    if (!readFile(argv[1], &pem)) {
        fprintf(stderr, "qp_add_root_cert: cannot read %s\n", argv[1]);
        return 1;
    }
    DWORD size = 0;
    if (!CryptStringToBinaryA(pem.c_str(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER,
                              nullptr, &size, nullptr, nullptr)) {
        fprintf(stderr, "qp_add_root_cert: %s holds no PEM certificate\n", argv[1]);
        return 1;
    }
    std::vector<BYTE> der(size);
    CryptStringToBinaryA(pem.c_str(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER, der.data(),
                         &size, nullptr, nullptr);
    PCCERT_CONTEXT cert = CertCreateCertificateContext(X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, der.data(), size);
    if (!cert) {
        fprintf(stderr, "qp_add_root_cert: %s is no certificate (error %lu)\n", argv[1], GetLastError());
        return 1;
    }
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
    if (!store) {
        fprintf(stderr, "qp_add_root_cert: cannot open the root store (error %lu)\n", GetLastError());
        CertFreeCertificateContext(cert);
        return 1;
    }
    int result = 0;
    PCCERT_CONTEXT present = CertFindCertificateInStore(store, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0,
                                                        CERT_FIND_EXISTING, cert, nullptr);
    if (present) {
        CertFreeCertificateContext(present);
    } else if (!CertAddCertificateContextToStore(store, cert, CERT_STORE_ADD_REPLACE_EXISTING, nullptr)) {
        fprintf(stderr, "qp_add_root_cert: adding failed (error %lu)\n", GetLastError());
        result = 1;
    }
    CertCloseStore(store, 0);
    CertFreeCertificateContext(cert);
    return result;
}
