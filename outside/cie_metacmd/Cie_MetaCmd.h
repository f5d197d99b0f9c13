/* The card middleware of the electronic identity card (CIE): one reader, one
 * process-wide connection. Every function returns 0 for success or an error
 * code; buffers are the caller's, and in/out lengths carry the capacity on
 * entry and the length written on return. */
#ifndef CIE_METACMD_H
#define CIE_METACMD_H

#include <windows.h>

#ifdef CIE_METACMD_EXPORTS
#define CIE_API __declspec(dllexport)
#else
#define CIE_API __declspec(dllimport)
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Opens the connection to the card. Errors: SCARD_E_NO_READERS_AVAILABLE or
 * SCARD_E_UNKNOWN_READER without a reader, SCARD_W_REMOVED_CARD (or 6) without
 * a card, other codes for other connection errors. `reserved` is NULL. */
CIE_API DWORD WINAPI CIE_Connect(void* reserved);

/* The card's answer-to-reset; *atrLength is 255 on entry. */
CIE_API DWORD WINAPI CIE_Read_ATR(BYTE* atr, BYTE* atrLength);

/* The personal-data record (text of length-prefixed fields). A failed read
 * leaves the buffer as it was. */
CIE_API DWORD WINAPI CIE_ReadDatiPersonaliRaw(BYTE* record, DWORD* recordLength);

/* 0 when the card accepts the PIN, 0x6300 when it refuses it. */
CIE_API DWORD WINAPI CIE_VerifyPIN(const char* pin, BYTE pinLength);

/* The card's RSA PKCS#1 v1.5 signature of `data` (the card pads it). */
CIE_API DWORD WINAPI CIE_Sign(const BYTE* data, BYTE dataLength, BYTE* signature,
                              DWORD* signatureLength);

/* The DER X.509 certificate of the card's signature key. */
CIE_API DWORD WINAPI CIE_ReadCCarta(BYTE* certificate, DWORD* certificateLength);

/* Closes the connection. */
CIE_API DWORD WINAPI CIE_Disconnect(void);

#ifdef __cplusplus
}
#endif

/* The code of a refused PIN. */
#define CIE_PIN_REFUSED 0x6300

#endif
