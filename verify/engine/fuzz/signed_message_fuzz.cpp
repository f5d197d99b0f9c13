// libFuzzer target: any bytes as a SignedFile. Decoding must stay inside the
// bytes; a decoded message must be self-consistent, and looking up each
// signer's certificate, checking its personal-data name and reading its
// signing-certificate references must not fail.
#include <cstdint>
#include <cstdlib>

#include "signed_message.h"
#include "signer_display.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SignedMessage message;
    if (decodeSignedMessage({data, size}, &message) != DecodeResult::Ok) return 0;
    if (message.signers.empty() || message.signers.size() > MAX_SIGNERS) std::abort();
    uint64_t length = 0;
    forEachContentBlock(message, [&length](ber::Span block) {
        length += block.size;
        return true;
    });
    if (length != message.contentLength) std::abort();
    for (const SignerInfo& signer : message.signers) {
        const CertificateChoice choice = findSignerCertificate(message, signer);
        if (choice.index >= static_cast<int>(message.certificates.size())) std::abort();
        CertificateReference reference;
        for (const Attribute& a : signer.signedAttributes) {
            for (const bool v2 : {false, true}) {
                if (readCertificateReference(a, v2, &reference) && reference.hash.size > size) std::abort();
            }
        }
        PersonalDataName name;
        for (const Attribute& a : signer.unsignedAttributes) {
            if (!a.values.empty() && readPersonalDataName(a.values[0].whole, &name) && choice.index >= 0) {
                isSubjectsOwnName(name, message.certificates[choice.index].subject);
            }
        }
    }
    return 0;
}
