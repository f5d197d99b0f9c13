#include "signature_check.h"

#include <algorithm>
#include <cstring>

#include <bcrypt.h>

#include "hash_data.h"
#include "signature_algorithm.h"

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

ALG_ID algorithmOfDigest(DigestKind kind) {
    switch (kind) {
    case DigestKind::Sha1: return CALG_SHA1;
    case DigestKind::Sha256: return CALG_SHA_256;
    case DigestKind::Sha384: return CALG_SHA_384;
    case DigestKind::Sha512: return CALG_SHA_512;
    case DigestKind::Md2:  // digests with the same MD2, MD4 or MD5 can be made at will: they bind no content
    case DigestKind::Md4:
    case DigestKind::Md5:
    case DigestKind::Unknown: break;
    }
    return 0;
}

// The platform's algorithm for a digest that binds no content, with which a
// signature is still checked so that a broken one shows as broken.
ALG_ID algorithmOfBrokenDigest(DigestKind kind) {
    switch (kind) {
    case DigestKind::Md2: return CALG_MD2;
    case DigestKind::Md4: return CALG_MD4;
    case DigestKind::Md5: return CALG_MD5;
    default: return 0;
    }
}

const wchar_t* cngNameOfDigest(ALG_ID algorithm) {
    switch (algorithm) {
    case CALG_SHA1: return BCRYPT_SHA1_ALGORITHM;
    case CALG_SHA_256: return BCRYPT_SHA256_ALGORITHM;
    case CALG_SHA_384: return BCRYPT_SHA384_ALGORITHM;
    default: return BCRYPT_SHA512_ALGORITHM;
    }
}

// The platform's answers that mean "this algorithm or curve is unknown to
// me", as opposed to a key or a signature that is wrong.
bool isUnknownAlgorithm(DWORD error) {
    switch (error) {
    case static_cast<DWORD>(NTE_BAD_ALGID):
    case static_cast<DWORD>(NTE_NOT_SUPPORTED):
    case static_cast<DWORD>(CRYPT_E_UNKNOWN_ALGO):
    case static_cast<DWORD>(CRYPT_E_OID_FORMAT):
    case ERROR_NOT_SUPPORTED:
    case ERROR_CALL_NOT_IMPLEMENTED:
    case static_cast<DWORD>(0xC00000BB):  // STATUS_NOT_SUPPORTED
    case static_cast<DWORD>(0xC0000002):  // STATUS_NOT_IMPLEMENTED
        return true;
    default:
        return false;
    }
}

// A CNG key, destroyed when this goes away.
class CngKey {
public:
    ~CngKey() { if (handle_) BCryptDestroyKey(handle_); }
    BCRYPT_KEY_HANDLE* out() { return &handle_; }
    BCRYPT_KEY_HANDLE get() const { return handle_; }
private:
    BCRYPT_KEY_HANDLE handle_ = nullptr;
};

// An ECDSA or RSASSA-PSS signature over `hash` (made with `algorithm`),
// checked by CNG with the certificate's key.
// An ECDSA value is DER unless `plain` (r then s, as XML signatures write it).
SignatureVerdict verifyWithCng(PCCERT_CONTEXT certificate, SignatureScheme scheme, const PssParameters& pss,
                               ALG_ID algorithm, std::vector<uint8_t>& hash, ber::Span signature, bool plain = false) {
    CERT_PUBLIC_KEY_INFO key = certificate->pCertInfo->SubjectPublicKeyInfo;
    const char* keyOid = key.Algorithm.pszObjId != nullptr ? key.Algorithm.pszObjId : "";
    if (scheme == SignatureScheme::Ecdsa && std::strcmp(keyOid, szOID_ECC_PUBLIC_KEY) != 0) {
        return SignatureVerdict::Invalid;
    }
    if (scheme == SignatureScheme::RsaPss) {
        // A key marked for RSASSA-PSS alone is the same RSA key: the platform
        // imports it as one.
        if (std::strcmp(keyOid, szOID_RSA_SSA_PSS) == 0) {
            static char rsa[] = szOID_RSA_RSA;
            key.Algorithm.pszObjId = rsa;
            key.Algorithm.Parameters = CRYPT_OBJID_BLOB{};
        } else if (std::strcmp(keyOid, szOID_RSA_RSA) != 0) {
            return SignatureVerdict::Invalid;
        }
    }
    CngKey handle;
    SetLastError(0);
    if (!CryptImportPublicKeyInfoEx2(X509_ASN_ENCODING, &key, 0, nullptr, handle.out())) {
        return isUnknownAlgorithm(GetLastError()) ? SignatureVerdict::NotVerifiable : SignatureVerdict::Invalid;
    }
    std::vector<uint8_t> value(signature.data, signature.data + signature.size);
    NTSTATUS status;
    if (scheme == SignatureScheme::Ecdsa) {
        // The size of the curve's numbers, from the key's public blob (Wine's
        // keys do not answer the key-length property).
        ULONG size = 0;
        if (BCryptExportKey(handle.get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, nullptr, 0, &size, 0) != 0 ||
            size < sizeof(BCRYPT_ECCKEY_BLOB)) {
            return SignatureVerdict::Invalid;
        }
        std::vector<uint8_t> blob(size);
        if (BCryptExportKey(handle.get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, blob.data(), size, &size, 0) != 0 ||
            size < sizeof(BCRYPT_ECCKEY_BLOB)) {
            return SignatureVerdict::Invalid;
        }
        BCRYPT_ECCKEY_BLOB header;
        std::memcpy(&header, blob.data(), sizeof header);
        if (plain ? value.size() != 2 * size_t{header.cbKey} : !ecdsaSignatureToPlain(signature, header.cbKey, &value)) {
            return SignatureVerdict::Invalid;
        }
        status = BCryptVerifySignature(handle.get(), nullptr, hash.data(), static_cast<ULONG>(hash.size()),
                                       value.data(), static_cast<ULONG>(value.size()), 0);
    } else {
        BCRYPT_PSS_PADDING_INFO padding{cngNameOfDigest(algorithm), pss.saltLength};
        status = BCryptVerifySignature(handle.get(), &padding, hash.data(), static_cast<ULONG>(hash.size()),
                                       value.data(), static_cast<ULONG>(value.size()), BCRYPT_PAD_PSS);
    }
    if (status == 0) return SignatureVerdict::Valid;
    return isUnknownAlgorithm(static_cast<DWORD>(status)) ? SignatureVerdict::NotVerifiable
                                                          : SignatureVerdict::Invalid;
}

}  // namespace

ALG_ID hashAlgorithmOf(const ber::Element& oid) { return algorithmOfDigest(digestKindOf(oid)); }

std::vector<uint8_t> digestOf(HCRYPTPROV provider, ALG_ID algorithm, ber::Span bytes) {
    std::vector<uint8_t> digest;
    Hash hash(provider, algorithm);
    if (algorithm == 0 || !hash.get() || !hash.add(bytes) || !hash.value(&digest)) digest.clear();
    return digest;
}

SignatureVerdict verifySignatureOver(ber::Span certificate, SignatureScheme scheme, DigestKind digest, ber::Span bytes,
                                     ber::Span value) {
    const ALG_ID algorithm = algorithmOfDigest(digest);
    if (algorithm == 0 || algorithm == CALG_SHA1 ||
        (scheme != SignatureScheme::RsaPkcs1 && scheme != SignatureScheme::Ecdsa)) {
        return SignatureVerdict::NotVerifiable;
    }
    HCRYPTPROV handle = 0;
    if (!CryptAcquireContextA(&handle, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) {
        return SignatureVerdict::NotVerifiable;
    }
    const CryptProvider provider(handle);
    Hash hash(provider.get(), algorithm);
    if (!hash.get() || !hash.add(bytes)) return SignatureVerdict::Invalid;
    PCCERT_CONTEXT context =
        CertCreateCertificateContext(X509_ASN_ENCODING, certificate.data, static_cast<DWORD>(certificate.size));
    if (context == nullptr) return SignatureVerdict::Invalid;
    SignatureVerdict verdict = SignatureVerdict::Invalid;
    if (scheme == SignatureScheme::Ecdsa) {
        std::vector<uint8_t> digestValue;
        if (hash.value(&digestValue)) {
            verdict = verifyWithCng(context, scheme, PssParameters{}, algorithm, digestValue, value, true);
        }
        CertFreeCertificateContext(context);
        return verdict;
    }
    const char* keyOid = context->pCertInfo->SubjectPublicKeyInfo.Algorithm.pszObjId;
    HCRYPTKEY key = 0;
    const bool imported = keyOid != nullptr && std::strcmp(keyOid, szOID_RSA_RSA) == 0 &&
                          CryptImportPublicKeyInfo(provider.get(), X509_ASN_ENCODING,
                                                   &context->pCertInfo->SubjectPublicKeyInfo, &key);
    CertFreeCertificateContext(context);
    if (!imported) return SignatureVerdict::Invalid;
    // CryptoAPI takes the signature least significant octet first.
    std::vector<uint8_t> reversed(value.data, value.data + value.size);
    std::reverse(reversed.begin(), reversed.end());
    const bool valid = CryptVerifySignatureA(hash.get(), reversed.data(), static_cast<DWORD>(reversed.size()), key,
                                             nullptr, 0) != FALSE;
    CryptDestroyKey(key);
    return valid ? SignatureVerdict::Valid : SignatureVerdict::Invalid;
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
    const std::vector<uint8_t> digest = digestOf(provider_, algorithm, certificate.der);
    if (digest.empty() || reference.hash != ber::Span{digest.data(), digest.size()}) return false;
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

SignatureVerdict SignatureChecker::verify(const SignerInfo& signer) {
    const SignatureVerdict invalid = SignatureVerdict::Invalid;
    if (provider_ == 0 || signer.unreadable) return invalid;
    const SignedMessage& message = message_;
    const CertificateChoice choice = findSignerCertificate(message, signer);
    if (!choice.matched) return invalid;
    // The claimed scheme must be the certificate key's own: a label the key
    // cannot have made is a broken signature, not one left unchecked.
    const SignatureScheme scheme = signatureSchemeOf(signer.signatureAlgorithm);
    ber::Element keyAlgorithm, keyParameters;
    if (!readPublicKeyAlgorithm(message.certificates[choice.index].der, &keyAlgorithm, &keyParameters)) return invalid;
    const KeyFit fit = schemeFitsKey(scheme, keyAlgorithm);
    if (fit == KeyFit::Mismatch) return invalid;
    if (fit == KeyFit::UnknownKey) return SignatureVerdict::NotVerifiable;
    ALG_ID algorithm = hashAlgorithmOf(signer.digestAlgorithm);
    // An RSA PKCS#1 v1.5 signature over a digest that binds no content is
    // checked all the same: broken stays broken, sound is only not verifiable.
    const bool brokenDigest = algorithm == 0 && scheme == SignatureScheme::RsaPkcs1 &&
                              isBrokenDigest(digestKindOf(signer.digestAlgorithm));
    if (brokenDigest) algorithm = algorithmOfBrokenDigest(digestKindOf(signer.digestAlgorithm));
    if (algorithm == 0) return SignatureVerdict::NotVerifiable;
    PssParameters pss;
    if (scheme == SignatureScheme::RsaPss) {
        if (!readPssParameters(signer.hasSignatureParameters ? &signer.signatureParameters : nullptr, &pss) ||
            pss.trailerField != 1) {
            return invalid;
        }
        const ALG_ID pssDigest = algorithmOfDigest(pss.hash);
        if (pssDigest == 0 || !pss.maskIsMgf1 || pss.maskHash != pss.hash) return SignatureVerdict::NotVerifiable;
        // The digest of the content and of what the signature covers is the signer's.
        if (pssDigest != algorithm) return invalid;
    }
    // What is signed: the content, or for a counter-signer the value of the
    // signature it counter-signs.
    std::vector<uint8_t> counterSigned;
    const std::vector<uint8_t>* digest = &counterSigned;
    if (signer.parent < 0) {
        digest = contentDigest(algorithm);
    } else {
        counterSigned = digestOf(provider_, algorithm, message.signers[signer.parent].signature);
        if (counterSigned.empty()) return invalid;
    }
    if (digest == nullptr) return invalid;

    // What the signature covers: that digest, or the signed attributes' DER
    // (their [0] tag read as the SET OF that they are).
    Hash signedHash(provider_, algorithm);
    if (!signedHash.get()) return invalid;
    if (signer.hasSignedAttributes) {
        const Attribute* md = findAttribute(signer.signedAttributes, oids::MESSAGE_DIGEST);
        if (md == nullptr || md->values.size() != 1 || md->values[0].tag != ber::OCTET_STRING ||
            md->values[0].content != ber::Span{digest->data(), digest->size()}) {
            return invalid;
        }
        // A counter-signature has no content type of its own: one that carries
        // it was made as a signature of content, whatever it is put under.
        const Attribute* type = findAttribute(signer.signedAttributes, oids::CONTENT_TYPE);
        if (signer.parent >= 0 && type != nullptr) return invalid;
        if (signer.parent < 0 && (type == nullptr || type->values.size() != 1 || type->values[0].tag != ber::OID ||
                                  type->values[0].content != message.contentType.content)) {
            return invalid;
        }
        // A signing-certificate attribute binds the signature to its
        // certificate: another certificate of the same key does not verify.
        for (const bool v2 : {false, true}) {
            const Attribute* reference =
                findAttribute(signer.signedAttributes, v2 ? oids::SIGNING_CERTIFICATE_V2 : oids::SIGNING_CERTIFICATE);
            if (reference != nullptr && !bindsCertificate(*reference, v2, message.certificates[choice.index])) {
                return invalid;
            }
        }
        const ber::Element& attributes = signer.signedAttributesElement;
        if (attributes.indefinite) return invalid;  // DER is definite
        const uint8_t setTag = ber::SET;
        if (!signedHash.add({&setTag, 1}) ||
            !signedHash.add({attributes.whole.data + 1, attributes.whole.size - 1})) {
            return invalid;
        }
    } else if (!CryptSetHashParam(signedHash.get(), HP_HASHVAL, digest->data(), 0)) {
        return invalid;
    }

    const ber::Span& der = message.certificates[choice.index].der;
    PCCERT_CONTEXT certificate = CertCreateCertificateContext(X509_ASN_ENCODING, der.data, static_cast<DWORD>(der.size));
    if (certificate == nullptr) return invalid;
    SignatureVerdict verdict = invalid;
    if (scheme != SignatureScheme::RsaPkcs1) {
        std::vector<uint8_t> hash;
        if (signedHash.value(&hash)) verdict = verifyWithCng(certificate, scheme, pss, algorithm, hash, signer.signature);
        CertFreeCertificateContext(certificate);
        return verdict;
    }
    HCRYPTKEY key = 0;
    const bool imported = CryptImportPublicKeyInfo(provider_, X509_ASN_ENCODING,
                                                   &certificate->pCertInfo->SubjectPublicKeyInfo, &key);
    CertFreeCertificateContext(certificate);
    if (!imported) return invalid;

    // CryptoAPI takes the signature least significant octet first.
    std::vector<uint8_t> reversed(signer.signature.data, signer.signature.data + signer.signature.size);
    std::reverse(reversed.begin(), reversed.end());
    const bool valid = CryptVerifySignatureA(signedHash.get(), reversed.data(),
                                             static_cast<DWORD>(reversed.size()), key, nullptr, 0) != FALSE;
    CryptDestroyKey(key);
    if (!valid) return invalid;
    return brokenDigest ? SignatureVerdict::NotVerifiable : SignatureVerdict::Valid;
}
