// libFuzzer target: any bytes as a personal-data record, and as hexadecimal
// text. The parser must stay inside the record and leave every slot
// terminated.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "personal_data.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto dati = std::make_unique<DatiPersonali>();
    std::memset(dati.get(), 0, sizeof(DatiPersonali));
    const uint8_t length = fnParseDatiPersonali(data, static_cast<uint32_t>(size), dati.get());
    if (fnParseDatiPersonali(data, static_cast<uint32_t>(size), nullptr) != length) std::abort();
    for (const auto& slot : dati->slots) {
        if (std::memchr(slot, '\0', sizeof slot) == nullptr) std::abort();
    }
    if (dati->continued > 1) std::abort();

    std::unique_ptr<char[]> text(new char[size + 1]);
    std::memcpy(text.get(), data, size);
    text[size] = '\0';
    uint8_t value = 0;
    if (fnHexToByte(text.get(), &value) != 0) std::abort();
    return 0;
}
