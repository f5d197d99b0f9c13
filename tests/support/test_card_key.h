// Test support for the Windows tests: the test PKI's cards, and signatures made
// with their private keys through CryptoAPI, as a card would make them.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "signed_data_builder.h"

using Bytes = std::vector<uint8_t>;

// A whole file; throws std::runtime_error when it cannot be read.
Bytes readWholeFile(const std::string& path);
void writeWholeFile(const std::string& path, const Bytes& bytes);
// A file of `size` bytes that takes no room on the disk: its content is a hole.
void makeSparseFile(const std::string& path, uint64_t size);

// A file of the test data folder, by its path relative to it ("pki/ca/140.der").
std::string testDataPath(const std::string& relative);

struct TestCard {
    Bytes certificate;  // DER X.509
    Bytes keyBlob;      // the private key as a CryptoAPI PRIVATEKEYBLOB
};

// A card of the test PKI by name: pki/cards/<name>.der and <name>.keyblob.
TestCard loadTestCard(const std::string& name);

// The RSA PKCS#1 v1.5 signature of a SHA-1 or SHA-256 DigestInfo with the card's key,
// most significant octet first, as a card returns it.
Bytes signDigestInfo(const TestCard& card, const Bytes& digestInfo);

// The SHA-1 digest of the bytes, by the signing engine's digest.
Bytes sha1Digest(const uint8_t* data, uint32_t length);
inline Bytes sha1Digest(const Bytes& data) { return sha1Digest(data.data(), static_cast<uint32_t>(data.size())); }

// The card's signature over the content: SHA-1, DigestInfo, RSA, with the
// engine's own digest and DigestInfo.
Bytes signContent(const TestCard& card, const uint8_t* content, uint32_t length);

// A complete SignedFile of the content, signed with the card's key.
Bytes buildSignedFile(const TestCard& card, const Bytes& content, const Bytes& personalData);

// The same in the CAdES form, signed now (the content must not be empty).
Bytes buildCadesSignedFile(const TestCard& card, const Bytes& content, const Bytes& personalData);

// A signer of `card` over `data` for the SignedData builder: over the
// data's SHA-1 digest, or, with signed attributes, over their DER;
// `breakIt` spoils the signature.
der_builder::Signer signerOf(const TestCard& card, const Bytes& data, const Bytes& signedAttributes = {},
                             bool breakIt = false);

// A counter-signer of `parent`: over the parent's signature value, with a
// message-digest attribute of its SHA-1 (of `digested` instead, when given),
// or without signed attributes.
der_builder::Signer counterSignerOf(const TestCard& card, const der_builder::Signer& parent, bool withAttributes = true,
                                   const Bytes* digested = nullptr);

// The unsigned counter-signature attribute holding these counter-signers.
Bytes counterSignatureAttribute(std::initializer_list<der_builder::Signer> counterSigners);

// How timestampToken makes a token: by the test PKI's card `authority`, of
// `time`, over the SHA-1 of `imprinted` (the stamped signature when null),
// with a signing-certificate attribute naming the authority's certificate
// (`bindCertificate`); `breakIt` spoils the authority's signature.
struct TokenRecipe {
    const char* authority = "tsa";
    const char* time = "20210601120000Z";
    const Bytes* imprinted = nullptr;
    bool bindCertificate = true;
    bool breakIt = false;
};

// A time-stamp token (a SignedData of a TSTInfo) over `stamped`'s signature value.
Bytes timestampToken(const der_builder::Signer& stamped, const TokenRecipe& recipe);

// The unsigned time-stamp token attribute holding `token`.
Bytes timestampAttribute(const Bytes& token);
