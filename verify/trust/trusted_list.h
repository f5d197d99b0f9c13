// What a trusted list says: its scheme information, its providers and their
// services with their status history, and (in the European list of lists)
// the pointers to the national lists. Read from a parsed document; whether
// the list is believed is the acceptance gate's. Platform-free.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "list_values.h"
#include "xml_document.h"

constexpr char TSL_NAMESPACE[] = "http://uri.etsi.org/02231/v2#";

// Which certificates of a service a qualification speaks of: its criteria,
// all, at least one or none of which they must meet. A criterion is a set
// of key usage bits (each set or clear as named), a set of policies (all
// present), or a criteria list nested inside.
struct CriteriaList {
    enum class Assert { All, AtLeastOne, None };
    Assert assertion = Assert::All;
    std::vector<std::vector<std::pair<int, bool>>> keyUsages;  // (keyUsageBit, set)
    std::vector<std::vector<std::string>> policySets;          // dotted identifiers
    std::vector<CriteriaList> nested;
    // A criterion this code cannot judge (another kind of criterion, an
    // unknown bit name or policy form): whether it is met is not known.
    bool unknownCriterion = false;
};

// One QualificationElement: qualifier URIs for the certificates its criteria pick.
struct QualificationElement {
    std::vector<std::string> qualifiers;
    CriteriaList criteria;
};

// A service's type, status and extensions from a starting time on.
struct ServiceState {
    std::string type;    // ServiceTypeIdentifier, e.g. .../Svctype/CA/QC
    std::string status;  // ServiceStatus, e.g. .../Svcstatus/granted
    UtcSeconds since = 0;
    std::vector<std::string> additionalInformation;  // AdditionalServiceInformation URIs
    std::vector<QualificationElement> qualifications;  // the Qualifications extension
};

struct TrustService {
    std::string name;
    std::vector<std::vector<uint8_t>> certificates;  // DER
    std::vector<std::string> subjectNames;  // X509SubjectName, as the list writes it
    std::vector<std::vector<uint8_t>> keyIdentifiers;  // X509SKI
    ServiceState current;
    std::vector<ServiceState> history;  // newest first, as lists give it
};

struct TrustServiceProvider {
    std::string name;
    std::vector<TrustService> services;
};

// A pointer of a list of lists to another list.
struct OtherListPointer {
    std::string location;  // TSLLocation
    std::string territory;
    std::string mimeType;
    std::vector<std::vector<uint8_t>> signers;  // the certificates that may sign it (DER)
};

struct TrustedList {
    uint64_t sequenceNumber = 0;
    std::string territory;
    std::string issuer;  // SchemeOperatorName
    UtcSeconds issued = 0;
    UtcSeconds nextUpdate = 0;
    bool closed = false;  // no next update: the scheme has ended
    std::vector<TrustServiceProvider> providers;
    std::vector<OtherListPointer> pointers;
};

// The short name of a type URI, its part after "/Svctype/" (".../Svctype/CA/QC"
// gives "CA/QC"), and of a status URI, its last part (".../Svcstatus/granted").
std::string serviceTypeName(const std::string& uri);
std::string statusName(const std::string& uri);

// Reads the list of `document`; empty with `out` filled, else why it is not
// a list: its root must be TrustServiceStatusList, its sequence number a
// positive integer, its dates xsd:dateTime with a zone, its URIs absolute,
// its certificates base64, every service must have a type, a status and a
// starting time. Names are the Italian ones where given, else English, else
// the first. Elements this code does not know are passed over.
std::string readTrustedList(const XmlDocument& document, TrustedList* out);

// Why `list` may not follow `known`, the list believed before it (null when
// none): a lower sequence number (a replayed older list), or an issue later
// than `now`; empty when it may.
std::string listSuccessionRefusal(const TrustedList& list, const TrustedList* known, UtcSeconds now);

// 1 July 2016, 00:00 UTC: from then on only "granted" is a positive status of
// a qualified service; before, "undersupervision", "accredited" and
// "supervisionincessation" were.
constexpr UtcSeconds QUALIFIED_STATUS_CHANGE = 1467331200;

// The state a service was in at `time`: its current one, or the history
// instance with the latest starting time not after `time`; null when the
// service was not yet listed then.
const ServiceState* serviceStateAt(const TrustService& service, UtcSeconds time);

enum class TrustedRole {
    SignatureAuthority,  // issues the certificates of signers (CA/QC)
    TimeStamping         // signs or issues the certificates of time-stamp tokens
};

// Whether a service in `state` at `time` makes its certificates trusted for
// `role`: its type is the role's (CA/QC; from 1 July 2016 TSA/QTST, before
// also TSA, TSA/TSS-QC and TSA/TSS-AdESQCandQES) and its status a positive
// one at that time; a signature authority must also serve signatures (its
// additional information names ForeSignatures, or names no use at all).
bool isTrustedFor(TrustedRole role, const ServiceState& state, UtcSeconds time);
