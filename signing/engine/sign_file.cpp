#include "sign_file.h"

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "Cie_MetaCmd.h"
#include "cie_signer.h"
#include "dialog.h"
#include "file_io.h"
#include "message_box.h"
#include "personal_data.h"
#include "pin_source.h"
#include "pkcs11_signer.h"
#include "quillet_messages.h"
#include "result_codes.h"
#include "signing_log.h"

namespace {

constexpr uint32_t RECORD_CAPACITY = 2048;
// The second pass gets this much room beyond the length the first reported.
constexpr uint32_t SIGNED_FILE_SLACK = 4096;

// The middleware connection of one call: closed exactly once, either where
// the steps close it or, on any other way out, when this goes away.
class CieConnection {
public:
    ~CieConnection() { close(); }
    DWORD open() {
        const DWORD code = CIE_Connect(nullptr);
        open_ = code == 0;
        return code;
    }
    void close() {
        if (open_) CIE_Disconnect();
        open_ = false;
    }
private:
    bool open_ = false;
};

void warn(const char* message) {
    showMessageBox(GetDesktopWindow(), message, "", MB_ICONEXCLAMATION | MB_OK);
}

void error(const char* message) {
    showMessageBox(GetDesktopWindow(), message, "Errore", MB_ICONERROR | MB_OK);
}

// The PIN for the first file of a batch; 0 when a PIN was given.
int askPinForFirstFile(int batchIndex) {
    if (batchIndex != 0) return 0;
    const int result = askForPin();
    restoreWaitCursor();
    return result;
}

void logOtherCard(const uint8_t* atr, uint8_t length) {
    fnLogMessage("non una cie\nATR= ");
    for (uint8_t i = 0; i < length; ++i) fnLogMessage(" 0x%02X ", atr[i]);
    fnLogMessage("\n");
}

int32_t signWithCie(CieConnection& connection, SignatureForm form, const char* inputPath,
                    const char* outputPath, int batchIndex) {
    FileContent content;
    const ReadResult read = readFileContent(inputPath, &content);
    if (read == ReadResult::NotOpenable) return SIGN_ERR_GENERIC;
    // A file that cannot be held in memory fails as exhausted memory does.
    if (read == ReadResult::TooLarge) throw std::bad_alloc();

    // A read that fails leaves the buffer zero: every field is then empty.
    std::unique_ptr<uint8_t[]> record(new uint8_t[RECORD_CAPACITY]());
    DWORD recordLength = RECORD_CAPACITY;
    CIE_ReadDatiPersonaliRaw(record.get(), &recordLength);
    if (recordLength > RECORD_CAPACITY) recordLength = RECORD_CAPACITY;
    DatiPersonali dati;
    std::memset(&dati, 0, sizeof dati);
    const uint8_t fullLength = fnParseDatiPersonali(record.get(), recordLength, &dati);
    record[fullLength] = 0;

    if (std::strcmp(dati.slots[SLOT_MUNICIPALITY], REQUIRED_MUNICIPALITY) != 0) {
        warn(quillet_messages::CIE_OF_ANOTHER_MUNICIPALITY);
        return SIGN_ERR_GENERIC;
    }
    const int prompt = askPinForFirstFile(batchIndex);
    if (prompt != 0) return prompt;

    const PinSlot& pin = pinSlot();
    uint32_t length = 0;
    int32_t result = fnSignBufferCie(form, pin.text, pin.length, content.data.get(), content.size,
                                     record.get(), fullLength, nullptr, &length);
    if (result != 0) {
        error(quillet_messages::CIE_SIGNING_FAILED);
        return result;
    }
    // The room is worked out in 64 bits: in 32 bits it wraps for a SignedFile
    // within the slack of 4 GiB, and the second pass would write past a small block.
    const uint64_t room = uint64_t{length} + SIGNED_FILE_SLACK;
    if (room > SIZE_MAX) throw std::bad_alloc();
    std::unique_ptr<uint8_t[]> signedFile(new uint8_t[static_cast<size_t>(room)]);
    result = fnSignBufferCie(form, pin.text, pin.length, content.data.get(), content.size, record.get(),
                             fullLength, signedFile.get(), &length);
    content = FileContent();
    if (result != 0) {
        error(quillet_messages::CIE_SIGNED_FILE_FAILED);
        return result;
    }
    connection.close();
    if (writeFileContent(outputPath, signedFile.get(), length) != 0) return SIGN_ERR_GENERIC;
    return SIGN_OK;
}

int32_t signFile(SignatureForm form, const char* inputPath, const char* outputPath, int batchIndex) {
    if (!canOpenForReading(inputPath)) return SIGN_ERR_GENERIC;

    CieConnection connection;
    DWORD code = connection.open();
    if (code != 0) {
        warn(quillet_messages::READER_CONNECTION_FAILED);
        return static_cast<int32_t>(code);
    }
    uint8_t atr[256];
    uint8_t atrLength = 255;
    code = CIE_Read_ATR(atr, &atrLength);
    if (code != 0) {
        connection.close();
        warn(quillet_messages::CARD_NOT_READ);
        return static_cast<int32_t>(code);
    }
    if (isCieAtr(atr, atrLength)) return signWithCie(connection, form, inputPath, outputPath, batchIndex);

    // Any other card goes through its PKCS#11 module, never with both open.
    logOtherCard(atr, atrLength);
    connection.close();
    const int prompt = askPinForFirstFile(batchIndex);
    if (prompt != 0) return prompt;
    return fnSignFilePkcs11(form, inputPath, outputPath, batchIndex, pinSlot().text);
}

}  // namespace

bool isCieAtr(const uint8_t* atr, uint32_t length) {
    if (length > sizeof CIE_ATR_REFERENCE) return false;
    return std::memcmp(atr, CIE_ATR_REFERENCE, length) == 0;
}

int32_t fnSignFile(const char* inputPath, const char* outputPath, int batchIndex) {
    return fnSignFile(configuredSignatureForm(), inputPath, outputPath, batchIndex);
}

int32_t fnSignFile(SignatureForm form, const char* inputPath, const char* outputPath, int batchIndex) {
    const WaitCursor waitCursor;
    try {
        return signFile(form, inputPath, outputPath, batchIndex);
    } catch (...) {
        showMessageBox(nullptr, quillet_messages::SIGNING_FAULT, "Error",
                       MB_ICONERROR | MB_OK | MB_SETFOREGROUND);
        return SIGN_ERR_GENERIC;
    }
}
