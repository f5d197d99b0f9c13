// Fuzz target: any bytes read as an OCSP answer; every answer read goes
// through the rules of a believed answer, as asked for the certificate of
// its first entry and for another, and names its cache file.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "ocsp_response.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    OcspResponse response;
    if (!readOcspResponse({data, size}, &response)) return 0;
    const OcspSingleResponse* single = nullptr;
    OcspCertId asked;
    if (!response.responses.empty()) asked = response.responses[0].certId;
    const std::vector<uint8_t> nonce(response.nonce.data, response.nonce.data + response.nonce.size);
    ocspAnswerRefusal(response, asked, nonce, response.producedAt, &single);
    if (ocspCacheName(asked).compare(0, 5, "ocsp-") != 0) __builtin_trap();
    asked.serial.push_back(0);
    ocspAnswerRefusal(response, asked, {}, 0, &single);
    return 0;
}
