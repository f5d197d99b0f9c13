#include "qualification_rules.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "signer_display.h"

namespace {

const std::string QUALIFIER = "http://uri.etsi.org/TrstSvc/TrustedList/SvcInfoExt/";

bool hasPolicy(const CertificateFacts& facts, const std::string& dotted) {
    return std::find(facts.policies.begin(), facts.policies.end(), dotted) != facts.policies.end();
}

// One criterion's answer: a key usage set, a policy set.
bool keyUsageMet(const std::vector<std::pair<int, bool>>& bits, const CertificateFacts& facts) {
    if (bits.empty()) return false;
    for (const auto& bit : bits) {
        const bool set = facts.hasKeyUsage && (facts.keyUsage & (1u << bit.first)) != 0;
        if (set != bit.second) return false;
    }
    return true;
}

bool policiesMet(const std::vector<std::string>& policies, const CertificateFacts& facts) {
    if (policies.empty()) return false;
    for (const std::string& p : policies) {
        if (!hasPolicy(facts, p)) return false;
    }
    return true;
}

// The qualifiers of the qualifications that pick the certificate: `granted`
// those surely picked, `possible` those that may be.
void qualifiersFor(const ServiceState& state, const CertificateFacts& facts, std::vector<std::string>* granted,
                   std::vector<std::string>* possible) {
    for (const QualificationElement& q : state.qualifications) {
        const CriteriaMet met = criteriaMet(q.criteria, facts);
        if (met == CriteriaMet::No) continue;
        for (const std::string& uri : q.qualifiers) {
            if (met == CriteriaMet::Yes) granted->push_back(uri);
            possible->push_back(uri);
        }
    }
}

bool names(const std::vector<std::string>& uris, std::initializer_list<const char*> wanted) {
    for (const std::string& uri : uris) {
        for (const char* w : wanted) {
            if (uri == QUALIFIER + w) return true;
        }
    }
    return false;
}

// The attribute types a list's subject names use, by their short names.
std::string dottedType(std::string type) {
    for (char& c : type) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    static const std::pair<const char*, const char*> TYPES[] = {
        {"CN", "2.5.4.3"},  {"SN", "2.5.4.4"},  {"SURNAME", "2.5.4.4"}, {"SERIALNUMBER", "2.5.4.5"},
        {"C", "2.5.4.6"},   {"L", "2.5.4.7"},   {"ST", "2.5.4.8"},      {"S", "2.5.4.8"},
        {"STREET", "2.5.4.9"}, {"O", "2.5.4.10"}, {"OU", "2.5.4.11"},   {"T", "2.5.4.12"},
        {"TITLE", "2.5.4.12"}, {"G", "2.5.4.42"}, {"GN", "2.5.4.42"},   {"GIVENNAME", "2.5.4.42"},
        {"DNQUALIFIER", "2.5.4.46"}, {"ORGANIZATIONIDENTIFIER", "2.5.4.97"},
        {"E", "1.2.840.113549.1.9.1"}, {"EMAILADDRESS", "1.2.840.113549.1.9.1"},
        {"DC", "0.9.2342.19200300.100.1.25"}, {"UID", "0.9.2342.19200300.100.1.1"}};
    for (const auto& t : TYPES) {
        if (type == t.first) return t.second;
    }
    if (type.compare(0, 4, "OID.") == 0) type = type.substr(4);
    if (type.empty()) return "";
    for (char c : type) {
        if (!(c == '.' || (c >= '0' && c <= '9'))) return "";
    }
    return type;
}

std::string withoutOuterSpaces(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The attributes of a written name; false when it cannot be read (a value
// in the "#hex" form, a type without a known meaning, a bad escape).
bool parseListedName(const std::string& text, std::vector<std::pair<std::string, std::string>>* out) {
    std::string type, value;
    bool inValue = false, escapedSpace = false;
    const auto finish = [&]() {
        const std::string dotted = dottedType(withoutOuterSpaces(type));
        std::string v = escapedSpace ? value : withoutOuterSpaces(value);
        if (!inValue || dotted.empty() || (!v.empty() && v[0] == '#')) return false;
        out->emplace_back(dotted, v);
        type.clear(), value.clear(), inValue = false, escapedSpace = false;
        return true;
    };
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (!inValue) {
            if (c == '=') inValue = true;
            else type += c;
        } else if (c == '\\') {
            if (i + 1 >= text.size()) return false;
            const int high = hexDigit(text[i + 1]);
            if (high >= 0 && i + 2 < text.size() && hexDigit(text[i + 2]) >= 0) {
                value += static_cast<char>(high * 16 + hexDigit(text[i + 2]));
                i += 2;
            } else {
                value += text[++i];
                escapedSpace = escapedSpace || text[i] == ' ';
            }
        } else if (c == ',' || c == '+' || c == ';') {
            if (!finish()) return false;
        } else {
            value += c;
        }
    }
    return finish();
}

}  // namespace

CriteriaMet criteriaMet(const CriteriaList& criteria, const CertificateFacts& facts) {
    std::vector<CriteriaMet> answers;
    for (const auto& bits : criteria.keyUsages) answers.push_back(keyUsageMet(bits, facts) ? CriteriaMet::Yes : CriteriaMet::No);
    for (const auto& set : criteria.policySets) answers.push_back(policiesMet(set, facts) ? CriteriaMet::Yes : CriteriaMet::No);
    for (const CriteriaList& inner : criteria.nested) answers.push_back(criteriaMet(inner, facts));
    if (criteria.unknownCriterion) answers.push_back(CriteriaMet::Unknown);
    if (answers.empty()) return CriteriaMet::Unknown;  // a list that names no criterion picks nothing surely
    const auto count = [&answers](CriteriaMet m) { return std::count(answers.begin(), answers.end(), m); };
    switch (criteria.assertion) {
    case CriteriaList::Assert::All:
        return count(CriteriaMet::No) ? CriteriaMet::No : count(CriteriaMet::Unknown) ? CriteriaMet::Unknown : CriteriaMet::Yes;
    case CriteriaList::Assert::AtLeastOne:
        return count(CriteriaMet::Yes) ? CriteriaMet::Yes : count(CriteriaMet::Unknown) ? CriteriaMet::Unknown : CriteriaMet::No;
    case CriteriaList::Assert::None:
        return count(CriteriaMet::Yes) ? CriteriaMet::No : count(CriteriaMet::Unknown) ? CriteriaMet::Unknown : CriteriaMet::Yes;
    }
    return CriteriaMet::Unknown;
}

Qualification qualificationOf(const CertificateFacts& facts, const ServiceState& state) {
    std::vector<std::string> granted, possible;
    qualifiersFor(state, facts, &granted, &possible);
    const bool forSignatures = names(granted, {"QCForESig"});
    const bool qualified = (facts.qcCompliance || names(granted, {"QCStatement", "QCForESig"})) &&
                           !names(possible, {"NotQualified"}) &&
                           (forSignatures || !names(possible, {"QCForESeal", "QCForWSA"}));
    if (!qualified) return Qualification::None;
    const bool onDevice = (facts.qcSscd || names(granted, {"QCWithSSCD", "QCWithQSCD", "QCQSCDManagedOnBehalf"})) &&
                          !names(possible, {"QCNoSSCD", "QCNoQSCD"});
    return onDevice ? Qualification::QualifiedSignature : Qualification::QualifiedCertificate;
}

bool isSameSubjectName(const std::string& listed, ber::Span name) {
    std::vector<std::pair<std::string, std::string>> written, held;
    if (!parseListedName(listed, &written) || !nameAttributesOf(name, &held)) return false;
    std::sort(written.begin(), written.end());
    std::sort(held.begin(), held.end());
    return !written.empty() && written == held;
}
