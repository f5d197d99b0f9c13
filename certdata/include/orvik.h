/* orvik.dll: one X.509 certificate as the display texts of a certificate
 * viewer. C and C++ callers include this header alone.
 *
 *   AllocOrvikMem();                      opens the library's private heap
 *   CertificateData data = {0};
 *   char mail[256];
 *   data.pszMailAddress = mail;           or NULL; the library never allocates it
 *   GetCertificateDataFromFile("ca.cer", &data);
 *   printf("%s\n%s\n", data.pszVersion, data.pszValidTo);
 *   FreeOrvikMem();                       every text of the record goes
 *
 * GetSignerCommonNameCertificateData and GetCRLAddress open and close the heap
 * themselves: call them outside an Alloc/Free bracket. */
#ifndef ORVIK_H
#define ORVIK_H

#include <windows.h>
#include <wincrypt.h>

#ifdef __cplusplus
extern "C" {
#endif

#ifdef ORVIK_BUILDING
#define ORVIK_API __declspec(dllexport)
#else
#define ORVIK_API __declspec(dllimport)
#endif

typedef struct KeyUsageNode {
    char* pszText;
    struct KeyUsageNode* pNext;
} KeyUsageNode;

typedef struct NameAttributeNode {
    char* pszName;       /* display name of the attribute type */
    char* pszValue;      /* the value, in the ANSI code page */
    char* pszValueType;  /* the platform's string-type code, lower-case hexadecimal */
    struct NameAttributeNode* pNext;
} NameAttributeNode;

typedef struct ExtensionNode {
    char* pszName;
    char* pszValue;
    struct ExtensionNode* pNext;
} ExtensionNode;

typedef struct CertificateData {
    DWORD dwReserved;             /* 0, or ORVIK_INCOMPLETE_* bits: the record lacks something */
    DWORD dwIssuerCheck;          /* 0, 2 (outside its validity) or 0x20000 (no issuer found) */
    char* pszSignatureAlgorithm;
    char* pszPublicKeyAlgorithm;
    char* pszValidFrom;
    char* pszValidTo;
    char* pszThumbprint;
    char* pszSha1Hash;            /* NULL when the digest could not be made */
    char* pszPublicKey;
    char* pszMailAddress;         /* input: the caller's buffer, or NULL */
    KeyUsageNode* pKeyUsage;
    char* pszSerialNumber;
    char* pszVersion;
    NameAttributeNode* pSubject;  /* reverse encoded order: common name first */
    NameAttributeNode* pIssuer;
    ExtensionNode* pExtensions;   /* non-critical; NULL when none */
    ExtensionNode* pCriticalExtensions;
} CertificateData;

/* Bits of dwReserved for a record that could not be completed. */
#define ORVIK_INCOMPLETE_HEAP 0x1        /* the 64000-byte heap was full: some texts are NULL */
#define ORVIK_INCOMPLETE_THUMBPRINT 0x2  /* the platform gave no thumbprint */
#define ORVIK_INCOMPLETE_CONVERSION 0x4  /* an extension's text could not be converted */
#define ORVIK_INCOMPLETE_MEMORY 0x8      /* memory ran out outside that heap: some texts or nodes are missing */

#define CRL_ADDRESS_URL 0xF1
#define CRL_ADDRESS_IP 0xF2
typedef struct CrlAddress {
    char szAddress[260];
    DWORD dwKind;
} CrlAddress;

/* A null argument (certificate, record, name, array, count) or a zero length.
 * GetSignerCommonNameCertificateData answers -1 for a null certificate, as
 * for one without a common name. Memory running out inside a call gives
 * ERROR_NOT_ENOUGH_MEMORY (8), with ORVIK_INCOMPLETE_MEMORY in the record,
 * or -1 from the two calls whose failure is -1;
 * a file that holds no certificate gives CRYPT_E_NOT_FOUND. No call lets an
 * exception reach its caller. */
#define ORVIK_NO_ARGUMENT 0xFFFFF

ORVIK_API int __cdecl AllocOrvikMem(void);
ORVIK_API int __cdecl FreeOrvikMem(void);
ORVIK_API void __cdecl GetCertificateData(PCCERT_CONTEXT certificate, CertificateData* data);
ORVIK_API int __cdecl GetCertificateDataFromContext(PCCERT_CONTEXT certificate, CertificateData* data);
ORVIK_API int __cdecl GetCertificateDataFromBuffer(const BYTE* encoded, DWORD length, CertificateData* data);
ORVIK_API int __cdecl GetCertificateDataFromFile(const char* fileName, CertificateData* data);
ORVIK_API int __cdecl GetSubjectMailAddress(PCCERT_CONTEXT certificate, char* buffer);
ORVIK_API int __cdecl GetSignerCommonNameCertificateData(PCCERT_CONTEXT certificate, char* buffer);
ORVIK_API int __cdecl GetCRLAddress(PCCERT_CONTEXT certificate, CrlAddress* addresses, DWORD* count);

#ifdef __cplusplus
}
#endif

#endif /* ORVIK_H */
