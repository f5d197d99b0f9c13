#include "signer_display.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "personal_data.h"

std::string signerNameText(const char* name) {
    return std::strlen(name) > 5 ? std::string(name) : std::string("Firma con carta firma");
}

int statusIcon(SignerStatus status) {
    if (status == 0) return 0;
    if (status & SIGNATURE_INVALID) return 1;
    return 2;
}

std::string statusText(SignerStatus status, const char* expiryDate) {
    if (status == 0) return expiryDate;
    if (status & SIGNATURE_INVALID) return "Firma non valida";
    std::string text = (status & EXPIRED)         ? "Scaduto"
                       : (status & NOT_YET_VALID) ? "Non ancora valido"
                                                  : expiryDate;
    if (status & CA_NOT_ACCEPTED) text += ";CA non ammessa";
    return text;
}

std::string summaryLine(bool loaded, int signerCount) {
    if (!loaded) return "File Corrotto o Firma non valida";
    char line[128];
    std::snprintf(line, sizeof line,
                  signerCount == 1 ? "File non Corrotto; Il file risulta firmato %d volta"
                                   : "File non Corrotto; Il file risulta firmato %d volte",
                  signerCount);
    return line;
}

std::string expiryDateText(int day, int month, int year) {
    char text[32];
    std::snprintf(text, sizeof text, "%02d/%02d/%d", day, month, year);
    return text;
}

bool personalDataName(ber::Span value, char* slot, size_t slotSize) {
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
    std::snprintf(slot, slotSize, "%s/%s/%s", dati->slots[SLOT_SURNAME], dati->slots[SLOT_NAME],
                  dati->slots[SLOT_FISCAL_CODE]);
    return true;
}
