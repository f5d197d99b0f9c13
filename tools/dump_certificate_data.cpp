// Prints what orvik.dll makes of certificate files, one "field: value" line
// each (lists as repeated lines), a line "--" after each file:
//   dump_certificate_data <file>...
// scripts/check-certificate-data compares it with OpenSSL's reading.
#include <cstdio>
#include <string>

#include "orvik.h"

namespace {

const char* text(const char* value) { return value ? value : "(null)"; }

// Line breaks inside a value are written \n, so that every field keeps to one line.
std::string oneLine(const char* value) {
    std::string out;
    for (const char* c = text(value); *c; ++c) {
        if (*c == '\r') continue;
        out += *c == '\n' ? std::string("\\n") : std::string(1, *c);
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        AllocOrvikMem();
        CertificateData data{};
        char mail[1024] = "";
        data.pszMailAddress = mail;
        const int result = GetCertificateDataFromFile(argv[i], &data);
        std::printf("file: %s\nresult: %d\n", argv[i], result);
        if (result == 0) {
            std::printf("reserved: %lu\nissuer_check: 0x%lX\n", static_cast<unsigned long>(data.dwReserved),
                        static_cast<unsigned long>(data.dwIssuerCheck));
            std::printf("version: %s\nserial: %s\nsignature_algorithm: %s\npublic_key_algorithm: %s\n",
                        text(data.pszVersion), text(data.pszSerialNumber), text(data.pszSignatureAlgorithm),
                        text(data.pszPublicKeyAlgorithm));
            std::printf("valid_from: %s\nvalid_to: %s\nthumbprint: %s\nsha1: %s\npublic_key: %s\nmail: %s\n",
                        text(data.pszValidFrom), text(data.pszValidTo), text(data.pszThumbprint),
                        text(data.pszSha1Hash), text(data.pszPublicKey), mail);
            for (KeyUsageNode* k = data.pKeyUsage; k; k = k->pNext) std::printf("key_usage: %s\n", text(k->pszText));
            for (NameAttributeNode* n = data.pSubject; n; n = n->pNext) {
                std::printf("subject: %s=%s\n", text(n->pszName), oneLine(n->pszValue).c_str());
            }
            for (NameAttributeNode* n = data.pIssuer; n; n = n->pNext) {
                std::printf("issuer: %s=%s\n", text(n->pszName), oneLine(n->pszValue).c_str());
            }
            for (ExtensionNode* e = data.pExtensions; e; e = e->pNext) {
                std::printf("extension: %s=%s\n", text(e->pszName), oneLine(e->pszValue).c_str());
            }
            for (ExtensionNode* e = data.pCriticalExtensions; e; e = e->pNext) {
                std::printf("critical_extension: %s=%s\n", text(e->pszName), oneLine(e->pszValue).c_str());
            }
        }
        std::printf("--\n");
        FreeOrvikMem();
    }
    return 0;
}
