// How the verification program shows a signer and the file: the texts and
// icons of the signers list and the summary line, and the name taken from a
// CIE's personal-data record.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "ber.h"
#include "signer_status.h"

// The name column: the name when it is longer than 5 characters, otherwise
// "Firma con carta firma". A counter-signer's name (depth 1 and more) has
// "» " in front once per level, under its parent's row.
std::string signerNameText(const char* name, int depth = 0);

// The icon of the state: 0 green (all well, with or without a time-stamp
// that counts), 1 red (signature not valid), 2 yellow (any other finding).
int statusIcon(SignerStatus status);

// The state column, with `expiryDate` as the signer's expiry text and, for
// a signer that is NOT_VERIFIABLE, `algorithm` as the name of its algorithms
// (signatureAlgorithmName). A certificate that the trusted list makes
// qualified adds ";Firma qualificata" or ";Certificato qualificato" after
// the date, when nothing else is found. A time-stamp adds ";Marca temporale
// <timestamp>" when it counts (";Marca temporale qualificata <timestamp>"
// for a qualified one), else what failed. A counter-signer's state (depth 1
// and more) ends in ";Controfirma".
std::string statusText(SignerStatus status, const char* expiryDate, const std::string& algorithm = std::string(),
                       int depth = 0, const std::string& timestamp = std::string(),
                       Qualification qualification = Qualification::None, bool qualifiedTimestamp = false);

// "Firma qualificata", "Certificato qualificato", or empty.
std::string qualificationText(Qualification qualification);

struct SignedFileRecord;
// The state column of a loaded file's signer `g`, from the record.
std::string signerStateText(const SignedFileRecord& record, int g);

// The line above the list.
std::string summaryLine(bool loaded, int signerCount);

// The line above the list of a file none of whose signers could be checked,
// with the first one's algorithms: the file is neither valid nor corrupt.
std::string notVerifiableLine(const std::string& algorithm);

// "dd/mm/yyyy".
std::string expiryDateText(int day, int month, int year);

// "dd/mm/yyyy hh:mm": a signing time as the list and the report show it.
std::string signingTimeText(int day, int month, int year, int hour, int minute);

// The three fields of a card's personal-data record that name a signer.
struct PersonalDataName {
    std::string surname, givenName, fiscalCode;
    std::string joined() const { return surname + "/" + givenName + "/" + fiscalCode; }
};

// The name of a personal-data attribute value (an X.509 GeneralNames whose
// first entry is an rfc822Name holding the card's record, of which the first
// 255 characters count). False when the value is not of that kind.
bool readPersonalDataName(ber::Span value, PersonalDataName* name);

// True when the name is the one of the certificate whose subject Name is
// `subject`: its surname and given-name attributes equal the name's, without
// regard to case, and its fiscal code is the subject's, either in the
// serialNumber attribute (bare, or after "IT:" or "TINIT-") or at the start
// of the common name, followed by its end or "/". A record that nothing
// signed names somebody only when it agrees with a certificate that was.
bool isSubjectsOwnName(const PersonalDataName& name, ber::Span subject);

// The fiscal code a certificate's subject Name carries: its serialNumber
// attribute without an "IT:" or "TINIT-" in front (in any case); empty when
// there is none.
std::string fiscalCodeOf(ber::Span subject);

// The names a certificate's subject Name gives, as UTF-8 from their own
// string types (UTF8String, PrintableString, IA5String, TeletexString as
// Latin-1, BMPString, UniversalString); empty when it gives none.
struct SubjectNames {
    std::string commonName, surname, givenName;
};
SubjectNames subjectNamesOf(ber::Span subject);

// Every attribute of a Name, in order, as its dotted type and its value as
// UTF-8 (directory strings as above, other values as their bytes); false
// when the bytes are no Name.
bool nameAttributesOf(ber::Span name, std::vector<std::pair<std::string, std::string>>* attributes);
