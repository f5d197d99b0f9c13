#include <gtest/gtest.h>

#include "certificate_use.h"
#include "der_builder.h"

namespace {

using namespace der_builder;

// Which key usages and extended key usages let a certificate sign documents.
TEST(CertificateUse, OnlyASigningKeyOfASigningCertificateSigns) {
    const Bytes none;
    const Bytes nonRepudiation = hex("03 02 06 40"), digitalSignature = hex("03 02 07 80");
    const Bytes keyEncipherment = hex("03 02 05 20"), authority = hex("03 02 01 06"), noBits = hex("03 01 00");
    auto purposes = [](std::initializer_list<const char*> oids) {
        Bytes list;
        for (const char* oid : oids) list = cat({list, tlv(0x06, ber::oidFromText(oid))});
        return tlv(0x30, list);
    };
    const char *timeStamping = "1.3.6.1.5.5.7.3.8", *serverAuth = "1.3.6.1.5.5.7.3.1", *clientAuth = "1.3.6.1.5.5.7.3.2",
               *codeSigning = "1.3.6.1.5.5.7.3.3", *ocspSigning = "1.3.6.1.5.5.7.3.9",
               *emailProtection = "1.3.6.1.5.5.7.3.4", *documentSigning = "1.3.6.1.4.1.311.10.3.12";
    const struct { const char* what; Bytes keyUsage, extended; CertificateUse use; } rows[] = {
        {"no extension", none, none, CertificateUse::Signing},
        {"non-repudiation, as qualified cards", nonRepudiation, none, CertificateUse::Signing},
        {"digital signature", digitalSignature, none, CertificateUse::Signing},
        {"key encipherment only", keyEncipherment, none, CertificateUse::KeyUsageOther},
        {"an authority's usages", authority, none, CertificateUse::KeyUsageOther},
        {"no bit at all", noBits, none, CertificateUse::KeyUsageOther},
        {"a key usage that is no BIT STRING", hex("04 01 C0"), none, CertificateUse::KeyUsageOther},
        {"time stamping only", nonRepudiation, purposes({timeStamping}), CertificateUse::ExtendedUseOther},
        {"a web server's", digitalSignature, purposes({serverAuth, clientAuth}), CertificateUse::ExtendedUseOther},
        {"code and OCSP signing", none, purposes({codeSigning, ocspSigning}), CertificateUse::ExtendedUseOther},
        {"e-mail protection", nonRepudiation, purposes({emailProtection}), CertificateUse::Signing},
        {"time stamping and document signing", none, purposes({timeStamping, documentSigning}),
         CertificateUse::Signing},
        {"an extended usage that cannot be read", none, hex("30 03 06 01"), CertificateUse::ExtendedUseOther},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(certificateUseOf({row.keyUsage.data(), row.keyUsage.size()}, {row.extended.data(), row.extended.size()}),
                  row.use)
            << row.what;
    }
}

}  // namespace
