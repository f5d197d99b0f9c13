// Checks a certificate for revocation as the verification program's button
// does, and prints the result code and the message the user would read:
//   check_revocation <certificate.der> [--issuer <certificate.der>] [--skip-cache]
//   check_revocation --signed-file <file.p7m> [--signer N] [--cas <folder>]
//                    [--trusted-list <list.xml> --signers <folder>]
//   check_revocation --cache-file <CRL address>
//   check_revocation --ocsp-cache-file <certificate.der> <issuer.der>
// The second form loads the SignedFile as the program does (with the test
// PKI's authorities unless --cas names another folder of 140.der to 146.der,
// and the trusted list when one is given with its pinned signers) and checks
// signer N (0 by default) with the issuer the load found. The
// first line is the code in decimal, the rest the message (UTF-8). The third
// prints the file in which the list of that address is cached, the fourth the
// file that keeps the OCSP answer about that certificate.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "ansi_text.h"
#include "list_trust.h"
#include "ocsp_check.h"
#include "revocation_check.h"
#include "signed_file_loader.h"
#include "test_pki_authorities.h"
#include "trusted_list_source.h"

namespace {

std::vector<uint8_t> bytesOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int usage() {
    std::fprintf(stderr,
                 "usage: check_revocation <certificate.der> [--issuer <certificate.der>] [--skip-cache]\n"
                 "       check_revocation --signed-file <file.p7m> [--signer N] [--cas <folder>]\n"
                 "                        [--trusted-list <list.xml> --signers <folder>]\n"
                 "       check_revocation --cache-file <CRL address>\n"
                 "       check_revocation --ocsp-cache-file <certificate.der> <issuer.der>\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string certificatePath, issuerPath, signedPath, casFolder = testDataPath("pki/ca"), listPath, signersFolder;
    int signer = 0, skipCache = 0;
    if (argc == 3 && std::strcmp(argv[1], "--cache-file") == 0) {  // where the list of an address is cached
        CrlUrl url;
        if (!parseCrlUrl(argv[2], &url)) return 1;
        std::printf("%s\n", crlCachePath(url).c_str());
        return 0;
    }
    if (argc == 4 && std::strcmp(argv[1], "--ocsp-cache-file") == 0) {
        const std::vector<uint8_t> subject = bytesOf(argv[2]), authority = bytesOf(argv[3]);
        PCCERT_CONTEXT c = CertCreateCertificateContext(X509_ASN_ENCODING, subject.data(), static_cast<DWORD>(subject.size()));
        PCCERT_CONTEXT i = CertCreateCertificateContext(X509_ASN_ENCODING, authority.data(), static_cast<DWORD>(authority.size()));
        if (c == nullptr || i == nullptr) return 1;
        std::printf("%s\n", ocspCachePath(ocspCertIdOf(c, i)).c_str());
        CertFreeCertificateContext(c);
        CertFreeCertificateContext(i);
        return 0;
    }
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--issuer") == 0 && hasValue) issuerPath = argv[++i];
        else if (std::strcmp(argv[i], "--signed-file") == 0 && hasValue) signedPath = argv[++i];
        else if (std::strcmp(argv[i], "--signer") == 0 && hasValue) signer = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--cas") == 0 && hasValue) casFolder = argv[++i];
        else if (std::strcmp(argv[i], "--trusted-list") == 0 && hasValue) listPath = argv[++i];
        else if (std::strcmp(argv[i], "--signers") == 0 && hasValue) signersFolder = argv[++i];
        else if (std::strcmp(argv[i], "--skip-cache") == 0) skipCache = 1;
        else if (argv[i][0] != '-' && certificatePath.empty()) certificatePath = argv[i];
        else return usage();
    }
    if (certificatePath.empty() == signedPath.empty() || listPath.empty() != signersFolder.empty()) return usage();

    std::vector<uint8_t> certificate, issuer;
    if (!signedPath.empty()) {
        const TestPkiAuthorities authorities(casFolder);
        std::shared_ptr<const AcceptedTrustedList> list;
        if (!listPath.empty()) {
            std::vector<uint8_t> bytes;
            std::unique_ptr<AcceptedTrustedList> accepted;
            if (!readListFile(listPath, &bytes) ||
                !acceptTrustedList(bytes, readPinnedSigners(signersFolder), nullptr, utcNow(), &accepted).empty()) {
                std::fprintf(stderr, "check_revocation: the trusted list is not believed\n");
                return 1;
            }
            list = std::move(accepted);
        }
        const ListTrust trust(authorities.table(), list);
        auto record = std::make_unique<SignedFileRecord>();
        record->signedPath = signedPath;
        const int32_t loaded = loadSignedFile(*record, trust);
        if (loaded != 0 || signer < 0 || signer >= record->signerCount) {
            std::fprintf(stderr, "check_revocation: the file did not load (%d) or has no signer %d\n", loaded, signer);
            return 1;
        }
        // As the window checks it: at the time of a time-stamp that counts,
        // once its authority has been checked at that time.
        const SignerRevocation answer = checkSignerRevocation(
            *record, signer, [skipCache](const std::vector<uint8_t>& c, const std::vector<uint8_t>& i, const FILETIME* at) {
                return CheckRevocation(c.data(), c.size(), skipCache, i, at);
            });
        std::printf("%d\n%s\n", answer.code, utf8FromAnsi(signerRevocationMessage(answer)).c_str());
        return 0;
    }
    certificate = bytesOf(certificatePath);
    if (!issuerPath.empty()) issuer = bytesOf(issuerPath);
    const RevocationAnswer answer = CheckRevocation(certificate.data(), certificate.size(), skipCache, issuer, nullptr);
    SignerRevocation judged;
    judged.code = answer.code;
    judged.source = answer.source;
    judged.issuedAt = answer.issuedAt;
    std::printf("%d\n%s\n", answer.code, utf8FromAnsi(signerRevocationMessage(judged)).c_str());
    return 0;
}
