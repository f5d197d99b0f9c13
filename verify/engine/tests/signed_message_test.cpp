// The SignedData decoder on SignedFiles laid out by the signing engine, and on
// messages built here to reach the cases that engine never writes.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>

#include "signed_data_builder.h"
#include "signed_file_layout.h"
#include "signed_message.h"
#include "signer_display.h"

namespace {

using namespace der_builder;

Bytes readFile(const std::string& relative) {
    std::ifstream in(std::string(QUILL_TESTDATA_DIR) + "/" + relative, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Decodes a copy of `file` in a block of exactly its size, which the
// message's views point into until the next decode.
DecodeResult decode(const Bytes& file, SignedMessage* m) {
    static std::unique_ptr<ExactCopy> bytes;
    bytes = std::make_unique<ExactCopy>(file);
    return decodeSignedMessage({bytes->data(), bytes->size()}, m);
}

const std::string RECORD = "00007604Q5120801012020080101203005ROSSI05MARIO080101197001M0317510RSSMRA70A01L736S03ITA07VALDORA02IT0012VIA ROMA 1 VALDORA00";

// A SignedFile as the signing engine lays it out.
Bytes engineFile(const Bytes& content, const Bytes& certificate, const std::string& record) {
    Bytes issuer, serial;
    issuerAndSerialOf(certificate, &issuer, &serial);
    const Bytes signature(128, 0x11);
    auto range = [](const Bytes& b) { return ByteRange{b.data(), static_cast<uint32_t>(b.size())}; };
    const SignedFileParts parts{range(content), range(signature), range(certificate), range(issuer), range(serial),
                                {reinterpret_cast<const uint8_t*>(record.data()), static_cast<uint32_t>(record.size())}};
    uint32_t length = 0;
    assembleSignedFile(parts, nullptr, &length);
    Bytes file(length);
    assembleSignedFile(parts, file.data(), &length);
    return file;
}

Signer signerOf(const Bytes& certificate) {
    Signer s;
    issuerAndSerialOf(certificate, &s.issuer, &s.serial);
    s.signature = Bytes(128, 0x22);
    return s;
}

std::string contentOf(const SignedMessage& m, size_t* blocks = nullptr) {
    std::string s;
    forEachContentBlock(m, [&](ber::Span b) {
        s.append(reinterpret_cast<const char*>(b.data), b.size);
        if (blocks) ++*blocks;
        return true;
    });
    return s;
}

TEST(SignedMessage, DecodesTheEnginesLayout) {
    const Bytes cert = readFile("pki/cards/cie140.der");
    Bytes file = engineFile(Bytes(300, 'x'), cert, RECORD);
    file.insert(file.end(), {0x00, 0x00, 0x41});  // bytes after the message are ignored
    SignedMessage m;
    ASSERT_EQ(decode(file, &m), DecodeResult::Ok);
    EXPECT_TRUE(ber::isOid(m.contentType, oids::DATA));
    EXPECT_EQ(contentOf(m), std::string(300, 'x'));
    ASSERT_EQ(m.certificates.size(), 1u);
    EXPECT_EQ(m.certificates[0].der, (ber::Span{cert.data(), cert.size()}));
    ASSERT_EQ(m.signers.size(), 1u);
    const SignerInfo& s = m.signers[0];
    EXPECT_TRUE(s.version == 1 && !s.hasSignedAttributes && s.signature.size == 128);
    EXPECT_TRUE(ber::isOid(s.digestAlgorithm, oids::SHA1) && ber::isOid(s.signatureAlgorithm, oids::RSA_ENCRYPTION));
    const Attribute* personal = findAttribute(s.unsignedAttributes, oids::UNSTRUCTURED_NAME);
    PersonalDataName name;
    ASSERT_TRUE(personal != nullptr && readPersonalDataName(personal->values.at(0).whole, &name));
    EXPECT_EQ(name.joined(), "ROSSI/MARIO/RSSMRA70A01L736S");
    EXPECT_TRUE(isSubjectsOwnName(name, m.certificates[0].subject));
    EXPECT_TRUE(findSignerCertificate(m, s).matched);
}

// Small pieces are handed on gathered into blocks of up to 64 KiB; a large
// piece is handed on as it is.
TEST(SignedMessage, ContentInPiecesIsHandedOnInFewBlocks) {
    const Bytes cert = readFile("pki/cards/card144.der");
    const Bytes content = pattern(200000, 9);
    for (size_t pieces : {size_t{1}, size_t{100000}}) {
        SignedMessage m;
        ASSERT_EQ(decode(signedData(dataContent(content, pieces), {cert}, {signerInfo(signerOf(cert))}), &m),
                  DecodeResult::Ok);
        size_t blocks = 0;
        EXPECT_EQ(contentOf(m, &blocks), std::string(content.begin(), content.end()));
        EXPECT_EQ(blocks, pieces == 1 ? 1u : 4u) << pieces << " pieces";
    }
}

// (The loader's tests find certificates in any order and refuse another
// issuer's of the same serial.) Without a match the last certificate stands
// in, be it no certificate at all; without any there is none.
TEST(SignedMessage, WithoutTheSignersCertificateTheLastStandsIn) {
    const Bytes c140 = readFile("pki/cards/cie140.der"), c141 = readFile("pki/cards/cie141.der");
    SignedMessage m;
    ASSERT_EQ(decode(signedData(dataContent({'x'}), {c141, hex("30 00")}, {signerInfo(signerOf(c140))}), &m),
              DecodeResult::Ok);
    const CertificateChoice choice = findSignerCertificate(m, m.signers[0]);
    EXPECT_FALSE(choice.matched);
    EXPECT_EQ(choice.index, 1);
    ASSERT_EQ(decode(signedData(dataContent({'x'}), {}, {signerInfo(signerOf(c140))}), &m), DecodeResult::Ok);
    EXPECT_EQ(findSignerCertificate(m, m.signers[0]).index, -1);
}

TEST(SignedMessage, RefusesDetachedSignaturesOtherTypesAndNoSigner) {
    const Bytes cert = readFile("pki/cards/card144.der");
    const Bytes one = signerInfo(signerOf(cert));
    SignedMessage m;
    EXPECT_EQ(decode(signedData(tlv(0x30, DATA_OID), {cert}, {one}), &m), DecodeResult::NoContent);
    Bytes enveloped = signedData(dataContent({'x'}), {cert}, {one});
    enveloped[14] = 0x03;  // the outer type becomes envelopedData (1.2.840.113549.1.7.3)
    EXPECT_EQ(decode(enveloped, &m), DecodeResult::Malformed);
    EXPECT_EQ(decode(signedData(dataContent({'x'}), {cert}, {}), &m), DecodeResult::Malformed);
}

// Signers, certificates and content pieces each up to their limit, and one more.
TEST(SignedMessage, RefusesMoreThanAFileMayHold) {
    const Bytes cert = readFile("pki/cards/card144.der");
    const Bytes one = signerInfo(signerOf(cert));
    SignedMessage m;
    for (size_t extra : {0, 1}) {
        const DecodeResult expected = extra ? DecodeResult::OverLimit : DecodeResult::Ok;
        EXPECT_EQ(decode(signedData(dataContent({'x'}), {cert}, std::vector<Bytes>(MAX_SIGNERS + extra, one)), &m),
                  expected);
        std::vector<Bytes> junk(MAX_CERTIFICATES + extra - 1, hex("30 00"));
        junk.push_back(cert);
        EXPECT_EQ(decode(signedData(dataContent({'x'}), junk, {one}), &m), expected);

        // Content in one-byte pieces, written straight into the file: 04 01 xx each.
        const size_t pieces = MAX_CONTENT_PIECES + extra;
        Bytes octets(pieces * 3 + 4, 0x00);  // 24 80, the pieces, 00 00
        octets[0] = 0x24;
        octets[1] = 0x80;
        for (size_t i = 0; i < pieces; ++i) {
            octets[2 + 3 * i] = 0x04;
            octets[3 + 3 * i] = 0x01;
        }
        const Bytes content = tlv(0x30, cat({DATA_OID, tlv(0xA0, octets)}));
        EXPECT_EQ(decode(signedData(content, {cert}, {one}), &m), expected);
    }
    EXPECT_EQ(m.contentLength, MAX_CONTENT_PIECES);
}

// Counter-signers follow their parent, depth first, each knowing its parent
// and depth; they count towards the bound on signers.
TEST(SignedMessage, CounterSignersFollowTheirParentsDepthFirst) {
    const Bytes cert = readFile("pki/cards/card144.der");
    auto counterSigned = [&](Signer s, const std::vector<Bytes>& counterSigners) {
        Bytes values;
        for (const Bytes& c : counterSigners) values.insert(values.end(), c.begin(), c.end());
        s.unsignedAttributes = cat({personalDataAttribute(RECORD), attribute("2A864886F70D010906", values)});
        s.signature = Bytes(128, static_cast<uint8_t>(counterSigners.size()));
        return signerInfo(s);
    };
    const Bytes leaf = signerInfo(signerOf(cert));
    // first: [a: [a1], b], then second: [c]
    const Bytes first = counterSigned(signerOf(cert), {counterSigned(signerOf(cert), {leaf}), leaf});
    const Bytes second = counterSigned(signerOf(cert), {leaf});
    SignedMessage m;
    ASSERT_EQ(decode(signedData(dataContent({'x'}), {cert}, {first, second}), &m), DecodeResult::Ok);
    ASSERT_EQ(m.signers.size(), 6u);
    const int parents[] = {-1, 0, 1, 0, -1, 4}, depths[] = {0, 1, 2, 1, 0, 1};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(m.signers[i].parent, parents[i]) << i;
        EXPECT_EQ(m.signers[i].depth, depths[i]) << i;
    }
    EXPECT_EQ(m.signers[0].signature.size, 128u);
    EXPECT_EQ(m.signers[0].signature.data[0], 2);  // the signer with two counter-signers
    EXPECT_EQ(m.signers[1].signature.data[0], 1);

    // 100 signers in all, counter-signers included, and one more.
    for (size_t extra : {0, 1}) {
        const std::vector<Bytes> counterSigners(MAX_SIGNERS - 2 + extra, leaf);
        EXPECT_EQ(decode(signedData(dataContent({'x'}), {cert}, {counterSigned(signerOf(cert), counterSigners), leaf}), &m),
                  extra ? DecodeResult::OverLimit : DecodeResult::Ok);
    }
    // A counter-signature value that is no SignerInfo is a counter-signer of
    // its own, marked unreadable: unsigned, anybody could add it.
    Signer spoiled = signerOf(cert);
    spoiled.unsignedAttributes = attribute("2A864886F70D010906", cat({hex("04 01 00"), leaf}));
    ASSERT_EQ(decode(signedData(dataContent({'x'}), {cert}, {signerInfo(spoiled)}), &m), DecodeResult::Ok);
    ASSERT_EQ(m.signers.size(), 3u);
    EXPECT_TRUE(m.signers[1].unreadable);
    EXPECT_EQ(m.signers[1].parent, 0);
    EXPECT_FALSE(m.signers[2].unreadable);
    // A signer of the content that is no SignerInfo is a malformed file.
    EXPECT_EQ(decode(signedData(dataContent({'x'}), {cert}, {signerInfo(signerOf(cert)), hex("04 01 00")}), &m),
              DecodeResult::Malformed);
}

// Every structure is read to its end: an element it does not allow, or bytes
// left over inside it, is a malformed file, since nothing signs them; only
// bytes after the outer element stay allowed, and BER's indefinite lengths.
TEST(SignedMessage, BytesThatNoStructureAllowsAreRefused) {
    const Bytes cert = readFile("pki/cards/card144.der");
    const Bytes unsignedBytes = hex("04 05 45 58 54 52 41");  // "EXTRA", where nothing signs it
    const Bytes content = dataContent({'x'});
    const Bytes info = signerInfo(signerOf(cert));
    auto innerBytes = [](const Bytes& element) {
        const Element e = elementAt(element, 0);
        return Bytes(element.begin() + e.contentStart, element.begin() + e.contentStart + e.contentLength);
    };
    auto inside = [&](const Bytes& element, const Bytes& added) {  // the same element, with bytes added at its end
        return tlv(element[0], cat({innerBytes(element), added}));
    };
    const Bytes signedDataOid = hex("06 09 2A 86 48 86 F7 0D 01 07 02");
    auto message = [&](const Bytes& encapsulated, const Bytes& certificates, const Bytes& infos, const Bytes& inData,
                       const Bytes& inWrapper, const Bytes& inContentInfo) {
        const Bytes signedDataBody = cat({hex("02 01 01"), tlv(0x31, SHA1_ALGORITHM), encapsulated,
                                          tlv(0xA0, certificates), tlv(0x31, infos), inData});
        return tlv(0x30, cat({signedDataOid, tlv(0xA0, cat({tlv(0x30, signedDataBody), inWrapper})), inContentInfo}));
    };
    auto withSigner = [&](Signer s) { return message(content, cert, signerInfo(s), {}, {}, {}); };
    Signer extraInAlgorithm = signerOf(cert), extraInAttribute = signerOf(cert);
    extraInAlgorithm.digestAlgorithm = inside(SHA1_ALGORITHM, unsignedBytes);
    extraInAttribute.unsignedAttributes = inside(personalDataAttribute(RECORD), unsignedBytes);
    const Bytes honest = message(content, cert, info, {}, {}, {});
    const Bytes indefinite = cat({hex("30 80"), innerBytes(honest), hex("00 00")});
    const struct { const char* what; Bytes file; DecodeResult result; } rows[] = {
        {"an honest message", honest, DecodeResult::Ok},
        {"bytes after the outer element", cat({honest, unsignedBytes}), DecodeResult::Ok},
        {"the outer element of indefinite length", indefinite, DecodeResult::Ok},
        {"an element after the SignedData's content", message(content, cert, info, {}, {}, unsignedBytes),
         DecodeResult::Malformed},
        {"an element after the SignedData in its [0]", message(content, cert, info, {}, unsignedBytes, {}),
         DecodeResult::Malformed},
        {"an element after signerInfos", message(content, cert, info, unsignedBytes, {}, {}), DecodeResult::Malformed},
        {"a second [0] content",
         message(inside(content, tlv(0xA0, unsignedBytes)), cert, info, {}, {}, {}), DecodeResult::Malformed},
        {"bytes after the content's OCTET STRING",
         message(tlv(0x30, cat({DATA_OID, tlv(0xA0, cat({tlv(0x04, {'x'}), unsignedBytes}))})), cert, info, {}, {}, {}),
         DecodeResult::Malformed},
        {"a certificate set holding what is no certificate", message(content, cat({hex("05 00"), cert}), info, {}, {}, {}),
         DecodeResult::Malformed},
        {"bytes left over in a SignerInfo", message(content, cert, inside(info, unsignedBytes), {}, {}, {}),
         DecodeResult::Malformed},
        {"bytes left over in an algorithm identifier", withSigner(extraInAlgorithm), DecodeResult::Malformed},
        {"bytes left over in an attribute", withSigner(extraInAttribute), DecodeResult::Malformed},
    };
    for (const auto& row : rows) {
        SignedMessage m;
        EXPECT_EQ(decode(row.file, &m), row.result) << row.what;
    }
}

TEST(SignedMessage, EveryTruncationIsRefused) {
    const Bytes file = engineFile(Bytes(40, 'x'), readFile("pki/cards/cie140.der"), RECORD);
    for (size_t length = 0; length < file.size(); ++length) {
        SignedMessage m;
        EXPECT_NE(decode(Bytes(file.begin(), file.begin() + length), &m), DecodeResult::Ok) << length;
    }
}

}  // namespace
