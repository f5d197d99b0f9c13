// Whether a signer's certificate was issued for signing documents, from its
// key usage and extended key usage extensions. Platform-free.
#pragma once

#include "ber.h"

enum class CertificateUse {
    Signing,          // no extension forbids it
    KeyUsageOther,    // a key usage without digitalSignature and nonRepudiation
    ExtendedUseOther  // an extended key usage naming only other purposes
};

// `keyUsage` and `extendedKeyUsage` are the extensions' values (DER), empty
// when the certificate has none. A value that cannot be read allows nothing:
// KeyUsageOther or ExtendedUseOther. The other purposes are time stamping,
// OCSP signing, code signing and server or client authentication; any other
// purpose (e-mail protection, a document-signing purpose, any purpose) allows
// signing. Real qualified signing certificates carry nonRepudiation and no
// extended key usage.
CertificateUse certificateUseOf(ber::Span keyUsage, ber::Span extendedKeyUsage);
