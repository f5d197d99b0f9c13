// Writes SignedFiles of many sizes, signed with test cards' keys, into the
// folder named on the command line, for scripts/check-signed-files to verify
// with OpenSSL. Beside each <name>.p7m it writes the content as <name>.content
// and the personal-data record as <name>.record; manifest.txt lists the names.
#include <cstdio>
#include <exception>
#include <string>

#include <windows.h>

#include "test_card_key.h"

namespace {

Bytes pattern(size_t size, uint32_t seed) {
    Bytes out(size);
    uint32_t x = seed * 2654435761u + 7;
    for (auto& b : out) {
        x = x * 1103515245u + 12345u;
        b = static_cast<uint8_t>(x >> 23);
    }
    return out;
}

// A personal-data record of the card's format, padded to `size` characters.
Bytes record(size_t size) {
    std::string text = "0000F904Q51206ROSSI 05MARIO";
    while (text.size() < size) text += static_cast<char>('A' + text.size() % 26);
    text.resize(size);
    return Bytes(text.begin(), text.end());
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
        writeWholeFile(folder + "/manifest.txt", Bytes(manifest.begin(), manifest.end()));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "signed_file_writer: %s\n", e.what());
        return 1;
    }
    return 0;
}
