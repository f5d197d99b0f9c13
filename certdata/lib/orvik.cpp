// orvik.dll: the record of display texts for one certificate (orvik.h).
// Texts held by the record lie in one private heap of 64000 bytes that does
// not grow; the key-usage and extension texts come from the process heap.
#define ORVIK_BUILDING
#include "orvik.h"

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "ansi_text.h"
#include "decoded_object.h"
#include "extension_texts.h"
#include "name_tables.h"
#include "text_formats.h"

namespace {

constexpr SIZE_T PRIVATE_HEAP_SIZE = 64000;
constexpr DWORD ENCODING = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
constexpr int TEXT_BLOCK = 260;
constexpr int TEXT_VERSION = 121, TEXT_NONE = 122;
constexpr char EMAIL_OID[] = "1.2.840.113549.1.9.1";
constexpr char CRL_POINTS_OID[] = "2.5.29.31";

HANDLE g_heap = nullptr;
HMODULE g_module = nullptr;

// The record being filled: what could not be completed goes into dwReserved.
struct Filling {
    CertificateData* data;
    void incomplete(DWORD why) { data->dwReserved |= why; }
};

// A zero-filled block of the private heap; null when the heap is full.
char* privateBlock(Filling& f, size_t size) {
    void* block = g_heap ? HeapAlloc(g_heap, HEAP_ZERO_MEMORY, size) : nullptr;
    if (block == nullptr) f.incomplete(ORVIK_INCOMPLETE_HEAP);
    return static_cast<char*>(block);
}

char* privateText(Filling& f, const std::string& text) {
    char* block = privateBlock(f, text.size() + 1);
    if (block) std::memcpy(block, text.c_str(), text.size() + 1);
    return block;
}

// A zero-filled block of the process heap, kept until the process ends; null
// when the heap has no room, which the record says.
void* processBlock(Filling& f, size_t size) {
    void* block = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size);
    if (block == nullptr) f.incomplete(ORVIK_INCOMPLETE_MEMORY);
    return block;
}

char* processText(Filling& f, const std::string& text) {
    char* block = static_cast<char*>(processBlock(f, text.size() + 1));
    if (block) std::memcpy(block, text.c_str(), text.size() + 1);
    return block;
}

std::string libraryText(int id) {
    char text[TEXT_BLOCK] = "";
    LoadStringA(g_module, id, text, sizeof text);
    return text;
}

std::string hexPairs(const BYTE* bytes, size_t length) {
    std::string text(writeHexPairs(bytes, length, nullptr), '\0');
    writeHexPairs(bytes, length, &text[0]);
    return text.c_str();
}

// An attribute value as text: the 8-bit string kinds as they are; BMP and
// UTF-8 values (which the decoder gives as UTF-16) and universal strings (32-bit
// units) in the ANSI code page.
std::string valueText(const CERT_RDN_ATTR& attribute) {
    const CERT_RDN_VALUE_BLOB& v = attribute.Value;
    switch (attribute.dwValueType) {
    case CERT_RDN_BMP_STRING:
    case CERT_RDN_UTF8_STRING:
        return ansiText(reinterpret_cast<const wchar_t*>(v.pbData), static_cast<int>(v.cbData / 2));
    case CERT_RDN_UNIVERSAL_STRING: {
        std::wstring wide;
        for (DWORD i = 0; i + 4 <= v.cbData; i += 4) {
            const uint32_t c = *reinterpret_cast<const uint32_t*>(v.pbData + i);
            wide += c < 0x10000 ? static_cast<wchar_t>(c) : L'?';
        }
        return ansiText(wide.c_str(), static_cast<int>(wide.size()));
    }
    default:
        return std::string(reinterpret_cast<const char*>(v.pbData), v.cbData);
    }
}

// The decoded name (no copies: it points into the encoding); empty on failure.
std::vector<BYTE> decodedName(const CERT_NAME_BLOB& name, DWORD* error) {
    std::vector<BYTE> decoded = decodedObject(X509_NAME, name.pbData, name.cbData);
    if (decoded.empty() && error) *error = GetLastError();
    return decoded;
}

// The subject or issuer list: each relative name's first attribute, the
// record's list in the reverse of the encoded order.
NameAttributeNode* nameList(Filling& f, const CERT_NAME_BLOB& name) {
    const std::vector<BYTE> decoded = decodedName(name, nullptr);
    if (decoded.empty()) return nullptr;
    const CERT_NAME_INFO* info = reinterpret_cast<const CERT_NAME_INFO*>(decoded.data());
    NameAttributeNode* head = nullptr;
    for (DWORD i = 0; i < info->cRDN; ++i) {  // each new node goes in front
        if (info->rgRDN[i].cRDNAttr == 0) continue;
        const CERT_RDN_ATTR& attribute = info->rgRDN[i].rgRDNAttr[0];
        auto* node = reinterpret_cast<NameAttributeNode*>(privateBlock(f, sizeof(NameAttributeNode)));
        if (node == nullptr) break;
        if (const char* typeName = lookUpName(ATTRIBUTE_NAMES, attribute.pszObjId)) {
            node->pszName = privateText(f, typeName);
            node->pszValue = privateText(f, valueText(attribute));
            node->pszValueType = privateText(f, valueTypeText(attribute.dwValueType));
        }
        node->pNext = head;
        head = node;
    }
    return head;
}

// The first byte of the certificate's key usage; 0 when it declares none.
BYTE firstKeyUsageByte(PCCERT_CONTEXT certificate) {
    BYTE usage = 0xFE;
    if (CertGetIntendedKeyUsage(X509_ASN_ENCODING, certificate->pCertInfo, &usage, 1)) return usage;
    // Wine leaves the byte as it was when it finds no usage (and for some
    // certificates whose key-usage extension it does not read): the extension
    // is decoded here then, and its absence means none.
    const CERT_INFO* info = certificate->pCertInfo;
    const CERT_EXTENSION* e = CertFindExtension(szOID_KEY_USAGE, info->cExtension, info->rgExtension);
    if (e == nullptr) return 0;
    const std::vector<BYTE> decoded = decodedObject(X509_KEY_USAGE, e->Value.pbData, e->Value.cbData, 0);
    if (decoded.empty()) return 0;
    const auto* bits = reinterpret_cast<const CRYPT_BIT_BLOB*>(decoded.data());
    return bits->cbData > 0 ? bits->pbData[0] : 0;
}

KeyUsageNode* keyUsageList(Filling& f, PCCERT_CONTEXT certificate) {
    const BYTE usage = firstKeyUsageByte(certificate);
    std::vector<std::string> names;
    for (const KeyUsageName& k : KEY_USAGE_NAMES) {
        if (usage & k.bit) names.push_back(k.name);
    }
    if (names.empty()) names.push_back(libraryText(TEXT_NONE));
    auto* head = reinterpret_cast<KeyUsageNode*>(privateBlock(f, sizeof(KeyUsageNode)));
    if (head == nullptr) return nullptr;
    KeyUsageNode* node = head;
    for (size_t i = 0; i < names.size(); ++i) {
        if (i > 0) {
            node->pNext = static_cast<KeyUsageNode*>(processBlock(f, sizeof(KeyUsageNode)));
            node = node->pNext;
            if (node == nullptr) break;
        }
        node->pszText = processText(f, names[i]);
    }
    return head;
}

// The platform's multi-line rendering of a listed extension in the ANSI code
// page; the library's own where the platform has none; the printable form of
// the raw value when neither can render it.
std::string extensionText(Filling& f, const CERT_EXTENSION& e) {
    DWORD size = 0;
    const DWORD flags = CRYPT_FORMAT_STR_MULTI_LINE | CRYPT_FORMAT_STR_NO_HEX;
    if (CryptFormatObject(ENCODING, 0, flags, nullptr, e.pszObjId, e.Value.pbData, e.Value.cbData, nullptr, &size) &&
        size > 0) {
        std::vector<wchar_t> wide(size / sizeof(wchar_t) + 1, L'\0');
        if (CryptFormatObject(ENCODING, 0, flags, nullptr, e.pszObjId, e.Value.pbData, e.Value.cbData, wide.data(),
                              &size)) {
            const std::string text = ansiText(wide.data(), -1);
            if (text.empty()) f.incomplete(ORVIK_INCOMPLETE_CONVERSION);
            return text.c_str();
        }
    }
    // wchar_t is a UTF-16 unit on this platform.
    static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 wide characters");
    const std::u16string own = ownExtensionText(e.pszObjId, e.Value.pbData, e.Value.cbData);
    if (own.empty()) return printableForm(e.Value.pbData, e.Value.cbData);
    const std::string text = ansiText(reinterpret_cast<const wchar_t*>(own.c_str()), static_cast<int>(own.size()));
    if (text.empty()) f.incomplete(ORVIK_INCOMPLETE_CONVERSION);
    return text;
}

void extensionLists(Filling& f, PCCERT_CONTEXT certificate) {
    const CERT_INFO* info = certificate->pCertInfo;
    ExtensionNode* heads[2] = {nullptr, nullptr};
    ExtensionNode* tails[2] = {nullptr, nullptr};
    for (DWORD i = 0; i < info->cExtension; ++i) {
        const CERT_EXTENSION& e = info->rgExtension[i];
        const char* listed = lookUpName(EXTENSION_NAMES, e.pszObjId);
        const std::string name = listed ? listed : e.pszObjId;
        const std::string value = listed ? extensionText(f, e) : printableForm(e.Value.pbData, e.Value.cbData);
        const int list = e.fCritical ? 1 : 0;
        // The first node of each list in the private heap, the rest in the process heap.
        auto* node = static_cast<ExtensionNode*>(heads[list] ? processBlock(f, sizeof(ExtensionNode))
                                                              : privateBlock(f, sizeof(ExtensionNode)));
        if (node == nullptr) continue;
        node->pszName = processText(f, name);
        node->pszValue = processText(f, value);
        if (tails[list]) tails[list]->pNext = node; else heads[list] = node;
        tails[list] = node;
    }
    f.data->pExtensions = heads[0];
    f.data->pCriticalExtensions = heads[1];
}

// The issuer in the user's "CA" store, else in "root": 0, 2 (the certificate
// is outside its validity) or 0x20000 (none found whose key verifies it).
DWORD issuerCheck(PCCERT_CONTEXT certificate) {
    for (const wchar_t* storeName : {L"CA", L"root"}) {
        HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, storeName);
        if (store == nullptr) continue;
        DWORD flags = CERT_STORE_SIGNATURE_FLAG | CERT_STORE_TIME_VALIDITY_FLAG;
        PCCERT_CONTEXT candidate = CertGetIssuerCertificateFromStore(store, certificate, nullptr, &flags);
        const bool anyCandidate = candidate != nullptr;
        while (candidate != nullptr && (flags & CERT_STORE_SIGNATURE_FLAG)) {
            // The platform accepts only the check flags: reset them before each call.
            flags = CERT_STORE_SIGNATURE_FLAG | CERT_STORE_TIME_VALIDITY_FLAG;
            candidate = CertGetIssuerCertificateFromStore(store, certificate, candidate, &flags);
        }
        DWORD result = CERT_STORE_NO_ISSUER_FLAG;
        if (candidate != nullptr) {
            result = flags;
            CertFreeCertificateContext(candidate);
        }
        CertCloseStore(store, CERT_CLOSE_STORE_FORCE_FLAG);
        if (anyCandidate) return result;
    }
    return CERT_STORE_NO_ISSUER_FLAG;
}

std::string sha1Text(PCCERT_CONTEXT certificate) {
    HCRYPTPROV provider = 0;
    // A context without a key container: hashing needs no keys.
    if (!CryptAcquireContextA(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) return "";
    BYTE digest[20];
    DWORD size = sizeof digest;
    const bool hashed = CryptHashCertificate(provider, CALG_SHA1, 0, certificate->pbCertEncoded,
                                             certificate->cbCertEncoded, digest, &size) != FALSE;
    CryptReleaseContext(provider, 0);
    return hashed ? hexPairs(digest, size) : "";
}

std::string validity(const FILETIME& time) {
    const CalendarTime t = calendarTimeOf((uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime);
    return validityText(t, libraryText(static_cast<int>(t.weekday) + 1).c_str(),
                        libraryText(static_cast<int>(t.month) + 7).c_str());
}

// The value of the last e-mail attribute in encoded order, or false.
bool subjectMail(PCCERT_CONTEXT certificate, std::string* mail, DWORD* error) {
    const std::vector<BYTE> decoded = decodedName(certificate->pCertInfo->Subject, error);
    if (decoded.empty()) return false;
    const CERT_NAME_INFO* info = reinterpret_cast<const CERT_NAME_INFO*>(decoded.data());
    bool found = false;
    for (DWORD i = 0; i < info->cRDN; ++i) {
        if (info->rgRDN[i].cRDNAttr == 0) continue;
        const CERT_RDN_ATTR& a = info->rgRDN[i].rgRDNAttr[0];
        if (std::strcmp(a.pszObjId, EMAIL_OID) == 0) {
            mail->assign(reinterpret_cast<const char*>(a.Value.pbData), a.Value.cbData);
            found = true;
        }
    }
    return found;
}

// Every text of the record, in the order the record lists them.
void fillTexts(Filling& f, PCCERT_CONTEXT certificate) {
    CertificateData* data = f.data;
    if (g_heap) HeapCompact(g_heap, 0);
    if (data->pszMailAddress) {
        std::string mail;
        if (subjectMail(certificate, &mail, nullptr)) std::memcpy(data->pszMailAddress, mail.c_str(), mail.size() + 1);
    }
    data->dwIssuerCheck = issuerCheck(certificate);
    const CERT_INFO* info = certificate->pCertInfo;
    data->pKeyUsage = keyUsageList(f, certificate);
    // An algorithm outside the table gives an empty text.
    const char* signature = lookUpName(ALGORITHM_NAMES, info->SignatureAlgorithm.pszObjId);
    data->pszSignatureAlgorithm = privateText(f, signature ? signature : "");
    std::string version = libraryText(TEXT_VERSION);
    if (info->dwVersion <= 2) version += " " + std::to_string(info->dwVersion + 1);
    if ((data->pszVersion = privateBlock(f, TEXT_BLOCK))) std::snprintf(data->pszVersion, TEXT_BLOCK, "%s", version.c_str());
    const char* keyAlgorithm = lookUpName(ALGORITHM_NAMES, info->SubjectPublicKeyInfo.Algorithm.pszObjId);
    data->pszPublicKeyAlgorithm = privateText(f, keyAlgorithm ? keyAlgorithm : "");
    data->pszPublicKey = privateText(f, hexPairs(info->SubjectPublicKeyInfo.PublicKey.pbData,
                                                 info->SubjectPublicKeyInfo.PublicKey.cbData));
    // The platform keeps the serial number least significant byte first.
    std::vector<BYTE> serial(info->SerialNumber.pbData, info->SerialNumber.pbData + info->SerialNumber.cbData);
    data->pszSerialNumber = privateText(f, hexPairs(std::vector<BYTE>(serial.rbegin(), serial.rend()).data(), serial.size()));
    BYTE thumbprint[64];
    DWORD size = sizeof thumbprint;
    if (CertGetCertificateContextProperty(certificate, CERT_SHA1_HASH_PROP_ID, thumbprint, &size)) {
        data->pszThumbprint = privateText(f, hexPairs(thumbprint, size));
    } else {
        data->pszThumbprint = nullptr;  // never a text of an earlier bracket
        f.incomplete(ORVIK_INCOMPLETE_THUMBPRINT);
    }
    const std::string sha1 = sha1Text(certificate);
    data->pszSha1Hash = sha1.empty() ? nullptr : privateText(f, sha1);
    data->pszValidFrom = privateText(f, validity(info->NotBefore));
    data->pszValidTo = privateText(f, validity(info->NotAfter));
    data->pSubject = nameList(f, info->Subject);
    data->pIssuer = nameList(f, info->Issuer);
    extensionLists(f, certificate);
}

// The record filled: 0; or ERROR_NOT_ENOUGH_MEMORY when memory ran out,
// which leaves it incomplete and says so.
int fillRecord(PCCERT_CONTEXT certificate, CertificateData* data) {
    Filling f{data};
    data->dwReserved = 0;
    try {
        fillTexts(f, certificate);
        return 0;
    } catch (...) {
        f.incomplete(ORVIK_INCOMPLETE_MEMORY);
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) g_module = instance;
    return TRUE;
}

int __cdecl AllocOrvikMem(void) {
    g_heap = HeapCreate(0, PRIVATE_HEAP_SIZE, PRIVATE_HEAP_SIZE);
    return g_heap ? 0 : static_cast<int>(GetLastError());
}

int __cdecl FreeOrvikMem(void) {
    if (g_heap == nullptr) return 0;
    const BOOL destroyed = HeapDestroy(g_heap);
    g_heap = nullptr;
    return destroyed ? 0 : static_cast<int>(GetLastError());
}

void __cdecl GetCertificateData(PCCERT_CONTEXT certificate, CertificateData* data) {
    if (certificate != nullptr && data != nullptr) fillRecord(certificate, data);
}

int __cdecl GetCertificateDataFromContext(PCCERT_CONTEXT certificate, CertificateData* data) {
    if (certificate == nullptr || data == nullptr) return ORVIK_NO_ARGUMENT;
    return fillRecord(certificate, data);
}

int __cdecl GetCertificateDataFromBuffer(const BYTE* encoded, DWORD length, CertificateData* data) {
    if (length == 0 || encoded == nullptr || data == nullptr) return ORVIK_NO_ARGUMENT;
    PCCERT_CONTEXT certificate = CertCreateCertificateContext(ENCODING, encoded, length);
    if (certificate == nullptr) return static_cast<int>(GetLastError());
    const int result = fillRecord(certificate, data);
    CertFreeCertificateContext(certificate);  // the texts are copies
    return result;
}

int __cdecl GetCertificateDataFromFile(const char* fileName, CertificateData* data) {
    if (fileName == nullptr || data == nullptr) return ORVIK_NO_ARGUMENT;
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_FILENAME_A, ENCODING, 0, CERT_STORE_OPEN_EXISTING_FLAG, fileName);
    if (store == nullptr) {
        const DWORD error = GetLastError();
        return error ? static_cast<int>(error) : -1;
    }
    // The first certificate in store order; a store without one (an empty
    // one, a message holding only a list) is no certificate file.
    PCCERT_CONTEXT certificate = CertEnumCertificatesInStore(store, nullptr);
    int result = static_cast<int>(CRYPT_E_NOT_FOUND);
    if (certificate != nullptr) {
        result = fillRecord(certificate, data);
        CertFreeCertificateContext(certificate);
    }
    CertCloseStore(store, 0);
    return result;
}

int __cdecl GetSubjectMailAddress(PCCERT_CONTEXT certificate, char* buffer) {
    if (certificate == nullptr) return ORVIK_NO_ARGUMENT;
    try {
        std::string mail;
        DWORD error = 0;
        const bool found = subjectMail(certificate, &mail, &error);
        if (error) return static_cast<int>(error);
        if (found && buffer) std::memcpy(buffer, mail.c_str(), mail.size() + 1);
        return 0;
    } catch (...) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

int __cdecl GetSignerCommonNameCertificateData(PCCERT_CONTEXT certificate, char* buffer) {
    if (certificate == nullptr) return -1;
    AllocOrvikMem();
    int result = -1;
    try {
        CertificateData scratch{};
        Filling f{&scratch};
        for (NameAttributeNode* n = nameList(f, certificate->pCertInfo->Subject); n; n = n->pNext) {
            if (n->pszName && std::strcmp(n->pszName, "COMMON NAME") == 0 && n->pszValue) {
                if (buffer) std::strcpy(buffer, n->pszValue);
                result = buffer ? 0 : static_cast<int>(std::strlen(n->pszValue) + 1);
                break;
            }
        }
    } catch (...) {
        result = -1;
    }
    FreeOrvikMem();
    return result;
}

namespace {

// The distribution points into the caller's array: -1 when there is none
// that can be read.
int crlAddresses(PCCERT_CONTEXT certificate, CrlAddress* addresses, DWORD* count) {
    const CERT_INFO* info = certificate->pCertInfo;
    const CERT_EXTENSION* points = nullptr;
    for (DWORD i = 0; i < info->cExtension; ++i) {  // the last match wins
        if (_stricmp(info->rgExtension[i].pszObjId, CRL_POINTS_OID) == 0) points = &info->rgExtension[i];
    }
    if (points == nullptr) return -1;
    const std::vector<BYTE> decoded = decodedObject(CRL_POINTS_OID, points->Value.pbData, points->Value.cbData);
    if (decoded.empty()) return -1;
    const auto* list = reinterpret_cast<const CRL_DIST_POINTS_INFO*>(decoded.data());
    for (DWORD i = 0; i < list->cDistPoint; ++i) {
        const CRL_DIST_POINT_NAME& point = list->rgDistPoint[i].DistPointName;
        if (point.dwDistPointNameChoice != CRL_DIST_POINT_FULL_NAME || point.FullName.cAltEntry == 0) continue;
        const CERT_ALT_NAME_ENTRY& entry = point.FullName.rgAltEntry[0];
        CrlAddress& out = addresses[i];
        switch (entry.dwAltNameChoice) {
        case CERT_ALT_NAME_URL:
        case CERT_ALT_NAME_RFC822_NAME:
        case CERT_ALT_NAME_DNS_NAME:
            std::snprintf(out.szAddress, sizeof out.szAddress, "%s", ansiText(entry.pwszURL, -1).c_str());
            if (entry.dwAltNameChoice == CERT_ALT_NAME_URL) out.dwKind = CRL_ADDRESS_URL;
            break;
        case CERT_ALT_NAME_IP_ADDRESS:
            std::memset(out.szAddress, 0, sizeof out.szAddress);
            out.dwKind = CRL_ADDRESS_IP;
            break;
        case CERT_ALT_NAME_DIRECTORY_NAME:
        case CERT_ALT_NAME_REGISTERED_ID:
            std::memset(out.szAddress, 0, sizeof out.szAddress);
            break;
        default:
            break;
        }
    }
    if (list->cDistPoint == 0) return -1;
    *count = list->cDistPoint;
    return 0;
}

}  // namespace

int __cdecl GetCRLAddress(PCCERT_CONTEXT certificate, CrlAddress* addresses, DWORD* count) {
    if (certificate == nullptr || addresses == nullptr || count == nullptr) return ORVIK_NO_ARGUMENT;
    AllocOrvikMem();
    int result;
    try {
        result = crlAddresses(certificate, addresses, count);
    } catch (...) {
        result = -1;
    }
    FreeOrvikMem();
    return result;
}

// The interface's layout, as callers built against orvik.h rely on it.
static_assert(sizeof(CrlAddress) == 264, "CrlAddress is 260 bytes of text and a DWORD");
static_assert(sizeof(CertificateData) == 2 * sizeof(DWORD) + 15 * sizeof(void*), "two DWORDs and fifteen pointers");
static_assert(offsetof(CertificateData, pszMailAddress) == 2 * sizeof(DWORD) + 7 * sizeof(void*),
              "the mail buffer is the tenth field");
