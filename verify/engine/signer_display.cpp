#include "signer_display.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "message_format.h"
#include "personal_data.h"
#include "quillcheck_messages.h"
#include "signed_file_record.h"

std::string signerNameText(const char* name, int depth) {
    std::string text;
    for (int level = 0; level < depth; ++level) text += "\xBB ";  // "» " in the ANSI code page
    return text + (std::strlen(name) > 5 ? std::string(name) : std::string(quillcheck_messages::NAME_NOT_READABLE));
}

int statusIcon(SignerStatus status) {
    if ((status & ~TIMESTAMPED) == 0) return 0;
    if (status & SIGNATURE_INVALID) return 1;
    return 2;
}

std::string qualificationText(Qualification qualification) {
    switch (qualification) {
    case Qualification::QualifiedSignature: return quillcheck_messages::STATE_QUALIFIED_SIGNATURE + 1;
    case Qualification::QualifiedCertificate: return quillcheck_messages::STATE_QUALIFIED_CERTIFICATE + 1;
    case Qualification::None: break;
    }
    return "";
}

std::string statusText(SignerStatus status, const char* expiryDate, const std::string& algorithm, int depth,
                       const std::string& timestamp, Qualification qualification, bool qualifiedTimestamp) {
    const std::string counterSignature = depth > 0 ? quillcheck_messages::STATE_COUNTER_SIGNATURE : "";
    if (status & SIGNATURE_INVALID) {
        const char* why = (status & COUNTER_SIGNATURE_UNREADABLE) ? quillcheck_messages::STATE_COUNTER_SIGNATURE_UNREADABLE
                          : (status & CERTIFICATE_UNREADABLE)     ? quillcheck_messages::STATE_CERTIFICATE_UNREADABLE
                                                                  : "";
        return quillcheck_messages::STATE_SIGNATURE_INVALID + std::string(why) + counterSignature;
    }
    const std::string stamp = (status & TIMESTAMPED)
                                  ? formatMessage(qualifiedTimestamp ? quillcheck_messages::STATE_TIMESTAMPED_QUALIFIED
                                                                     : quillcheck_messages::STATE_TIMESTAMPED,
                                                  timestamp.c_str())
                              : (status & TIMESTAMP_NOT_ACCEPTED) ? quillcheck_messages::STATE_TIMESTAMP_NOT_ACCEPTED
                              : (status & TIMESTAMP_FAILED)       ? quillcheck_messages::STATE_TIMESTAMP_FAILED
                                                                  : "";
    status &= ~(TIMESTAMPED | TIMESTAMP_NOT_ACCEPTED | TIMESTAMP_FAILED);
    if (status == 0) {
        const std::string qualified = qualificationText(qualification);
        return expiryDate + (qualified.empty() ? "" : ";" + qualified) + stamp + counterSignature;
    }
    std::string text = (status & NOT_VERIFIABLE) ? formatMessage(quillcheck_messages::STATE_NOT_VERIFIABLE, algorithm.c_str())
                       : (status & EXPIRED)       ? quillcheck_messages::STATE_EXPIRED
                       : (status & NOT_YET_VALID) ? quillcheck_messages::STATE_NOT_YET_VALID
                                                  : expiryDate;
    if (status & CA_NOT_ACCEPTED) text += quillcheck_messages::STATE_CA_NOT_ACCEPTED;
    if (status & LIST_OUTDATED) text += quillcheck_messages::STATE_LIST_OUTDATED;
    if (status & KEY_USAGE_NOT_SIGNING) text += quillcheck_messages::STATE_KEY_USAGE_NOT_SIGNING;
    if (status & EXTENDED_USE_NOT_SIGNING) text += quillcheck_messages::STATE_EXTENDED_USE_NOT_SIGNING;
    if (status & PARENT_NOT_VERIFIED) text += quillcheck_messages::STATE_PARENT_NOT_VERIFIED;
    return text + stamp + counterSignature;
}

std::string signerStateText(const SignedFileRecord& record, int g) {
    return statusText(record.signerStatus[g], record.expiryDates[g], record.unverifiedAlgorithms[g],
                      record.signerDepths[g], record.timestampTimes[g], record.qualifications[g],
                      record.qualifiedTimestamps[g]);
}

std::string summaryLine(bool loaded, int signerCount) {
    if (!loaded) return quillcheck_messages::FILE_DAMAGED;
    return formatMessage(signerCount == 1 ? quillcheck_messages::SIGNED_ONCE : quillcheck_messages::SIGNED_TIMES, signerCount);
}

std::string notVerifiableLine(const std::string& algorithm) {
    return formatMessage(quillcheck_messages::NO_SIGNATURE_VERIFIABLE, algorithm.c_str());
}

std::string expiryDateText(int day, int month, int year) {
    char text[32];
    std::snprintf(text, sizeof text, "%02d/%02d/%d", day, month, year);
    return text;
}

std::string signingTimeText(int day, int month, int year, int hour, int minute) {
    char text[48];
    std::snprintf(text, sizeof text, "%02d/%02d/%d %02d:%02d", day, month, year, hour, minute);
    return text;
}

bool readPersonalDataName(ber::Span value, PersonalDataName* name) {
    // GeneralNames ::= SEQUENCE OF GeneralName; rfc822Name is [1] IA5String.
    ber::Element names, first;
    if (!ber::read(value, &names) || names.tag != ber::SEQUENCE) return false;
    ber::Reader reader(names);
    if (!reader.next(&first) || first.tag != 0x81) return false;

    // The alternative-name text holds at most 255 characters.
    const size_t length = first.content.size < 255 ? first.content.size : 255;
    auto dati = std::make_unique<DatiPersonali>();
    std::memset(dati.get(), 0, sizeof(DatiPersonali));
    fnParseDatiPersonali(first.content.data, static_cast<uint32_t>(length), dati.get());
    *name = {dati->slots[SLOT_SURNAME], dati->slots[SLOT_NAME], dati->slots[SLOT_FISCAL_CODE]};
    return true;
}

namespace {

const std::vector<uint8_t> SURNAME = ber::oidFromText("2.5.4.4");
const std::vector<uint8_t> GIVEN_NAME = ber::oidFromText("2.5.4.42");
const std::vector<uint8_t> SERIAL_NUMBER = ber::oidFromText("2.5.4.5");
const std::vector<uint8_t> COMMON_NAME = ber::oidFromText("2.5.4.3");

// The value element of the first attribute of `type` in a Name (SEQUENCE OF
// SET OF SEQUENCE { type, value }); false when there is none.
bool findNameAttribute(ber::Span name, const std::vector<uint8_t>& type, ber::Element* value) {
    ber::Element sequence, rdn, attribute, oid;
    if (!ber::read(name, &sequence) || sequence.tag != ber::SEQUENCE) return false;
    ber::Reader rdns(sequence);
    while (rdns.next(ber::SET, &rdn)) {
        ber::Reader attributes(rdn);
        while (attributes.next(ber::SEQUENCE, &attribute)) {
            ber::Reader inside(attribute);
            if (inside.next(ber::OID, &oid) && ber::isOid(oid, type) && inside.next(value)) return true;
        }
    }
    return false;
}

// That attribute's value as its bytes; false when there is none.
bool nameAttribute(ber::Span name, const std::vector<uint8_t>& type, std::string* value) {
    ber::Element text;
    if (!findNameAttribute(name, type, &text)) return false;
    value->assign(reinterpret_cast<const char*>(text.content.data), text.content.size);
    return true;
}

// An attribute value of a directory string type as UTF-8.
std::string directoryStringAsUtf8(const ber::Element& text) {
    const uint8_t* bytes = text.content.data;
    const size_t size = text.content.size;
    std::string out;
    const auto append = [&out](uint32_t c) { appendUtf8(c, &out); };
    switch (text.tag) {
    case 0x1E:  // BMPString: UTF-16 big-endian (pairs of surrogates joined)
        for (size_t i = 0; i + 1 < size; i += 2) {
            uint32_t c = (bytes[i] << 8) | bytes[i + 1];
            if (c >= 0xD800 && c < 0xDC00 && i + 3 < size) {
                const uint32_t low = (bytes[i + 2] << 8) | bytes[i + 3];
                if (low >= 0xDC00 && low < 0xE000) {
                    c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                    i += 2;
                }
            }
            append(c);
        }
        return out;
    case 0x1C:  // UniversalString: UCS-4 big-endian
        for (size_t i = 0; i + 3 < size; i += 4) {
            append((static_cast<uint32_t>(bytes[i]) << 24) | (bytes[i + 1] << 16) | (bytes[i + 2] << 8) | bytes[i + 3]);
        }
        return out;
    case 0x14:  // TeletexString, which certificates fill with Latin-1
        for (size_t i = 0; i < size; ++i) append(bytes[i]);
        return out;
    default:  // UTF8String, PrintableString, IA5String: as they are
        return std::string(reinterpret_cast<const char*>(bytes), size);
    }
}

// The first attribute of `type` in a Name as UTF-8; empty when there is none.
std::string nameAttributeText(ber::Span name, const std::vector<uint8_t>& type) {
    ber::Element text;
    return findNameAttribute(name, type, &text) ? directoryStringAsUtf8(text) : std::string();
}

bool sameIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

bool holdsFiscalCode(ber::Span subject, const std::string& code) {
    if (code.empty()) return false;
    std::string serialNumber, commonName;
    if (nameAttribute(subject, SERIAL_NUMBER, &serialNumber)) {
        for (const char* prefix : {"", "IT:", "TINIT-"}) {
            if (sameIgnoringCase(serialNumber, prefix + code)) return true;
        }
    }
    return nameAttribute(subject, COMMON_NAME, &commonName) && sameIgnoringCase(commonName.substr(0, code.size()), code) &&
           (commonName.size() == code.size() || commonName[code.size()] == '/');
}

}  // namespace

bool isSubjectsOwnName(const PersonalDataName& name, ber::Span subject) {
    std::string surname, givenName;
    return nameAttribute(subject, SURNAME, &surname) && sameIgnoringCase(surname, name.surname) &&
           nameAttribute(subject, GIVEN_NAME, &givenName) && sameIgnoringCase(givenName, name.givenName) &&
           holdsFiscalCode(subject, name.fiscalCode);
}

std::string fiscalCodeOf(ber::Span subject) {
    std::string serialNumber;
    if (!nameAttribute(subject, SERIAL_NUMBER, &serialNumber)) return std::string();
    for (const std::string prefix : {"IT:", "TINIT-"}) {
        if (serialNumber.size() > prefix.size() && sameIgnoringCase(serialNumber.substr(0, prefix.size()), prefix)) {
            return serialNumber.substr(prefix.size());
        }
    }
    return serialNumber;
}

SubjectNames subjectNamesOf(ber::Span subject) {
    return {nameAttributeText(subject, COMMON_NAME), nameAttributeText(subject, SURNAME),
            nameAttributeText(subject, GIVEN_NAME)};
}

bool nameAttributesOf(ber::Span name, std::vector<std::pair<std::string, std::string>>* attributes) {
    attributes->clear();
    ber::Element sequence, rdn, attribute, oid, value;
    if (!ber::read(name, &sequence) || sequence.tag != ber::SEQUENCE) return false;
    ber::Reader rdns(sequence);
    while (!rdns.atEnd()) {
        if (!rdns.next(ber::SET, &rdn)) return false;
        ber::Reader each(rdn);
        while (!each.atEnd()) {
            if (!each.next(ber::SEQUENCE, &attribute)) return false;
            ber::Reader inside(attribute);
            if (!inside.next(ber::OID, &oid) || !inside.next(&value)) return false;
            attributes->emplace_back(ber::oidText(oid), directoryStringAsUtf8(value));
        }
    }
    return true;
}
