#include "timestamp_info.h"

namespace oids {
const std::vector<uint8_t> TIMESTAMP_TOKEN = ber::oidFromText("1.2.840.113549.1.9.16.2.14");
const std::vector<uint8_t> TST_INFO = ber::oidFromText("1.2.840.113549.1.9.16.1.4");
const std::vector<uint8_t> KP_TIME_STAMPING = ber::oidFromText("1.3.6.1.5.5.7.3.8");
}  // namespace oids

bool readTstInfo(ber::Span der, TstInfo* out) {
    constexpr uint8_t GENERALIZED_TIME = 0x18;
    ber::Element info, version, policy, imprint, algorithm, serial, hashed;
    if (!ber::read(der, &info) || info.tag != ber::SEQUENCE || info.indefinite || info.whole.size != der.size) {
        return false;
    }
    ber::Reader fields(info);
    int number = 0;
    if (!fields.next(ber::INTEGER, &version) || !ber::smallInteger(version, &number) || number != 1 ||
        !fields.next(ber::OID, &policy) || !fields.next(ber::SEQUENCE, &imprint) ||
        !fields.next(ber::INTEGER, &serial) || !fields.next(GENERALIZED_TIME, &out->genTime)) {
        return false;
    }
    ber::Reader imprintFields(imprint);
    if (!imprintFields.next(ber::SEQUENCE, &algorithm) || !imprintFields.next(ber::OCTET_STRING, &hashed) ||
        !imprintFields.atEnd()) {
        return false;
    }
    ber::Reader algorithmFields(algorithm);
    if (!algorithmFields.next(ber::OID, &out->imprintAlgorithm)) return false;
    out->imprint = hashed.content;
    return true;
}
