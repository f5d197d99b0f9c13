// Base64 decoding as the verification program reads SignedFiles in text form.
// It is tolerant: line breaks and spaces anywhere are skipped, padding is
// optional, and no character is refused; wrong characters give wrong bytes,
// which the message decoding that follows then refuses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

class Base64Codec {
public:
    // Decodes `length` bytes of text; the result is outputBuffer() and
    // outputLength(). A group of four characters gives three bytes ("="
    // counting as zero bits, so padding leaves trailing zero bytes); a last
    // group of one to three characters gives as many bytes as it has
    // characters. Throws std::bad_alloc when the buffers cannot be had.
    void decode(const uint8_t* text, size_t length);

    const uint8_t* outputBuffer() const { return output_.data.get(); }
    size_t outputLength() const { return output_.length; }

    // A buffer of the codec: its capacity grows in steps of 4096 bytes.
    struct Buffer {
        std::unique_ptr<uint8_t[]> data;
        size_t capacity = 0;
        size_t length = 0;
    };
    // Makes room for `need` bytes: a buffer smaller than that is replaced by
    // one of (need / 4096 + 1) * 4096 bytes. The whole buffer is then zeroed
    // and its length set to 0.
    static void prepareBuffer(Buffer& buffer, size_t need);

    // True for the characters that decoding skips: BEL to CR (7 to 13), space.
    static bool isSkipped(uint8_t c) { return (c >= 7 && c <= 13) || c == ' '; }

    // False when decoding `text` cannot give a DER SEQUENCE, the start of any
    // signed message: only an "M" (or "M" with the high bit set) as the first
    // character that is not skipped gives a first byte of 0x30. A binary file
    // that is not a signed message thus need not be decoded a second time.
    static bool mayDecodeToSequence(const uint8_t* text, size_t length);

private:
    Buffer work_;    // the text without its skipped characters
    Buffer output_;  // the decoded bytes
};
