#include "rsa_signer.h"

#include <cstring>

namespace cardsim {
namespace {

using Limbs = std::vector<uint32_t>;  // little-endian 32-bit limbs

constexpr uint8_t PRIVATEKEYBLOB_TYPE = 7;
constexpr uint32_t RSA2_MAGIC = 0x32415352;  // "RSA2"
constexpr size_t BLOB_HEADER_BYTES = 8 + 12;  // BLOBHEADER, RSAPUBKEY

uint32_t readLe32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

Limbs limbsFromLittleEndian(const uint8_t* bytes, size_t count, size_t limbCount) {
    Limbs out(limbCount, 0);
    for (size_t i = 0; i < count; ++i) out[i / 4] |= uint32_t{bytes[i]} << (8 * (i % 4));
    return out;
}

Limbs limbsFromBigEndian(const Bytes& bytes, size_t limbCount) {
    Limbs out(limbCount, 0);
    const size_t n = bytes.size();
    for (size_t i = 0; i < n; ++i) out[i / 4] |= uint32_t{bytes[n - 1 - i]} << (8 * (i % 4));
    return out;
}

// Montgomery arithmetic modulo an odd n of k limbs, R = 2^(32k).
class Montgomery {
public:
    explicit Montgomery(const Limbs& n) : n_(n), k_(n.size()) {
        // -n^-1 mod 2^32 by Newton's iteration.
        uint32_t inverse = 1;
        for (int i = 0; i < 5; ++i) inverse *= 2 - n_[0] * inverse;
        n0inv_ = 0u - inverse;
        // R^2 mod n by doubling 1 the 2*32*k times, reducing as it goes.
        Limbs r(k_ + 1, 0);
        r[0] = 1;
        for (size_t i = 0; i < 64 * k_; ++i) {
            uint32_t carry = 0;
            for (size_t j = 0; j <= k_; ++j) {
                const uint32_t next = r[j] >> 31;
                r[j] = r[j] << 1 | carry;
                carry = next;
            }
            if (!lessThanN(r)) subtractN(r);
        }
        r2_.assign(r.begin(), r.begin() + k_);
    }

    // a * b * R^-1 mod n (coarsely integrated operand scanning).
    Limbs multiply(const Limbs& a, const Limbs& b) const {
        Limbs t(k_ + 2, 0);
        for (size_t i = 0; i < k_; ++i) {
            uint64_t carry = 0;
            for (size_t j = 0; j < k_; ++j) {
                const uint64_t s = uint64_t{t[j]} + uint64_t{a[j]} * b[i] + carry;
                t[j] = static_cast<uint32_t>(s);
                carry = s >> 32;
            }
            uint64_t s = uint64_t{t[k_]} + carry;
            t[k_] = static_cast<uint32_t>(s);
            t[k_ + 1] = static_cast<uint32_t>(s >> 32);

            const uint32_t m = t[0] * n0inv_;
            carry = (uint64_t{t[0]} + uint64_t{m} * n_[0]) >> 32;
            for (size_t j = 1; j < k_; ++j) {
                s = uint64_t{t[j]} + uint64_t{m} * n_[j] + carry;
                t[j - 1] = static_cast<uint32_t>(s);
                carry = s >> 32;
            }
            s = uint64_t{t[k_]} + carry;
            t[k_ - 1] = static_cast<uint32_t>(s);
            t[k_] = t[k_ + 1] + static_cast<uint32_t>(s >> 32);
        }
        t.resize(k_ + 1);
        if (!lessThanN(t)) subtractN(t);
        t.resize(k_);
        return t;
    }

    // base^exponent mod n, for a base below n.
    Limbs power(const Limbs& base, const Limbs& exponent) const {
        Limbs one(k_, 0);
        one[0] = 1;
        const Limbs b = multiply(base, r2_);
        Limbs result = multiply(one, r2_);  // R mod n: one in Montgomery form
        for (size_t i = exponent.size(); i-- > 0;) {
            for (int bit = 31; bit >= 0; --bit) {
                result = multiply(result, result);
                if (exponent[i] >> bit & 1) result = multiply(result, b);
            }
        }
        return multiply(result, one);
    }

private:
    // For a value of k+1 limbs.
    bool lessThanN(const Limbs& v) const {
        if (v[k_] != 0) return false;
        for (size_t i = k_; i-- > 0;) {
            if (v[i] != n_[i]) return v[i] < n_[i];
        }
        return false;
    }
    void subtractN(Limbs& v) const {
        int64_t borrow = 0;
        for (size_t i = 0; i <= k_; ++i) {
            const int64_t d = int64_t{v[i]} - (i < k_ ? n_[i] : 0) - borrow;
            v[i] = static_cast<uint32_t>(d);
            borrow = d < 0 ? 1 : 0;
        }
    }

    Limbs n_;
    size_t k_;
    uint32_t n0inv_;
    Limbs r2_;
};

}  // namespace

uint32_t keyBlobModulusBytes(const Bytes& blob) {
    if (blob.size() < BLOB_HEADER_BYTES || blob[0] != PRIVATEKEYBLOB_TYPE ||
        readLe32(&blob[8]) != RSA2_MAGIC) {
        return 0;
    }
    const uint32_t bits = readLe32(&blob[12]);
    if (bits < 512 || bits > 16384 || bits % 16 != 0) return 0;
    const size_t bytes = bits / 8;
    // modulus, two primes, two exponents, coefficient, private exponent
    if (blob.size() < BLOB_HEADER_BYTES + bytes + 5 * (bytes / 2) + bytes) return 0;
    return bits / 8;
}

bool signPkcs1(const Bytes& keyBlob, const uint8_t* data, size_t length, Bytes* signature) {
    const uint32_t k = keyBlobModulusBytes(keyBlob);
    if (k == 0 || length + 11 > k) return false;
    const size_t limbs = (k + 3) / 4;
    const uint8_t* modulus = keyBlob.data() + BLOB_HEADER_BYTES;
    const uint8_t* privateExponent = modulus + k + 5 * (k / 2);
    const Limbs n = limbsFromLittleEndian(modulus, k, limbs);
    if ((n[0] & 1) == 0) return false;
    const Limbs d = limbsFromLittleEndian(privateExponent, k, limbs);

    // 00 01 FF ... FF 00 data
    Bytes block(k, 0xFF);
    block[0] = 0x00;
    block[1] = 0x01;
    block[k - length - 1] = 0x00;
    if (length > 0) std::memcpy(&block[k - length], data, length);

    const Limbs s = Montgomery(n).power(limbsFromBigEndian(block, limbs), d);
    signature->assign(k, 0);
    for (size_t i = 0; i < k; ++i) (*signature)[k - 1 - i] = static_cast<uint8_t>(s[i / 4] >> (8 * (i % 4)));
    return true;
}

}  // namespace cardsim
