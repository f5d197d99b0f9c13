// libFuzzer target: any bytes as a SignedFile. Decoding must stay inside the
// bytes; a decoded message must be self-consistent, and looking up each
// signer's certificate, checking its personal-data name, reading its
// signing-certificate references, its signature algorithm's parameters,
// value and name, and its time-stamp token must not fail; a counter-signer's
// parent comes before it.
#include <cstdint>
#include <cstdlib>

#include "signature_algorithm.h"
#include "signed_message.h"
#include "timestamp_info.h"
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
        // The signature algorithm's parameters and value as the checks read them.
        PssParameters pss;
        readPssParameters(signer.hasSignatureParameters ? &signer.signatureParameters : nullptr, &pss);
        std::vector<uint8_t> plain;
        for (const size_t field : {size_t{32}, size_t{66}}) {
            if (ecdsaSignatureToPlain(signer.signature, field, &plain) && plain.size() != 2 * field) std::abort();
        }
        const ber::Span certificate = choice.index >= 0 ? message.certificates[choice.index].der : ber::Span{};
        if (signatureAlgorithmName(signer, certificate).empty()) std::abort();
        // A time-stamp token's own message and its TSTInfo.
        if (const Attribute* token = findAttribute(signer.unsignedAttributes, oids::TIMESTAMP_TOKEN)) {
            SignedMessage inner;
            TstInfo info;
            if (!token->values.empty() && decodeSignedMessage(token->values[0].whole, &inner) == DecodeResult::Ok) {
                std::vector<uint8_t> content;
                forEachContentBlock(inner, [&content](ber::Span block) {
                    content.insert(content.end(), block.data, block.data + block.size);
                    return true;
                });
                if (readTstInfo({content.data(), content.size()}, &info) && info.imprint.size > content.size()) {
                    std::abort();
                }
            }
        }
        if (signer.parent >= static_cast<int>(&signer - message.signers.data())) std::abort();  // parents come first
        PersonalDataName name;
        for (const Attribute& a : signer.unsignedAttributes) {
            if (!a.values.empty() && readPersonalDataName(a.values[0].whole, &name) && choice.index >= 0) {
                isSubjectsOwnName(name, message.certificates[choice.index].subject);
            }
        }
    }
    return 0;
}
