#include "qualification_rules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "signed_message.h"

namespace {

const std::string QUALIFIER = "http://uri.etsi.org/TrstSvc/TrustedList/SvcInfoExt/";
constexpr int NON_REPUDIATION = 1;
constexpr int KEY_CERT_SIGN = 5;

std::vector<uint8_t> testFile(const std::string& relative) {
    std::ifstream in(std::string(QUILL_TESTDATA_DIR) + "/" + relative, std::ios::binary);
    EXPECT_TRUE(in.good()) << relative;
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

CertificateFacts factsOf(const std::string& relative) {
    const std::vector<uint8_t> der = testFile(relative);
    CertificateFacts facts;
    EXPECT_TRUE(readCertificateFacts({der.data(), der.size()}, &facts)) << relative;
    return facts;
}

TEST(CertificateFacts, ReadFromTheTestAuthoritiesAndCards) {
    const CertificateFacts root = factsOf("pki/ca/qc-root.der");
    EXPECT_TRUE(root.isCa);
    EXPECT_TRUE(root.keyUsage & (1u << KEY_CERT_SIGN));
    EXPECT_TRUE(mayIssueCertificates(root));
    EXPECT_EQ(root.subjectKeyId.size(), 20u);

    const CertificateFacts both = factsOf("pki/cards/qc-both.der");
    EXPECT_FALSE(mayIssueCertificates(both)) << "a signer's certificate issues nothing";
    EXPECT_TRUE(both.qcCompliance && both.qcSscd);
    EXPECT_EQ(both.keyUsage, 1u << NON_REPUDIATION);
    EXPECT_EQ(both.authorityKeyId, factsOf("pki/ca/qc-granted.der").subjectKeyId);

    const CertificateFacts compliance = factsOf("pki/cards/qc-compliance.der");
    EXPECT_TRUE(compliance.qcCompliance && !compliance.qcSscd);
    const CertificateFacts sscd = factsOf("pki/cards/qc-sscd.der");
    EXPECT_TRUE(!sscd.qcCompliance && sscd.qcSscd);
    EXPECT_EQ(factsOf("pki/cards/qc-policy-card.der").policies, std::vector<std::string>{"1.3.6.1.4.1.99999.3.1"});
}

TEST(CertificateFacts, ACutOrMangledCertificateIsNoCertificate) {
    std::vector<uint8_t> der = testFile("pki/cards/qc-both.der");
    CertificateFacts facts;
    EXPECT_FALSE(readCertificateFacts({der.data(), der.size() - 1}, &facts));
    EXPECT_FALSE(readCertificateFacts({der.data(), 0}, &facts));
    // The QC statements' SEQUENCE OF turned into a SET: read as no statement list at all.
    const std::vector<uint8_t> qcOid = {0x06, 0x08, 0x2B, 0x06, 0x01, 0x05, 0x05, 0x07, 0x01, 0x03};
    auto at = std::search(der.begin(), der.end(), qcOid.begin(), qcOid.end());
    ASSERT_NE(at, der.end());
    at += qcOid.size();
    ASSERT_EQ(*at, 0x04);  // extnValue OCTET STRING, then the SEQUENCE OF
    ASSERT_EQ(at[2], 0x30);
    at[2] = 0x31;
    EXPECT_FALSE(readCertificateFacts({der.data(), der.size()}, &facts));
}

// A card's OCSP responder: the first OCSP access description named by an
// http:// address, in its authority information access.
TEST(CertificateFacts, TheOcspResponderIsTheFirstHttpOne) {
    EXPECT_EQ(factsOf("pki/cards/ocsp-good.der").ocspAddress, "http://127.0.0.1:8090/ocsp");
    EXPECT_EQ(factsOf("pki/cards/cie140.der").ocspAddress, "") << "it names no responder";
    const std::vector<uint8_t> original = testFile("pki/cards/ocsp-good.der");
    const std::vector<uint8_t> ocspMethod = {0x06, 0x08, 0x2B, 0x06, 0x01, 0x05, 0x05, 0x07, 0x30, 0x01};
    const std::string address = "http://127.0.0.1:8090/ocsp";
    const auto changed = [&](const std::vector<uint8_t>& from, const std::string& to) {
        std::vector<uint8_t> der = original;
        auto at = std::search(der.begin(), der.end(), from.begin(), from.end());
        EXPECT_NE(at, der.end());
        std::copy(to.begin(), to.end(), at);
        CertificateFacts facts;
        EXPECT_TRUE(readCertificateFacts({der.data(), der.size()}, &facts));
        return facts.ocspAddress;
    };
    const std::vector<uint8_t> addressBytes(address.begin(), address.end());
    EXPECT_EQ(changed(addressBytes, "HTTP"), "HTTP://127.0.0.1:8090/ocsp") << "the scheme in any case";
    EXPECT_EQ(changed(addressBytes, "ldap"), "") << "only http is asked";
    std::string caIssuers(ocspMethod.begin(), ocspMethod.end());
    caIssuers.back() = 0x02;
    EXPECT_EQ(changed(ocspMethod, caIssuers), "") << "the issuer's certificate is no responder";
}

CriteriaList keyUsageCriteria(CriteriaList::Assert assertion, std::vector<std::pair<int, bool>> bits) {
    CriteriaList c;
    c.assertion = assertion;
    c.keyUsages.push_back(std::move(bits));
    return c;
}

TEST(Criteria, AllAtLeastOneAndNoneWithCriteriaThatCannotBeJudged) {
    using A = CriteriaList::Assert;
    CertificateFacts signing;
    signing.hasKeyUsage = true;
    signing.keyUsage = 1u << NON_REPUDIATION;
    signing.policies = {"1.2.3"};

    EXPECT_EQ(criteriaMet(keyUsageCriteria(A::All, {{NON_REPUDIATION, true}}), signing), CriteriaMet::Yes);
    EXPECT_EQ(criteriaMet(keyUsageCriteria(A::All, {{NON_REPUDIATION, false}}), signing), CriteriaMet::No);
    EXPECT_EQ(criteriaMet(keyUsageCriteria(A::None, {{NON_REPUDIATION, true}}), signing), CriteriaMet::No);
    EXPECT_EQ(criteriaMet(keyUsageCriteria(A::None, {{0, true}}), signing), CriteriaMet::Yes);

    CriteriaList policies;
    policies.assertion = A::AtLeastOne;
    policies.policySets = {{"9.9"}, {"1.2.3"}};
    EXPECT_EQ(criteriaMet(policies, signing), CriteriaMet::Yes);
    policies.policySets = {{"9.9"}, {"1.2.3", "1.2.4"}};  // a set needs all its policies
    EXPECT_EQ(criteriaMet(policies, signing), CriteriaMet::No);

    // What cannot be judged decides where it could: not where another answer already does.
    CriteriaList unsure = keyUsageCriteria(A::All, {{NON_REPUDIATION, true}});
    unsure.unknownCriterion = true;
    EXPECT_EQ(criteriaMet(unsure, signing), CriteriaMet::Unknown);
    unsure.assertion = A::AtLeastOne;
    EXPECT_EQ(criteriaMet(unsure, signing), CriteriaMet::Yes);
    unsure = keyUsageCriteria(A::All, {{NON_REPUDIATION, false}});
    unsure.unknownCriterion = true;
    EXPECT_EQ(criteriaMet(unsure, signing), CriteriaMet::No);

    // Nested lists, and a list of no criterion at all.
    CriteriaList outer;
    outer.assertion = A::All;
    outer.nested = {keyUsageCriteria(A::All, {{NON_REPUDIATION, true}}), policies};
    EXPECT_EQ(criteriaMet(outer, signing), CriteriaMet::No);
    EXPECT_EQ(criteriaMet(CriteriaList{}, signing), CriteriaMet::Unknown);
}

ServiceState qualifiedBy(std::vector<QualificationElement> qualifications) {
    ServiceState s;
    s.qualifications = std::move(qualifications);
    return s;
}

QualificationElement forPolicy(const char* policy, std::vector<const char*> qualifiers, bool judgeable = true) {
    QualificationElement q;
    for (const char* name : qualifiers) q.qualifiers.push_back(QUALIFIER + name);
    q.criteria.assertion = CriteriaList::Assert::AtLeastOne;
    q.criteria.policySets = {{policy}};
    q.criteria.unknownCriterion = !judgeable;
    return q;
}

TEST(Qualification, FromTheCertificatesStatementsAndTheServicesQualifiers) {
    using Q = Qualification;
    CertificateFacts plain, compliance, sscd, both;
    compliance.qcCompliance = both.qcCompliance = true;
    sscd.qcSscd = both.qcSscd = true;
    const ServiceState none;
    EXPECT_EQ(qualificationOf(plain, none), Q::None);
    EXPECT_EQ(qualificationOf(compliance, none), Q::QualifiedCertificate);
    EXPECT_EQ(qualificationOf(sscd, none), Q::None) << "a device alone makes no qualified certificate";
    EXPECT_EQ(qualificationOf(both, none), Q::QualifiedSignature);

    // The service's qualifiers for the certificates of a policy.
    const ServiceState service = qualifiedBy({forPolicy("1.1", {"QCStatement", "QCWithQSCD"}),
                                              forPolicy("2.2", {"QCNoQSCD"}), forPolicy("3.3", {"NotQualified"}),
                                              forPolicy("4.4", {"QCForESeal"})});
    CertificateFacts policy1 = plain, policy2 = both, policy3 = both, policy4 = both, other = both;
    policy1.policies = {"1.1"};
    policy2.policies = {"2.2"};
    policy3.policies = {"3.3"};
    policy4.policies = {"4.4"};
    other.policies = {"5.5"};
    EXPECT_EQ(qualificationOf(policy1, service), Q::QualifiedSignature);
    EXPECT_EQ(qualificationOf(policy2, service), Q::QualifiedCertificate) << "QCNoQSCD overrides QcSSCD";
    EXPECT_EQ(qualificationOf(policy3, service), Q::None);
    EXPECT_EQ(qualificationOf(policy4, service), Q::None) << "a seal's certificate is no signature's";
    EXPECT_EQ(qualificationOf(other, service), Q::QualifiedSignature);
    CertificateFacts sscdOnly = sscd;
    sscdOnly.policies = {"1.1"};
    EXPECT_EQ(qualificationOf(sscdOnly, qualifiedBy({forPolicy("1.1", {"QCForESig"})})), Q::QualifiedSignature);

    // Criteria that cannot be judged grant nothing, and their denials hold.
    EXPECT_EQ(qualificationOf(policy1, qualifiedBy({forPolicy("9.9", {"QCStatement", "QCWithQSCD"}, false)})), Q::None);
    EXPECT_EQ(qualificationOf(both, qualifiedBy({forPolicy("9.9", {"QCNoSSCD"}, false)})), Q::QualifiedCertificate);
}

ber::Span subjectOf(const std::vector<uint8_t>& der) {
    MessageCertificate names;
    EXPECT_TRUE(readCertificateNames({der.data(), der.size()}, &names));
    return names.subject;
}

TEST(SubjectName, AsTheListWritesItMatchesTheNameWhole) {
    const std::vector<uint8_t> root = testFile("pki/ca/qc-root.der");  // C=IT, O=Sesta Certificazione, CN=Radice Prova CA
    const ber::Span name = subjectOf(root);
    EXPECT_TRUE(isSameSubjectName("CN=Radice Prova CA,O=Sesta Certificazione,C=IT", name));
    EXPECT_TRUE(isSameSubjectName("C=IT, O=Sesta Certificazione, CN=Radice Prova CA", name));
    EXPECT_TRUE(isSameSubjectName("cn=Radice Prova CA,OID.2.5.4.10=Sesta Certificazione,2.5.4.6=IT", name));
    EXPECT_FALSE(isSameSubjectName("CN=Radice Prova CA,O=Sesta Certificazione", name)) << "an attribute short";
    EXPECT_FALSE(isSameSubjectName("CN=Radice Prova CA,O=Sesta Certificazione,C=IT,OU=Altro", name));
    EXPECT_FALSE(isSameSubjectName("CN=Radice Prova CB,O=Sesta Certificazione,C=IT", name));
    EXPECT_FALSE(isSameSubjectName("CN=#0C0F52616469636520", name)) << "a value in hex is not read";
    EXPECT_FALSE(isSameSubjectName("XX=Radice Prova CA,O=Sesta Certificazione,C=IT", name));
    EXPECT_FALSE(isSameSubjectName("", name));

    // The real authority's name, whose organization holds dots and whose
    // common name a comma would split if unescaped.
    const std::vector<uint8_t> aruba = testFile("trust/real/forgery/forged-authority.der");
    EXPECT_TRUE(isSameSubjectName("CN=ArubaPEC S.p.A. NG CA 3,OU=Certification AuthorityC,O=ArubaPEC S.p.A.,C=IT",
                                  subjectOf(aruba)));
    EXPECT_FALSE(isSameSubjectName("CN=ArubaPEC S.p.A. NG CA 3\\,OU=Certification AuthorityC,O=ArubaPEC S.p.A.,C=IT",
                                   subjectOf(aruba)));
}

}  // namespace
