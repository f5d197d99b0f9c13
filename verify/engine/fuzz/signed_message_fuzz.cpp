// libFuzzer target: any bytes as a SignedFile. Decoding must stay inside the
// bytes; a decoded message must be self-consistent, and looking up each
// signer's certificate and personal-data name must not fail.
#include <cstdint>
#include <cstdlib>

#include "signed_message.h"
#include "signer_display.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SignedMessage message;
    if (decodeSignedMessage({data, size}, &message) != DecodeResult::Ok) return 0;
    if (message.signers.empty() || message.signers.size() > MAX_SIGNERS) std::abort();
    uint64_t length = 0;
    for (const ber::Span& piece : message.content) {
        if (piece.data < data || piece.data + piece.size > data + size) std::abort();
        length += piece.size;
    }
    if (length != message.contentLength) std::abort();
    for (const SignerInfo& signer : message.signers) {
        const CertificateChoice choice = findSignerCertificate(message, signer);
        if (choice.index >= static_cast<int>(message.certificates.size())) std::abort();
        for (const Attribute& a : signer.unsignedAttributes) {
            char name[512];
            if (!a.values.empty()) personalDataName(a.values[0].whole, name, sizeof name);
        }
    }
    return 0;
}
