// What the trusted list makes of a certificate of one of its services: which
// qualifications pick it, whether it is qualified and on a qualified device,
// and whether a service named only by subject and key identifier is the one
// that issued it. Platform-free.
#pragma once

#include <string>

#include "ber.h"
#include "certificate_facts.h"
#include "signer_status.h"
#include "trusted_list.h"

enum class CriteriaMet { Yes, No, Unknown };

// Whether the certificate meets the criteria: Unknown where a criterion that
// cannot be judged could decide it.
CriteriaMet criteriaMet(const CriteriaList& criteria, const CertificateFacts& facts);

// A certificate of a signature service in `state`:
//   - qualified when it says so (QcCompliance) or a qualification that picks it
//     does (QCStatement, QCForESig), unless one says NotQualified or that it is
//     for seals or web sites only;
//   - on a qualified device when it says so (QcSSCD) or a qualification does
//     (QCWithSSCD, QCWithQSCD, QCQSCDManagedOnBehalf), unless one says QCNoSSCD
//     or QCNoQSCD.
// A qualification whose criteria cannot be judged grants nothing, but its
// denials hold.
Qualification qualificationOf(const CertificateFacts& facts, const ServiceState& state);

// Whether a subject name as a list writes it ("CN=...,O=...,C=IT", RFC 4514
// escapes, any order) names exactly the attributes of the DER Name `name`.
bool isSameSubjectName(const std::string& listed, ber::Span name);
