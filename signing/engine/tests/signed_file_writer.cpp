// Writes SignedFiles into the folder named on the command line, for
// scripts/check-signed-files to verify with OpenSSL: the encoder with test
// cards' keys for many content and record sizes, and both signing back-ends on
// the simulated cards. Beside each <name>.p7m it writes the content as
// <name>.content and the personal-data record as <name>.record; manifest.txt
// lists the names.
#include <cstdio>
#include <exception>
#include <stdexcept>
#include <string>

#include <windows.h>

#include "Cie_MetaCmd.h"
#include "cie_signer.h"
#include "message_box_recorder.h"
#include "pkcs11_signer.h"
#include "signed_file_oracle.h"
#include "simulated_card.h"
#include "test_card_key.h"

namespace {

using oracle::pattern;

// A personal-data record of the card's format, padded to `size` characters.
Bytes record(size_t size) {
    std::string text = "0000F904Q51206ROSSI 05MARIO";
    while (text.size() < size) text += static_cast<char>('A' + text.size() % 26);
    text.resize(size);
    return Bytes(text.begin(), text.end());
}

// The module back-end on the simulated card of `profile`.
Bytes signWithModule(SimulatedCard& card, const std::string& profile, const std::string& folder,
                     const Bytes& content) {
    card.insert(profile);
    const std::string input = folder + "/module-input.bin";
    const std::string output = folder + "/module-output.p7m";
    writeWholeFile(input, content);
    if (fnSignFilePkcs11(input.c_str(), output.c_str(), 0, "1234") != 0) {
        throw std::runtime_error("the module back-end failed with " + profile);
    }
    Bytes file = readWholeFile(output);
    DeleteFileA(input.c_str());
    DeleteFileA(output.c_str());
    return file;
}

// The middleware back-end on the simulated CIE of `profile` (lines added to
// cie140's profile), with the card's own personal-data record.
Bytes signWithMiddleware(SimulatedCard& card, const std::string& profileLines, const Bytes& content,
                         Bytes* record) {
    card.insertVariant("cie140", profileLines);
    if (CIE_Connect(nullptr) != 0) throw std::runtime_error("no simulated CIE");
    record->assign(2048, 0);
    DWORD recordLength = 2048;
    CIE_ReadDatiPersonaliRaw(record->data(), &recordLength);
    record->resize(recordLength);
    uint32_t length = 0;
    auto sign = [&](uint8_t* out) {
        return fnSignBufferCie("12345678", 8, content.data(), static_cast<uint32_t>(content.size()),
                               record->data(), static_cast<uint32_t>(record->size()), out, &length);
    };
    int32_t result = sign(nullptr);
    Bytes file(length);
    if (result == 0) result = sign(file.data());
    CIE_Disconnect();
    if (result != 0) throw std::runtime_error("the middleware back-end failed: " + std::to_string(result));
    return file;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: signed_file_writer <folder>\n");
        return 2;
    }
    const std::string folder = argv[1];
    CreateDirectoryA(folder.c_str(), nullptr);
    try {
        std::string manifest;
        auto write = [&](const std::string& name, const char* cardName, const Bytes& content,
                         const Bytes& personalData) {
            const TestCard card = loadTestCard(cardName);
            writeWholeFile(folder + "/" + name + ".p7m", buildSignedFile(card, content, personalData));
            writeWholeFile(folder + "/" + name + ".content", content);
            writeWholeFile(folder + "/" + name + ".record", personalData);
            manifest += name + "\n";
        };
        const size_t sizes[] = {0, 1, 126, 127, 128, 255, 256, 65535, 65536, 3 * 1024 * 1024 + 7};
        for (size_t size : sizes) {
            write("content-" + std::to_string(size), "cie140", pattern(size, size), record(130));
        }
        for (size_t size : {0, 130, 255}) {
            write("record-" + std::to_string(size), "cie141", pattern(5000, 1), record(size));
        }
        for (const char* card : {"cie142", "card144", "card144-2048", "card144-4096", "serial00"}) {
            write(std::string("card-") + card, card, pattern(20000, 2), Bytes{});
        }

        // The back-ends on the simulated cards; a box would mean a failure.
        MessageBoxRecorder boxes;
        SimulatedCard card;
        auto add = [&](const std::string& name, const Bytes& file, const Bytes& content,
                       const Bytes& personalData) {
            writeWholeFile(folder + "/" + name + ".p7m", file);
            writeWholeFile(folder + "/" + name + ".content", content);
            writeWholeFile(folder + "/" + name + ".record", personalData);
            manifest += name + "\n";
        };
        for (const char* profile : {"card144", "card144-2048", "card144-4096"}) {
            const Bytes content = pattern(70000, 3);
            add(std::string("module-") + profile, signWithModule(card, profile, folder, content),
                content, Bytes{});
        }
        const struct { const char* name; const char* lines; } cies[] = {
            {"middleware-cie140", ""},
            {"middleware-2048", "certificate = ../pki/cards/card144-2048.der\nkey = ../pki/cards/card144-2048.keyblob"},
            {"middleware-4096", "certificate = ../pki/cards/card144-4096.der\nkey = ../pki/cards/card144-4096.keyblob"},
        };
        for (const auto& cie : cies) {
            const Bytes content = pattern(70000, 4);
            Bytes record;
            const Bytes file = signWithMiddleware(card, cie.lines, content, &record);
            if (record.empty()) throw std::runtime_error("the simulated CIE has no record");
            add(cie.name, file, content, record);
        }
        for (const auto& box : boxes.boxes()) std::fprintf(stderr, "box: %s\n", box.text.c_str());
        if (!boxes.boxes().empty()) return 1;
        writeWholeFile(folder + "/manifest.txt", Bytes(manifest.begin(), manifest.end()));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "signed_file_writer: %s\n", e.what());
        return 1;
    }
    return 0;
}
