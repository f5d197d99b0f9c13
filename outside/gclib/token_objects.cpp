#include "token_objects.h"

#include <cstring>

#include "pkcs11_module.h"

namespace gclib {

Bytes ulongValue(unsigned long value) {
    Bytes out(sizeof value);
    std::memcpy(out.data(), &value, sizeof value);
    return out;
}

namespace {

TokenObject certificate(unsigned long handle, const Bytes& der, const std::string& label,
                        const Bytes& id) {
    TokenObject o{handle, false, {}, {}};
    o.values[CKA_CLASS] = ulongValue(CKO_CERTIFICATE);
    o.values[CKA_CERTIFICATE_TYPE] = ulongValue(CKC_X_509);
    o.values[CKA_LABEL] = Bytes(label.begin(), label.end());
    o.values[CKA_ID] = id;
    o.values[CKA_VALUE] = der;
    return o;
}

TokenObject privateKey(unsigned long handle, const Bytes& blob, const std::string& label,
                       const Bytes& id) {
    TokenObject o{handle, true, {}, blob};
    o.values[CKA_CLASS] = ulongValue(CKO_PRIVATE_KEY);
    o.values[CKA_KEY_TYPE] = ulongValue(CKK_RSA);
    o.values[CKA_LABEL] = Bytes(label.begin(), label.end());
    o.values[CKA_ID] = id;
    o.values[CKA_SIGN] = Bytes{1};
    return o;
}

}  // namespace

std::vector<TokenObject> tokenObjects(const cardsim::CardProfile& p) {
    std::vector<TokenObject> objects;
    if (!p.certificate.empty()) objects.push_back(certificate(1, p.certificate, p.label, p.certificateId));
    if (!p.otherCertificate.empty()) {
        objects.push_back(certificate(2, p.otherCertificate, p.label, p.otherId));
    }
    // The second key comes first, so that only the CKA_ID can find the right one.
    if (!p.otherKey.empty()) objects.push_back(privateKey(3, p.otherKey, p.label, p.otherId));
    if (!p.key.empty()) objects.push_back(privateKey(4, p.key, p.label, p.keyId));
    return objects;
}

}  // namespace gclib
