// Per signer of a loaded SignedFile: name, expiry date, the state bits of the
// certificate, and the certificate.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <string>

#include "accepted_cas.h"
#include "ber.h"
#include "signed_file_record.h"

// Fills, for each signer of the message in `data`, its name and expiry date,
// adds NOT_YET_VALID, EXPIRED and CA_NOT_ACCEPTED to its status, and puts its
// certificate into handles[g] (the caller releases them). *count receives the
// signer count as soon as it is known. Returns 0, or the platform's error
// code when the message or a certificate cannot be read.
int32_t readSignerDetails(ber::Span data, const AcceptedCaTable& acceptedCas,
                          PCCERT_CONTEXT handles[MAX_SIGNERS],
                          char names[MAX_SIGNERS][SIGNER_TEXT_SIZE],
                          char dates[MAX_SIGNERS][SIGNER_TEXT_SIZE],
                          SignerStatus statuses[MAX_SIGNERS], int32_t* count);

// The value of the subject's first common name, or an empty text.
std::string subjectCommonName(PCCERT_CONTEXT certificate);
