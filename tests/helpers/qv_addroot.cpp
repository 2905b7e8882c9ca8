// Installs a DER certificate file into the ROOT store of the local machine (and
// of the current user), so that signatures chaining to it verify.
//   qv_addroot.exe CERT.cer
// Exit code 0 when at least one store took the certificate, 1 otherwise.
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <string>

#include "qvFiles.h"

static bool AddToRoot(DWORD location, const std::string& der)
{
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0, location, "ROOT");
    if (!store) {
        std::printf("CertOpenStore(0x%08lX) failed: %lu\n", location, GetLastError());
        return false;
    }
    BOOL added = CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING,
                                                  reinterpret_cast<const BYTE*>(der.data()),
                                                  static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING,
                                                  nullptr);
    if (!added) std::printf("CertAddEncodedCertificateToStore(0x%08lX) failed: 0x%08lX\n", location, GetLastError());
    CertCloseStore(store, 0);
    return added != 0;
}

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::printf("usage: qv_addroot CERT.cer\n");
        return 2;
    }
    std::string der;
    if (!ReadFileBytes(argv[1], der) || der.empty()) {
        std::printf("cannot read %s\n", argv[1]);
        return 1;
    }
    bool machine = AddToRoot(CERT_SYSTEM_STORE_LOCAL_MACHINE, der);
    bool user = AddToRoot(CERT_SYSTEM_STORE_CURRENT_USER, der);
    return machine || user ? 0 : 1;
}
