// What the trust rules need to know of a certificate, read from its DER with
// the project's own BER reader: its key usage, its policies, its QC
// statements, its key identifiers and its OCSP responder. Platform-free.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ber.h"

struct CertificateFacts {
    bool hasKeyUsage = false;
    uint16_t keyUsage = 0;  // bit n of the KeyUsage BIT STRING in bit n (digitalSignature is 0)
    std::vector<std::string> policies;  // dotted policy identifiers
    bool qcCompliance = false;  // QC statement "issued as a qualified certificate"
    bool qcSscd = false;        // QC statement "the private key sits on a qualified device"
    std::vector<uint8_t> subjectKeyId, authorityKeyId;  // empty when absent
    bool isCa = false;  // basic constraints say it is an authority
    // The first OCSP responder its authority information access names by an
    // http:// address (scheme in any case); empty when none.
    std::string ocspAddress;
};

// Whether the certificate may issue others: an authority by its basic
// constraints, and with keyCertSign where it names its key's usage.
inline bool mayIssueCertificates(const CertificateFacts& facts) {
    return facts.isCa && (!facts.hasKeyUsage || (facts.keyUsage & (1u << 5)) != 0);
}

// The facts of a DER certificate; false when it is not one.
bool readCertificateFacts(ber::Span certificate, CertificateFacts* out);

// The number of the named KeyUsage bit ("digitalSignature" 0 to
// "decipherOnly" 8), -1 for a name it is not.
int keyUsageBit(const std::string& name);
