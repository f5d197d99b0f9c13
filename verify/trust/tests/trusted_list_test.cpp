// The trusted list as the program reads and believes it: the real Italian
// list of 2019 with the signers the European list names, the test
// supervisor's lists (made and checked by xmlsec1), the crafted ones, the
// store with its cache, snapshot and download.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>

#include "accepted_cas.h"
#include "certificate_facts.h"
#include "list_trust.h"
#include "signed_file_loader.h"
#include "signer_display.h"
#include "test_card_key.h"
#include "trusted_list_source.h"

namespace {

std::vector<uint8_t> fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<CertificateBytes> supervisors() { return readPinnedSigners(testDataPath("trust/signers")); }

// The gate's answer for a test list, now, with no list known before.
std::string refusalOf(const std::string& relative, std::unique_ptr<AcceptedTrustedList>* accepted = nullptr,
                      const TrustedList* known = nullptr) {
    std::unique_ptr<AcceptedTrustedList> kept;
    const std::vector<uint8_t> bytes = fileBytes(testDataPath(relative));
    EXPECT_FALSE(bytes.empty()) << relative;
    return acceptTrustedList(bytes, supervisors(), known, utcNow(), accepted ? accepted : &kept);
}

const TrustService* serviceOf(const TrustedList& list, const CertificateBytes& certificate) {
    for (const TrustServiceProvider& provider : list.providers) {
        for (const TrustService& service : provider.services) {
            if (std::find(service.certificates.begin(), service.certificates.end(), certificate) !=
                service.certificates.end()) {
                return &service;
            }
        }
    }
    return nullptr;
}

TEST(RealTrustedList, TheItalianListVerifiesWithTheSignersTheEuropeanListNames) {
    std::unique_ptr<AcceptedTrustedList> lotl;
    ASSERT_EQ(acceptTrustedList(fileBytes(testDataPath("trust/real/eu-lotl-2019-09-04.xml")),
                                {fileBytes(testDataPath("trust/real/eu-lotl-signer-2019.der"))}, nullptr, utcNow(),
                                &lotl),
              "");
    EXPECT_EQ(lotl->list().sequenceNumber, 248u);
    std::vector<CertificateBytes> italian;
    for (const OtherListPointer& pointer : lotl->list().pointers) {
        if (pointer.territory == "IT" && pointer.mimeType == "application/vnd.etsi.tsl+xml") {
            EXPECT_EQ(pointer.location, DEFAULT_LIST_ADDRESS);
            italian = pointer.signers;
        }
    }
    // The certificates the tool wrote out, and the installer lays down.
    ASSERT_EQ(italian, (std::vector<CertificateBytes>{fileBytes(testDataPath("trust/real/IT-1.der")),
                                                      fileBytes(testDataPath("trust/real/IT-2.der"))}));

    const std::vector<uint8_t> bytes = fileBytes(testDataPath("trust/real/IT-2019-09-04.xml"));
    std::unique_ptr<AcceptedTrustedList> it;
    ASSERT_EQ(acceptTrustedList(bytes, italian, nullptr, utcNow(), &it), "");
    const TrustedList& list = it->list();
    EXPECT_EQ(list.sequenceNumber, 141u);
    EXPECT_EQ(list.territory, "IT");
    EXPECT_EQ(list.issuer, "Agenzia per l'Italia Digitale");
    EXPECT_EQ(formatUtc(list.issued), "04/09/2019 08:00 UTC");
    EXPECT_EQ(formatUtc(list.nextUpdate), "27/02/2020 00:00 UTC");
    // Past its next update: it speaks for the times before it, not for now.
    EXPECT_TRUE(it->speaksFor(list.nextUpdate));
    EXPECT_FALSE(it->speaksFor(list.nextUpdate + 1));
    EXPECT_FALSE(it->speaksFor(utcNow()));
    size_t services = 0, withHistory = 0;
    std::map<std::string, size_t> types;
    for (const TrustServiceProvider& provider : list.providers) {
        for (const TrustService& service : provider.services) {
            ++services;
            ++types[serviceTypeName(service.current.type)];
            withHistory += service.history.empty() ? 0 : 1;
            EXPECT_FALSE(service.certificates.empty()) << service.name;
        }
    }
    EXPECT_EQ(list.providers.size(), 48u);
    EXPECT_EQ(services, 363u);
    EXPECT_GT(types["CA/QC"], 100u);
    EXPECT_GT(types["TSA/QTST"], 10u);
    EXPECT_GT(withHistory, 0u);

    // Neither list is believed with the other's signers, nor with the test supervisor.
    std::unique_ptr<AcceptedTrustedList> refused;
    EXPECT_NE(acceptTrustedList(bytes, supervisors(), nullptr, utcNow(), &refused), "");
    EXPECT_NE(acceptTrustedList(bytes, {fileBytes(testDataPath("trust/real/eu-lotl-signer-2019.der"))}, nullptr,
                                utcNow(), &refused),
              "");
    EXPECT_EQ(refused, nullptr);
    // One byte of a name changed: the digest of the list no longer matches.
    std::vector<uint8_t> changed = bytes;
    const std::string name = "Banca d'Italia";
    const auto at = std::search(changed.begin(), changed.end(), name.begin(), name.end());
    ASSERT_NE(at, changed.end());
    *at = 'b';
    EXPECT_NE(acceptTrustedList(changed, italian, nullptr, utcNow(), &refused), "");
}

// The rules of a service's status over time, on the real list: InfoCert's
// time-stamping authority was accredited from 20 July 2007 as TSA/TSS-QC, a
// type that counts for time-stamps only before 1 July 2016.
FILETIME fileTimeAt(const char* text) {
    UtcSeconds seconds = 0;
    EXPECT_TRUE(readDateTime(text, &seconds)) << text;
    return fileTimeOf(seconds);
}

std::shared_ptr<const AcceptedTrustedList> realItalianList() {
    std::unique_ptr<AcceptedTrustedList> it;
    EXPECT_EQ(acceptTrustedList(fileBytes(testDataPath("trust/real/IT-2019-09-04.xml")),
                                {fileBytes(testDataPath("trust/real/IT-1.der")),
                                 fileBytes(testDataPath("trust/real/IT-2.der"))},
                                nullptr, utcNow(), &it),
              "");
    return std::shared_ptr<const AcceptedTrustedList>(std::move(it));
}

TEST(RealTrustedList, ServicesAreTrustedByTheStatusOfTheirTime) {
    const std::shared_ptr<const AcceptedTrustedList> it = realItalianList();
    ASSERT_NE(it, nullptr);
    const TrustService* infocert = nullptr;
    size_t signatureAuthorities = 0;
    UtcSeconds listed;
    ASSERT_TRUE(readDateTime("2019-09-01T00:00:00Z", &listed));
    for (const TrustServiceProvider& provider : it->list().providers) {
        for (const TrustService& service : provider.services) {
            if (service.name.rfind("CN=InfoCert Time Stamping Authority,", 0) == 0) infocert = &service;
            const ServiceState* state = serviceStateAt(service, listed);
            if (state != nullptr && isTrustedFor(TrustedRole::SignatureAuthority, *state, listed)) ++signatureAuthorities;
        }
    }
    ASSERT_NE(infocert, nullptr);
    UtcSeconds before, accredited, after;
    ASSERT_TRUE(readDateTime("2007-07-20T08:53:34Z", &before));
    ASSERT_TRUE(readDateTime("2010-01-01T00:00:00Z", &accredited));
    ASSERT_TRUE(readDateTime("2017-01-01T00:00:00Z", &after));
    EXPECT_EQ(serviceStateAt(*infocert, before), nullptr);
    ASSERT_NE(serviceStateAt(*infocert, accredited), nullptr);
    EXPECT_TRUE(isTrustedFor(TrustedRole::TimeStamping, *serviceStateAt(*infocert, accredited), accredited));
    ASSERT_NE(serviceStateAt(*infocert, after), nullptr);
    EXPECT_FALSE(isTrustedFor(TrustedRole::TimeStamping, *serviceStateAt(*infocert, after), after));
    // Qualified authorities granted for signatures in 2019: most of the 133 granted CA/QC services.
    EXPECT_GT(signatureAuthorities, 50u);
    EXPECT_LE(signatureAuthorities, 133u);
}

// A card in the name of ArubaPEC's qualified authority of 2019, issued under
// a key of ours: judged while the list speaks for its time, the name and key
// identifier are ArubaPEC's but the signature is not, so nobody vouches for it.
TEST(RealTrustedList, AnAuthorityIsKnownByItsKeyNotByItsName) {
    const AcceptedCaTable none;
    const ListTrust trust(none, realItalianList());
    const std::vector<uint8_t> file = fileBytes(testDataPath("trust/real/forgery/forged-signed.p7m"));
    for (const char* at : {"2019-10-01T00:00:00Z", "2026-01-01T00:00:00Z"}) {
        auto record = std::make_unique<SignedFileRecord>();
        Base64Codec codec;
        SignedMessage message;
        const FILETIME time = fileTimeAt(at);
        ASSERT_EQ(loadSignedBytes({file.data(), file.size()}, *record, trust, &codec, &message, &time), 0);
        const bool inTime = std::strncmp(at, "2019", 4) == 0;
        // In 2026 the list of 2019 is long past its next update: it proves nothing either way.
        EXPECT_EQ(record->signerStatus[0], inTime ? CA_NOT_ACCEPTED : LIST_OUTDATED) << at;
        EXPECT_EQ(signerStateText(*record, 0), inTime ? "31/12/2049;CA non ammessa"
                                                      : "31/12/2049;elenco di fiducia non aggiornato")
            << at;
        EXPECT_TRUE(record->trustProviders[0].empty());
    }
}

// The certificates that signed the real lists say their keys sit on a
// qualified device (QcSSCD; the European list's also that it is qualified,
// QcCompliance), but their authorities are not in the Italian list of 2019:
// AgID's own authority issued the Italian list's signers, Certipost's
// "Citizen CA" (in the Belgian list) the European list's. Judged at the
// Italian list's issue, nobody vouches for them: a certificate's own word
// makes no qualified signature.
TEST(RealTrustedList, TheListSignersOwnAuthoritiesAreNotInTheItalianList) {
    const AcceptedCaTable none;
    const ListTrust trust(none, realItalianList());
    const FILETIME issued = fileTimeAt("2019-09-04T08:00:00Z");
    for (const char* name : {"IT-1.der", "IT-2.der", "eu-lotl-signer-2019.der"}) {
        const std::vector<uint8_t> der = fileBytes(testDataPath(std::string("trust/real/") + name));
        CertificateFacts facts;
        ASSERT_TRUE(readCertificateFacts({der.data(), der.size()}, &facts)) << name;
        EXPECT_TRUE(facts.qcSscd) << name;
        EXPECT_EQ(facts.qcCompliance, std::strcmp(name, "eu-lotl-signer-2019.der") == 0) << name;
        PCCERT_CONTEXT certificate =
            CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()));
        ASSERT_NE(certificate, nullptr) << name;
        const TrustAnswer answer = trust.signer(certificate, {}, issued);
        EXPECT_EQ(answer.verdict, TrustAnswer::Verdict::NotVouched) << name;
        EXPECT_EQ(answer.qualification, Qualification::None) << name;
        CertFreeCertificateContext(certificate);
    }
}

TEST(TestTrustedLists, EachCanonicalizationAndAlgorithmIsBelieved) {
    for (const char* name : {"valid", "valid-seq8", "valid-ecdsa", "valid-c14n10", "valid-c14n-comments",
                             "valid-sha512", "stale", "lower-sequence"}) {
        EXPECT_EQ(refusalOf(std::string("trust/lists/") + name + ".xml"), "") << name;
    }
    std::unique_ptr<AcceptedTrustedList> stale;
    ASSERT_EQ(refusalOf("trust/lists/stale.xml", &stale), "");
    EXPECT_FALSE(stale->speaksFor(utcNow()));
    EXPECT_TRUE(stale->speaksFor(stale->list().issued));
}

TEST(TestTrustedLists, TheListSaysWhoIsQualifiedAndSince) {
    std::unique_ptr<AcceptedTrustedList> accepted;
    ASSERT_EQ(refusalOf("trust/lists/valid.xml", &accepted), "");
    const TrustedList& list = accepted->list();
    EXPECT_EQ(list.sequenceNumber, 7u);
    const TrustService* ca144 = serviceOf(list, fileBytes(testDataPath("pki/ca/144.der")));
    ASSERT_NE(ca144, nullptr);
    EXPECT_EQ(serviceTypeName(ca144->current.type), "CA/QC");
    EXPECT_EQ(statusName(ca144->current.status), "granted");
    ASSERT_EQ(ca144->current.qualifications.size(), 2u);
    EXPECT_EQ(ca144->current.qualifications[0].criteria.keyUsages.size(), 1u);
    EXPECT_EQ(ca144->current.qualifications[1].criteria.policySets.size(), 1u);
    EXPECT_FALSE(ca144->current.additionalInformation.empty());
    const TrustService* tsa = serviceOf(list, fileBytes(testDataPath("pki/cards/tsa.der")));
    ASSERT_NE(tsa, nullptr);
    EXPECT_EQ(serviceTypeName(tsa->current.type), "TSA/QTST");
    const TrustService* ca142 = serviceOf(list, fileBytes(testDataPath("pki/ca/142.der")));
    ASSERT_NE(ca142, nullptr);
    EXPECT_EQ(statusName(ca142->current.status), "withdrawn");
    ASSERT_FALSE(ca142->history.empty());
    EXPECT_EQ(statusName(ca142->history[0].status), "granted");
    EXPECT_LT(ca142->history[0].since, ca142->current.since);
    EXPECT_EQ(serviceOf(list, fileBytes(testDataPath("pki/ca/outsider.der"))), nullptr);
}

// Every crafted list is refused, for its own reason.
TEST(TestTrustedLists, CraftedListsAreRefusedWithTheirReason) {
    const std::map<std::string, std::string> reasons = {
        {"broken-signature", "la firma della lista non è valida"},
        {"unpinned-signer", "non è tra i firmatari ammessi"},
        {"service-added", "modificata dopo la firma"},
        {"partial-reference", "riferimento a una parte del documento"},
        {"id-reference", "riferimento a una parte del documento"},
        {"second-list", "un secondo elemento TrustServiceStatusList"},
        {"duplicate-id", "Id ripetuto"},
        {"doctype-entities", "DOCTYPE"},
        {"xpath-transform", "trasformazione non ammessa"},
        {"cut-off", "troncato"},
        {"cut-in-comment", "troncato"},
        {"char-reference", "riferimento a carattere non ammesso"},
        {"prefix-rebound", "legato a due namespace diversi"},
    };
    for (const auto& crafted : reasons) {
        std::unique_ptr<AcceptedTrustedList> accepted;
        const std::string refusal = refusalOf("trust/crafted/" + crafted.first + ".xml", &accepted);
        EXPECT_NE(refusal.find(crafted.second), std::string::npos) << crafted.first << ": " << refusal;
        EXPECT_EQ(accepted, nullptr);
    }
    EXPECT_NE(refusalOf("trust/lists/future.xml").find("data futura"), std::string::npos);

    // A service whose elements the default namespace puts in another
    // namespace is signed, but is no service of the list.
    std::unique_ptr<AcceptedTrustedList> accepted;
    ASSERT_EQ(refusalOf("trust/crafted/default-namespace-rebound.xml", &accepted), "");
    EXPECT_EQ(serviceOf(accepted->list(), fileBytes(testDataPath("pki/ca/outsider.der"))), nullptr);
    EXPECT_NE(serviceOf(accepted->list(), fileBytes(testDataPath("pki/ca/144.der"))), nullptr);
}

// A reference costs a canonical copy of what it covers: a signature gets
// one to the whole list and at most one to its signed properties.
TEST(TestTrustedLists, ReferencesBeyondTheTwoAreRefusedBeforeTheyCost) {
    const std::vector<uint8_t> bytes = fileBytes(testDataPath("trust/lists/valid.xml"));
    const std::string text(bytes.begin(), bytes.end());
    const auto withCopyOf = [&](const std::string& start) {
        const size_t from = text.find(start);
        const size_t to = text.find("</ds:Reference>", from) + std::strlen("</ds:Reference>");
        EXPECT_NE(from, std::string::npos);
        // The copies without an Id, which would be refused as repeated.
        std::string copy = text.substr(from, to - from);
        const size_t id = copy.find(" Id=\"");
        if (id != std::string::npos) copy.erase(id, copy.find('"', id + 5) + 1 - id);
        std::string copies;
        for (int i = 0; i < 1000; ++i) copies += copy;
        const std::string changed = text.substr(0, to) + copies + text.substr(to);
        return std::vector<uint8_t>(changed.begin(), changed.end());
    };
    std::unique_ptr<AcceptedTrustedList> accepted;
    EXPECT_NE(acceptTrustedList(withCopyOf("<ds:Reference Id="), supervisors(), nullptr, utcNow(), &accepted)
                  .find("esattamente una volta"),
              std::string::npos);
    EXPECT_NE(acceptTrustedList(withCopyOf("<ds:Reference Type="), supervisors(), nullptr, utcNow(), &accepted)
                  .find("più di un riferimento"),
              std::string::npos);
}

TEST(TestTrustedLists, AListMayNotGoBackBelowTheOneBelievedBefore) {
    std::unique_ptr<AcceptedTrustedList> known;
    ASSERT_EQ(refusalOf("trust/lists/valid.xml", &known), "");
    EXPECT_NE(refusalOf("trust/lists/lower-sequence.xml", nullptr, &known->list()).find("numero di sequenza 5"),
              std::string::npos);
    EXPECT_EQ(refusalOf("trust/lists/valid-ecdsa.xml", nullptr, &known->list()), "");  // the same number
    EXPECT_EQ(refusalOf("trust/lists/valid-seq8.xml", nullptr, &known->list()), "");
}

// 40 MB: refused by its size, from a file and before it is parsed.
TEST(TestTrustedLists, AListOver32MBIsRefused) {
    std::vector<uint8_t> big = fileBytes(testDataPath("trust/lists/valid.xml"));
    const std::string pad = "<!--" + std::string(40u << 20, 'x') + "-->";
    big.insert(big.end(), pad.begin(), pad.end());
    std::unique_ptr<AcceptedTrustedList> accepted;
    EXPECT_NE(acceptTrustedList(big, supervisors(), nullptr, utcNow(), &accepted).find("32 MB"), std::string::npos);

    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    const std::string path = std::string(folder) + "quill-big-list.xml";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(big.data()), big.size());
    std::vector<uint8_t> read;
    ASSERT_TRUE(readListFile(path, &read));
    EXPECT_EQ(read.size(), MAX_XML_SIZE + 1);  // enough to know it is too large, no more
    DeleteFileA(path.c_str());
}

// A server that takes the connection and never answers: the download gives
// up at its deadline.
TEST(TestTrustedLists, AMuteServerCostsNoMoreThanTheDeadline) {
    WSADATA data;
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
    const SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof address;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 4), 0);
    ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size), 0);
    const std::string url = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/lista.xml";
    const DWORD started = GetTickCount();
    std::string failure;
    EXPECT_TRUE(downloadList(url, 2, &failure).empty());
    EXPECT_NE(failure, "");
    EXPECT_LT(GetTickCount() - started, 10000u);

    // A store without a pinned signer could believe no list: it does not
    // wait for that server at all.
    TrustedListSettings unsigned_;
    unsigned_.address = url;
    unsigned_.signersFolder = testDataPath("trust/nessun-firmatario");
    unsigned_.snapshotPath = testDataPath("trust/lists/stale.xml");
    unsigned_.cachePath = testDataPath("trust/nessuna-copia.xml");
    TrustedListStore store(unsigned_);
    const DWORD asked = GetTickCount();
    EXPECT_EQ(store.current(ListFetch::Refreshed), nullptr);
    EXPECT_LT(GetTickCount() - asked, 1500u);
    EXPECT_EQ(store.lastRefusal(), "nessun firmatario della lista installato");
    closesocket(listener);
    WSACleanup();
}

// Against the test HTTP server (the test that runs this one starts it and
// names the folder it serves as /crl/): the stale snapshot is believed but
// past its next update, so the store downloads once, keeps the fresher list
// and caches it; a later store starts from the cache.
TEST(TrustedListServers, TheStoreDownloadsOnceWhenItsListIsPastItsNextUpdate) {
    const char* served = std::getenv("QUILL_CRL_HTTP_DIR");
    if (std::getenv("QUILL_CRL_SERVERS") == nullptr || served == nullptr) GTEST_SKIP() << "needs scripts/crl-servers";
    const auto serve = [served](const std::string& name, const std::vector<uint8_t>& bytes) {
        std::ofstream(std::string(served) + "/" + name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    };
    char temporary[MAX_PATH];
    GetTempPathA(sizeof temporary, temporary);
    TrustedListSettings settings;
    settings.address = "http://127.0.0.1:8089/crl/lista-it.xml";
    settings.signersFolder = testDataPath("trust/signers");
    settings.snapshotPath = testDataPath("trust/lists/stale.xml");
    settings.cachePath = std::string(temporary) + "quill-list-cache-test\\lista.xml";
    DeleteFileA(settings.cachePath.c_str());

    serve("lista-it.xml", fileBytes(testDataPath("trust/lists/valid.xml")));
    TrustedListStore store(settings);
    const std::shared_ptr<const AcceptedTrustedList> list = store.current();
    ASSERT_NE(list, nullptr) << store.lastRefusal();
    EXPECT_EQ(list->list().sequenceNumber, 7u);
    EXPECT_EQ(fileBytes(settings.cachePath), fileBytes(testDataPath("trust/lists/valid.xml")));

    // A tampered list on the server is not believed and does not replace the cache.
    serve("lista-it.xml", fileBytes(testDataPath("trust/crafted/service-added.xml")));
    TrustedListStore again(settings);
    ASSERT_NE(again.current(), nullptr);
    EXPECT_EQ(again.current()->list().sequenceNumber, 7u);  // from the cache: it is current, no download
    TrustedListSettings staleOnly = settings;
    staleOnly.cachePath = std::string(temporary) + "quill-list-cache-test\\altra.xml";
    DeleteFileA(staleOnly.cachePath.c_str());
    TrustedListStore tampered(staleOnly);
    ASSERT_NE(tampered.current(), nullptr);
    EXPECT_EQ(tampered.current()->list().sequenceNumber, 6u);  // the snapshot, past its next update
    EXPECT_NE(tampered.lastRefusal().find("modificata dopo la firma"), std::string::npos);
    EXPECT_TRUE(fileBytes(staleOnly.cachePath) == fileBytes(testDataPath("trust/lists/stale.xml")));

    // Over 32 MB on the server: the download stops at the bound.
    std::vector<uint8_t> big(MAX_LIST_DOWNLOAD + 1024, ' ');
    serve("grande.xml", big);
    std::string failure;
    EXPECT_TRUE(downloadList("http://127.0.0.1:8089/crl/grande.xml", 20, &failure).empty());
    EXPECT_NE(failure, "");
}

}  // namespace
