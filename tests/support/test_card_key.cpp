#include "test_card_key.h"

#include <windows.h>
#include <wincrypt.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>

#include "digest_info.h"
#include "sha_digest.h"
#include "signature_form.h"

Bytes readWholeFile(const std::string& path) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) throw std::runtime_error("cannot open " + path);
    Bytes bytes;
    uint8_t chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) {
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    return bytes;
}

void writeWholeFile(const std::string& path, const Bytes& bytes) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!file || std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) {
        throw std::runtime_error("cannot write " + path);
    }
}

void makeSparseFile(const std::string& path, uint64_t size) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size);
    const bool made = file != INVALID_HANDLE_VALUE && SetFilePointerEx(file, end, nullptr, FILE_BEGIN) &&
                      SetEndOfFile(file);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    if (!made) throw std::runtime_error("cannot make " + path);
}

std::string testDataPath(const std::string& relative) {
    return std::string(QUILL_TESTDATA_DIR) + "/" + relative;
}

TestCard loadTestCard(const std::string& name) {
    return {readWholeFile(testDataPath("pki/cards/" + name + ".der")),
            readWholeFile(testDataPath("pki/cards/" + name + ".keyblob"))};
}

Bytes signDigestInfo(const TestCard& card, const Bytes& digestInfo) {
    // CryptoAPI signs a hash object, writing the DigestInfo itself: give it
    // the SHA-1, SHA-256 or MD5 value that the DigestInfo carries.
    static const struct { ALG_ID algorithm; Bytes prefix; size_t digest; } kinds[] = {
        {CALG_SHA1, {0x30, 0x21, 0x30, 0x09, 0x06, 0x05, 0x2B, 0x0E, 0x03, 0x02, 0x1A, 0x05, 0x00, 0x04, 0x14}, 20},
        {CALG_SHA_256, {0x30, 0x31, 0x30, 0x0D, 0x06, 0x09, 0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x01, 0x05,
                        0x00, 0x04, 0x20}, 32},
        {CALG_MD5, {0x30, 0x20, 0x30, 0x0C, 0x06, 0x08, 0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x02, 0x05, 0x05, 0x00,
                    0x04, 0x10}, 16},
    };
    const auto* kind = std::find_if(std::begin(kinds), std::end(kinds), [&](const auto& k) {
        return digestInfo.size() == k.prefix.size() + k.digest &&
               std::equal(k.prefix.begin(), k.prefix.end(), digestInfo.begin());
    });
    if (kind == std::end(kinds)) throw std::runtime_error("not a SHA-1, SHA-256 or MD5 DigestInfo");
    const size_t prefixLength = kind->prefix.size();
    HCRYPTPROV provider = 0;
    if (!CryptAcquireContextA(&provider, nullptr, MS_ENH_RSA_AES_PROV_A, PROV_RSA_AES,
                              CRYPT_VERIFYCONTEXT)) {
        throw std::runtime_error("no provider");
    }
    HCRYPTKEY key = 0;
    HCRYPTHASH hash = 0;
    Bytes signature;
    const auto* header = reinterpret_cast<const BLOBHEADER*>(card.keyBlob.data());
    const DWORD keySpec = header->aiKeyAlg == CALG_RSA_SIGN ? AT_SIGNATURE : AT_KEYEXCHANGE;
    DWORD size = 0;
    const bool ok =
        CryptImportKey(provider, card.keyBlob.data(), static_cast<DWORD>(card.keyBlob.size()),
                       0, 0, &key) &&
        CryptCreateHash(provider, kind->algorithm, 0, 0, &hash) &&
        CryptSetHashParam(hash, HP_HASHVAL, digestInfo.data() + prefixLength, 0) &&
        CryptSignHashA(hash, keySpec, nullptr, 0, nullptr, &size);
    if (ok) {
        signature.resize(size);
        if (!CryptSignHashA(hash, keySpec, nullptr, 0, signature.data(), &size)) signature.clear();
    }
    if (hash) CryptDestroyHash(hash);
    if (key) CryptDestroyKey(key);
    CryptReleaseContext(provider, 0);
    if (signature.empty()) throw std::runtime_error("signing failed");
    // CryptoAPI hands the signature over least significant octet first.
    std::reverse(signature.begin(), signature.end());
    return signature;
}

Bytes sha1Digest(const uint8_t* data, uint32_t size) {
    uint8_t* digest = nullptr;
    uint32_t length = 0;
    if (fnSha1Digest(data, size, &digest, &length) != 0) {
        throw std::runtime_error("digest failed");
    }
    const Bytes out(digest, digest + length);
    std::free(digest);
    return out;
}

Bytes signContent(const TestCard& card, const uint8_t* content, uint32_t length) {
    const Bytes digest = sha1Digest(content, length);
    uint8_t digestInfo[DIGEST_INFO_CAPACITY];
    uint8_t digestInfoLength = 0;
    const int32_t made = fnMakeDigestInfo(digest.data(), static_cast<uint32_t>(digest.size()), digestInfo, &digestInfoLength);
    if (made != 0) throw std::runtime_error("DigestInfo failed");
    return signDigestInfo(card, Bytes(digestInfo, digestInfo + digestInfoLength));
}

namespace {

// The SignedFile around the card's signature, by the request's form: the
// encoder's two calls, the length and then the file.
Bytes encodeSignedFile(const SignatureRequest& request, const TestCard& card, const Bytes& content,
                       const Bytes& signature, const Bytes& personalData) {
    uint32_t length = 0;
    auto build = [&](uint8_t* out) {
        return request.encode(content.data(), static_cast<uint32_t>(content.size()), signature.data(),
                              static_cast<uint32_t>(signature.size()), card.certificate.data(),
                              static_cast<uint32_t>(card.certificate.size()), personalData.data(),
                              static_cast<uint32_t>(personalData.size()), out, &length);
    };
    if (build(nullptr) != 0) throw std::runtime_error("encoder failed to measure");
    Bytes file(length);
    if (build(file.data()) != 0) throw std::runtime_error("encoder failed");
    return file;
}

}  // namespace

Bytes buildSignedFile(const TestCard& card, const Bytes& content, const Bytes& personalData) {
    // SHA-1 refuses empty content; sign the DigestInfo of the empty string then.
    static const uint8_t emptySha1DigestInfo[] = {
        0x30, 0x21, 0x30, 0x09, 0x06, 0x05, 0x2B, 0x0E, 0x03, 0x02, 0x1A, 0x05, 0x00, 0x04,
        0x14, 0xDA, 0x39, 0xA3, 0xEE, 0x5E, 0x6B, 0x4B, 0x0D, 0x32, 0x55, 0xBF, 0xEF, 0x95,
        0x60, 0x18, 0x90, 0xAF, 0xD8, 0x07, 0x09};
    const Bytes signature =
        content.empty()
            ? signDigestInfo(card, Bytes(std::begin(emptySha1DigestInfo), std::end(emptySha1DigestInfo)))
            : signContent(card, content.data(), static_cast<uint32_t>(content.size()));
    return encodeSignedFile(SignatureRequest(SignatureForm::Pkcs7Sha1), card, content, signature, personalData);
}

Bytes buildCadesSignedFile(const TestCard& card, const Bytes& content, const Bytes& personalData) {
    SignatureRequest request(SignatureForm::CadesBes);
    SYSTEMTIME now;
    GetSystemTime(&now);
    if (request.prepare(content.data(), static_cast<uint32_t>(content.size()), card.certificate.data(),
                        static_cast<uint32_t>(card.certificate.size()), now) != 0) {
        throw std::runtime_error("the signed attributes could not be made");
    }
    const Bytes signature =
        signDigestInfo(card, Bytes(request.digestInfo(), request.digestInfo() + request.digestInfoLength()));
    return encodeSignedFile(request, card, content, signature, personalData);
}

der_builder::Signer signerOf(const TestCard& card, const Bytes& data, const Bytes& signedAttributes, bool breakIt) {
    der_builder::Signer s;
    der_builder::issuerAndSerialOf(card.certificate, &s.issuer, &s.serial);
    s.signedAttributes = signedAttributes;
    const Bytes covered = signedAttributes.empty() ? data : der_builder::signedAttributesForSignature(s);
    s.signature = signContent(card, covered.data(), static_cast<uint32_t>(covered.size()));
    if (breakIt) s.signature.back() ^= 1;
    return s;
}

der_builder::Signer counterSignerOf(const TestCard& card, const der_builder::Signer& parent, bool withAttributes,
                                   const Bytes* digested) {
    const Bytes attributes = der_builder::messageDigestAttribute(sha1Digest(digested ? *digested : parent.signature));
    return signerOf(card, parent.signature, withAttributes ? attributes : Bytes{});
}

Bytes counterSignatureAttribute(std::initializer_list<der_builder::Signer> counterSigners) {
    Bytes values;
    for (const der_builder::Signer& s : counterSigners) values = der_builder::cat({values, der_builder::signerInfo(s)});
    return der_builder::attribute("2A864886F70D010906", values);
}

Bytes timestampToken(const der_builder::Signer& stamped, const TokenRecipe& recipe) {
    using namespace der_builder;
    const TestCard authority = loadTestCard(recipe.authority);
    const Bytes sha1Id = tlv(0x30, cat({tlv(0x06, hex("2B0E03021A")), hex("0500")}));
    const std::string time = recipe.time;
    const Bytes imprint = sha1Digest(recipe.imprinted ? *recipe.imprinted : stamped.signature);
    // TSTInfo { version 1, policy 1.3.6.1.4.1.99999.2.1, messageImprint, serialNumber, genTime }
    const Bytes tstInfo = tlv(0x30, cat({hex("020101"), tlv(0x06, hex("2B06010401868D1F0201")),
                                         tlv(0x30, cat({sha1Id, tlv(0x04, imprint)})), hex("02021001"),
                                         tlv(0x18, Bytes(time.begin(), time.end()))}));
    const Bytes tstInfoOid = tlv(0x06, hex("2A864886F70D0109100104"));
    // SigningCertificate { certs SEQUENCE OF ESSCertID { certHash } }
    const Bytes signingCertificate = attribute(
        "2A864886F70D010910020C", tlv(0x30, tlv(0x30, tlv(0x30, tlv(0x04, sha1Digest(authority.certificate))))));
    const Bytes attributes = cat({contentTypeAttribute(tstInfoOid), messageDigestAttribute(sha1Digest(tstInfo)),
                                  recipe.bindCertificate ? signingCertificate : Bytes{}});
    const Signer tsa = signerOf(authority, tstInfo, attributes, recipe.breakIt);
    return signedData(tlv(0x30, cat({tstInfoOid, tlv(0xA0, tlv(0x04, tstInfo))})), {authority.certificate},
                      {signerInfo(tsa)});
}

Bytes timestampAttribute(const Bytes& token) { return der_builder::attribute("2A864886F70D010910020E", token); }
