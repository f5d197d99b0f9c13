#include "personal_data.h"

#include <cctype>
#include <cstring>

const uint8_t fieldOfSlot[DATI_PERSONALI_SLOTS] = {5, 4, 7, 8, 1, 14, 11, 15, 6, 9, 2, 3, 10, 13, 12};

int32_t fnHexToByte(const char* text, uint8_t* value) {
    if (text == nullptr || value == nullptr) return 0x1000;
    uint8_t sum = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        const int c = std::tolower(static_cast<unsigned char>(*p));
        int digit;
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        else digit = c;
        // Horner's rule gives each digit its power of 16; uint8_t keeps it modulo 256.
        sum = static_cast<uint8_t>(sum * 16 + digit);
    }
    *value = sum;
    return 0;
}

namespace {

// Reads the record as if it were followed by zero bytes for ever.
class RecordReader {
public:
    RecordReader(const uint8_t* record, uint32_t length) : record_(record), length_(length) {}

    uint8_t at(size_t position) const {
        return position < length_ ? record_[position] : 0;
    }

    // The value of `count` hexadecimal characters from the read position on.
    uint8_t hex(size_t count) {
        char text[8] = {};
        for (size_t i = 0; i < count; ++i) text[i] = static_cast<char>(at(position_ + i));
        position_ += count;
        uint8_t value = 0;
        fnHexToByte(text, &value);
        return value;
    }

    // Copies `count` characters (at most 255) from the read position on into
    // `out`, a slot, and terminates them.
    void copy(size_t count, char* out) {
        for (size_t i = 0; i < count; ++i) out[i] = static_cast<char>(at(position_ + i));
        out[count] = '\0';
        position_ += count;
    }

    size_t position() const { return position_; }

private:
    const uint8_t* record_;
    uint32_t length_;
    size_t position_ = 0;
};

int slotOfField(int field) {
    for (int slot = 0; slot < DATI_PERSONALI_SLOTS; ++slot) {
        if (fieldOfSlot[slot] == field) return slot;
    }
    return -1;
}

}  // namespace

uint8_t fnParseDatiPersonali(const uint8_t* record, uint32_t recordLength, DatiPersonali* dati) {
    if (record == nullptr) recordLength = 0;
    RecordReader reader(record, recordLength);
    const uint8_t fullLength = static_cast<uint8_t>(reader.hex(6) + 6);
    const uint8_t firstLength = reader.hex(2);
    if (dati == nullptr) return fullLength;

    reader.copy(firstLength, dati->slots[slotOfField(1)]);
    for (int field = 2; field <= DATI_PERSONALI_SLOTS; ++field) {
        const uint8_t length = reader.hex(2);
        reader.copy(length, dati->slots[slotOfField(field)]);
    }
    dati->continued = reader.at(reader.position()) != 0 ? 1 : 0;
    return fullLength;
}
