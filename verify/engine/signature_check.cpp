#include "signature_check.h"

#include <algorithm>
#include <cstring>

#include "hash_data.h"

namespace {

class Hash {
public:
    Hash(HCRYPTPROV provider, ALG_ID algorithm) {
        if (!CryptCreateHash(provider, algorithm, 0, 0, &hash_)) hash_ = 0;
    }
    ~Hash() { if (hash_) CryptDestroyHash(hash_); }
    Hash(const Hash&) = delete;
    Hash& operator=(const Hash&) = delete;
    HCRYPTHASH get() const { return hash_; }

    bool add(ber::Span bytes) { return hashData(hash_, bytes.data, bytes.size); }
    bool value(std::vector<uint8_t>* out) {
        DWORD size = 0;
        if (!CryptGetHashParam(hash_, HP_HASHVAL, nullptr, &size, 0)) return false;
        out->resize(size);
        return CryptGetHashParam(hash_, HP_HASHVAL, out->data(), &size, 0) != FALSE;
    }

private:
    HCRYPTHASH hash_ = 0;
};

bool isRsaSignatureAlgorithm(const ber::Element& oid) {
    return ber::isOid(oid, oids::RSA_ENCRYPTION) || ber::isOid(oid, oids::SHA1_RSA) ||
           ber::isOid(oid, oids::SHA256_RSA) || ber::isOid(oid, oids::SHA384_RSA) ||
           ber::isOid(oid, oids::SHA512_RSA);
}

}  // namespace

ALG_ID hashAlgorithmOf(const ber::Element& oid) {
    if (ber::isOid(oid, oids::SHA1) || ber::isOid(oid, oids::SHA1_RSA)) return CALG_SHA1;
    if (ber::isOid(oid, oids::SHA256) || ber::isOid(oid, oids::SHA256_RSA)) return CALG_SHA_256;
    if (ber::isOid(oid, oids::SHA384) || ber::isOid(oid, oids::SHA384_RSA)) return CALG_SHA_384;
    if (ber::isOid(oid, oids::SHA512) || ber::isOid(oid, oids::SHA512_RSA)) return CALG_SHA_512;
    return 0;
}

CryptProvider acquireProviderFor(const SignedMessage& message) {
    bool sha2 = false;
    for (const SignerInfo& signer : message.signers) {
        const ALG_ID algorithm = hashAlgorithmOf(signer.digestAlgorithm);
        sha2 = sha2 || (algorithm != 0 && algorithm != CALG_SHA1);
        // A certificate reference of version 2 is a SHA-2 hash, mostly.
        sha2 = sha2 || (signer.hasSignedAttributes &&
                        findAttribute(signer.signedAttributes, oids::SIGNING_CERTIFICATE_V2) != nullptr);
    }
    const DWORD first = sha2 ? PROV_RSA_AES : PROV_RSA_FULL, second = sha2 ? PROV_RSA_FULL : PROV_RSA_AES;
    for (DWORD type : {first, second}) {
        HCRYPTPROV handle = 0;
        if (CryptAcquireContextA(&handle, nullptr, nullptr, type, CRYPT_VERIFYCONTEXT)) return CryptProvider(handle);
    }
    return CryptProvider();
}

bool SignatureChecker::bindsCertificate(const Attribute& attribute, bool v2, const MessageCertificate& certificate) {
    CertificateReference reference;
    if (!readCertificateReference(attribute, v2, &reference)) return false;
    const ALG_ID algorithm =
        !v2 ? CALG_SHA1 : reference.namesAlgorithm ? hashAlgorithmOf(reference.hashAlgorithm) : CALG_SHA_256;
    if (algorithm == 0) return false;
    Hash hash(provider_, algorithm);
    std::vector<uint8_t> digest;
    if (!hash.get() || !hash.add(certificate.der) || !hash.value(&digest)) return false;
    if (reference.hash != ber::Span{digest.data(), digest.size()}) return false;
    return !reference.hasIssuerSerial ||
           (reference.issuer == certificate.issuer && reference.serial == certificate.serial);
}

const std::vector<uint8_t>* SignatureChecker::contentDigest(ALG_ID algorithm) {
    auto found = digests_.find(algorithm);
    if (found != digests_.end()) return &found->second;
    Hash hash(provider_, algorithm);
    if (!hash.get() || !forEachContentBlock(message_, [&hash](ber::Span block) { return hash.add(block); })) {
        return nullptr;
    }
    std::vector<uint8_t> digest;
    if (!hash.value(&digest)) return nullptr;
    return &(digests_[algorithm] = std::move(digest));
}

bool SignatureChecker::verify(const SignerInfo& signer) {
    if (provider_ == 0) return false;
    const SignedMessage& message = message_;
    const CertificateChoice choice = findSignerCertificate(message, signer);
    if (!choice.matched) return false;
    const ALG_ID algorithm = hashAlgorithmOf(signer.digestAlgorithm);
    if (algorithm == 0 || !isRsaSignatureAlgorithm(signer.signatureAlgorithm)) return false;
    const std::vector<uint8_t>* digest = contentDigest(algorithm);
    if (digest == nullptr) return false;

    // What the signature covers: the content's digest, or the signed
    // attributes' DER (their [0] tag read as the SET OF that they are).
    Hash signedHash(provider_, algorithm);
    if (!signedHash.get()) return false;
    if (signer.hasSignedAttributes) {
        const Attribute* md = findAttribute(signer.signedAttributes, oids::MESSAGE_DIGEST);
        if (md == nullptr || md->values.size() != 1 || md->values[0].tag != ber::OCTET_STRING ||
            md->values[0].content != ber::Span{digest->data(), digest->size()}) {
            return false;
        }
        const Attribute* type = findAttribute(signer.signedAttributes, oids::CONTENT_TYPE);
        if (type == nullptr || type->values.size() != 1 || type->values[0].tag != ber::OID ||
            type->values[0].content != message.contentType.content) {
            return false;
        }
        // A signing-certificate attribute binds the signature to its
        // certificate: another certificate of the same key does not verify.
        for (const bool v2 : {false, true}) {
            const Attribute* reference =
                findAttribute(signer.signedAttributes, v2 ? oids::SIGNING_CERTIFICATE_V2 : oids::SIGNING_CERTIFICATE);
            if (reference != nullptr && !bindsCertificate(*reference, v2, message.certificates[choice.index])) {
                return false;
            }
        }
        const ber::Element& attributes = signer.signedAttributesElement;
        if (attributes.indefinite) return false;  // DER is definite
        const uint8_t setTag = ber::SET;
        if (!signedHash.add({&setTag, 1}) ||
            !signedHash.add({attributes.whole.data + 1, attributes.whole.size - 1})) {
            return false;
        }
    } else if (!CryptSetHashParam(signedHash.get(), HP_HASHVAL, digest->data(), 0)) {
        return false;
    }

    const ber::Span& der = message.certificates[choice.index].der;
    PCCERT_CONTEXT certificate = CertCreateCertificateContext(X509_ASN_ENCODING, der.data, static_cast<DWORD>(der.size));
    if (certificate == nullptr) return false;
    HCRYPTKEY key = 0;
    const bool imported = CryptImportPublicKeyInfo(provider_, X509_ASN_ENCODING,
                                                   &certificate->pCertInfo->SubjectPublicKeyInfo, &key);
    CertFreeCertificateContext(certificate);
    if (!imported) return false;

    // CryptoAPI takes the signature least significant octet first.
    std::vector<uint8_t> reversed(signer.signature.data, signer.signature.data + signer.signature.size);
    std::reverse(reversed.begin(), reversed.end());
    const bool valid = CryptVerifySignatureA(signedHash.get(), reversed.data(),
                                             static_cast<DWORD>(reversed.size()), key, nullptr, 0) != FALSE;
    CryptDestroyKey(key);
    return valid;
}
