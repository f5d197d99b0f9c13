// The state of one signer of a SignedFile, as bits of one 32-bit word.
#pragma once

#include <cstdint>

using SignerStatus = uint32_t;

constexpr SignerStatus SIGNATURE_INVALID = 0x1;  // the signature did not verify
constexpr SignerStatus NOT_YET_VALID = 0x2;      // before the certificate's start of validity
constexpr SignerStatus EXPIRED = 0x4;            // at or after its end of validity
// Its algorithm is one that neither the engine nor the platform verifies: the
// signature is neither valid nor broken.
constexpr SignerStatus NOT_VERIFIABLE = 0x8;
// A time-stamp token proves when the signature existed; the certificate's
// validity is judged at that time. Alone, it is no finding.
constexpr SignerStatus TIMESTAMPED = 0x20;
constexpr SignerStatus TIMESTAMP_FAILED = 0x40;        // the signer's token fails a check
constexpr SignerStatus TIMESTAMP_NOT_ACCEPTED = 0x80;  // a sound token of an authority not accepted
// A counter-signature that verifies over a parent signature that did not
// (broken or not verifiable): it proves only that its signer signed those
// bytes, whatever they are, so it is never a valid counter-signature.
constexpr SignerStatus PARENT_NOT_VERIFIED = 0x100;
// Beside SIGNATURE_INVALID, why nothing of the signer could be checked: its
// certificate is one the platform cannot decode, or the counter-signature
// value is no SignerInfo at all.
constexpr SignerStatus CERTIFICATE_UNREADABLE = 0x200;
constexpr SignerStatus COUNTER_SIGNATURE_UNREADABLE = 0x400;
// A certificate issued for something else than signing documents: its key
// usage has neither digitalSignature nor nonRepudiation, or its extended key
// usage names only other purposes (certificateUseOf).
constexpr SignerStatus KEY_USAGE_NOT_SIGNING = 0x800;
constexpr SignerStatus EXTENDED_USE_NOT_SIGNING = 0x1000;
constexpr SignerStatus CA_NOT_ACCEPTED = 0x10000;  // not issued by an accepted authority
// No built-in authority issued it, and the trusted list is past its next
// update at the time that counts: that list proves neither way.
constexpr SignerStatus LIST_OUTDATED = 0x20000;

// What a certificate vouched for by the trusted list is: a qualified
// certificate, whose key also sits on a qualified device (a qualified
// electronic signature), or neither.
enum class Qualification : uint8_t { None, QualifiedCertificate, QualifiedSignature };
