#include "pkcs11_signer.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "file_io.h"
#include "message_box.h"
#include "message_format.h"
#include "pkcs11_interface.h"
#include "quillet_messages.h"
#include "result_codes.h"
#include "signature_form.h"

namespace {

constexpr CK_ULONG MAX_SLOTS = 10;
constexpr CK_ULONG MAX_FOUND = 32;
constexpr CK_ULONG CERTIFICATE_CAPACITY = 16384;
constexpr CK_ULONG ID_CAPACITY = 256;
// Room for a signature of a key of up to 4096 bits.
constexpr CK_ULONG SIGNATURE_CAPACITY = 512;
const char SIGNING_LABEL[] = {'S', 'i', 'g', 'n'};  // no terminator

// The twelve entry points that the back-end uses, resolved by name.
struct ModuleFunctions {
    CK_C_Initialize C_Initialize;
    CK_C_Finalize C_Finalize;
    CK_C_OpenSession C_OpenSession;
    CK_C_CloseAllSessions C_CloseAllSessions;
    CK_C_Login C_Login;
    CK_C_GetSlotList C_GetSlotList;
    CK_C_FindObjectsInit C_FindObjectsInit;
    CK_C_FindObjects C_FindObjects;
    CK_C_FindObjectsFinal C_FindObjectsFinal;
    CK_C_GetAttributeValue C_GetAttributeValue;
    CK_C_SignInit C_SignInit;
    CK_C_Sign C_Sign;
};

// A module without one of the entry points: handled as an exception.
struct MissingEntryPoint {};

template <typename Function>
void resolve(HMODULE module, const char* name, Function* out) {
    FARPROC address = GetProcAddress(module, name);
    if (address == nullptr) throw MissingEntryPoint{};
    *out = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

ModuleFunctions resolveAll(HMODULE m) {
    ModuleFunctions f{};
    resolve(m, "C_Initialize", &f.C_Initialize);
    resolve(m, "C_Finalize", &f.C_Finalize);
    resolve(m, "C_OpenSession", &f.C_OpenSession);
    resolve(m, "C_CloseAllSessions", &f.C_CloseAllSessions);
    resolve(m, "C_Login", &f.C_Login);
    resolve(m, "C_GetSlotList", &f.C_GetSlotList);
    resolve(m, "C_FindObjectsInit", &f.C_FindObjectsInit);
    resolve(m, "C_FindObjects", &f.C_FindObjects);
    resolve(m, "C_FindObjectsFinal", &f.C_FindObjectsFinal);
    resolve(m, "C_GetAttributeValue", &f.C_GetAttributeValue);
    resolve(m, "C_SignInit", &f.C_SignInit);
    resolve(m, "C_Sign", &f.C_Sign);
    return f;
}

// What is open of the module during one call. Closing down goes in the one
// order the module expects: sessions, then the library's state, then the DLL.
class ModuleRun {
public:
    ~ModuleRun() {
        if (sessionOpen) f.C_CloseAllSessions(slot);
        if (initialized) f.C_Finalize(nullptr);
        if (module != nullptr) FreeLibrary(module);
    }
    HMODULE module = nullptr;
    ModuleFunctions f{};
    bool initialized = false;
    bool sessionOpen = false;
    CK_SLOT_ID slot = 0;
};

int32_t fail(const char* message, int32_t result) {
    showMessageBox(GetDesktopWindow(), message, "SIGN ERROR", MB_ICONEXCLAMATION | MB_OK);
    return result;
}

int32_t failWithCode(const char* message, CK_RV rv) {
    return fail(formatMessage(message, static_cast<int>(rv)).c_str(), SIGN_ERR_GENERIC);
}

// C_FindObjectsInit, C_FindObjects, C_FindObjectsFinal: the first object that
// matches the template, or false.
bool findFirst(const ModuleFunctions& f, CK_SESSION_HANDLE session, CK_ATTRIBUTE* tmpl,
               CK_ULONG count, CK_OBJECT_HANDLE* found) {
    if (f.C_FindObjectsInit(session, tmpl, count) != CKR_OK) return false;
    CK_OBJECT_HANDLE handles[MAX_FOUND];
    CK_ULONG foundCount = 0;
    const CK_RV rv = f.C_FindObjects(session, handles, MAX_FOUND, &foundCount);
    f.C_FindObjectsFinal(session);
    if (rv != CKR_OK || foundCount == 0) return false;
    *found = handles[0];
    return true;
}

int32_t signWithModule(ModuleRun& run, SignatureForm form, const char* inputPath, const char* outputPath,
                       const char* pin) {
    const ModuleFunctions& f = run.f;

    FileContent content;
    const ReadResult read = readFileContent(inputPath, &content);
    if (read == ReadResult::NotOpenable) return fail(quillet_messages::MODULE_FILE_NOT_FOUND, SIGN_ERR_GENERIC);
    if (read == ReadResult::TooLarge) throw std::bad_alloc();

    CK_RV rv = f.C_Initialize(nullptr);
    if (rv != CKR_OK) return failWithCode(quillet_messages::MODULE_NOT_INITIALIZED, rv);
    run.initialized = true;

    CK_SLOT_ID slots[MAX_SLOTS];
    CK_ULONG slotCount = MAX_SLOTS;
    rv = f.C_GetSlotList(CK_TRUE, slots, &slotCount);
    if (rv != CKR_OK) return failWithCode(quillet_messages::MODULE_SLOTS_NOT_LISTED, rv);
    if (slotCount == 0) return fail(quillet_messages::MODULE_NO_CARD, SIGN_ERR_GENERIC);
    if (slotCount > 1) {
        return fail(formatMessage(quillet_messages::MODULE_SEVERAL_CARDS, static_cast<int>(slotCount)).c_str(), SIGN_ERR_GENERIC);
    }

    CK_SESSION_HANDLE session = 0;
    if (f.C_OpenSession(slots[0], CKF_SERIAL_SESSION | CKF_RW_SESSION, nullptr, nullptr,
                        &session) != CKR_OK) {
        return fail(quillet_messages::MODULE_CARD_NOT_RECOGNISED, SIGN_ERR_GENERIC);
    }
    run.sessionOpen = true;
    run.slot = slots[0];

    auto* pinText = reinterpret_cast<CK_UTF8CHAR*>(const_cast<char*>(pin));
    if (f.C_Login(session, CKU_USER, pinText, static_cast<CK_ULONG>(std::strlen(pin))) != CKR_OK) {
        return fail(quillet_messages::MODULE_PIN_WRONG, SIGN_ERR_PIN);
    }

    // The signature certificate: the first certificate labelled "Sign".
    CK_OBJECT_CLASS certificateClass = CKO_CERTIFICATE;
    CK_ATTRIBUTE certificateSearch[] = {
        {CKA_CLASS, &certificateClass, sizeof certificateClass},
        {CKA_LABEL, const_cast<char*>(SIGNING_LABEL), sizeof SIGNING_LABEL},
    };
    CK_OBJECT_HANDLE certificateObject = 0;
    if (!findFirst(f, session, certificateSearch, 2, &certificateObject)) {
        return fail(quillet_messages::MODULE_CERTIFICATE_NOT_FOUND, SIGN_ERR_GENERIC);
    }
    std::vector<uint8_t> certificate(CERTIFICATE_CAPACITY);
    std::vector<uint8_t> id(ID_CAPACITY);
    CK_ATTRIBUTE certificateValues[] = {
        {CKA_VALUE, certificate.data(), CERTIFICATE_CAPACITY},
        {CKA_ID, id.data(), ID_CAPACITY},
    };
    // Lengths beyond the buffers would carry stray memory into the SignedFile.
    if (f.C_GetAttributeValue(session, certificateObject, certificateValues, 2) != CKR_OK ||
        certificateValues[0].ulValueLen > CERTIFICATE_CAPACITY ||
        certificateValues[1].ulValueLen > ID_CAPACITY) {
        return fail(quillet_messages::MODULE_CERTIFICATE_NOT_READ, SIGN_ERR_GENERIC);
    }
    certificate.resize(certificateValues[0].ulValueLen);
    id.resize(certificateValues[1].ulValueLen);

    // Its private key: the one with the same CKA_ID.
    CK_OBJECT_CLASS keyClass = CKO_PRIVATE_KEY;
    CK_ATTRIBUTE keySearch[] = {
        {CKA_CLASS, &keyClass, sizeof keyClass},
        {CKA_ID, id.data(), static_cast<CK_ULONG>(id.size())},
    };
    CK_OBJECT_HANDLE key = 0;
    if (!findFirst(f, session, keySearch, 2, &key)) return fail(quillet_messages::MODULE_KEY_NOT_FOUND, SIGN_ERR_GENERIC);

    SignatureRequest request(form);
    SYSTEMTIME now;
    GetSystemTime(&now);
    const int32_t prepared = request.prepare(content.data.get(), content.size, certificate.data(),
                                             static_cast<uint32_t>(certificate.size()), now);
    if (prepared == SIGN_ERR_DIGEST) return fail(quillet_messages::MODULE_DIGEST_FAILED, SIGN_ERR_GENERIC);
    if (prepared != SIGN_OK) return fail(quillet_messages::MODULE_SIGNED_FILE_NOT_MADE, prepared);

    CK_MECHANISM mechanism = {CKM_RSA_PKCS, nullptr, 0};
    if (f.C_SignInit(session, &mechanism, key) != CKR_OK) return fail(quillet_messages::MODULE_SIGN_INIT_FAILED, SIGN_ERR_GENERIC);
    uint8_t signature[SIGNATURE_CAPACITY];
    CK_ULONG signatureLength = SIGNATURE_CAPACITY;
    if (f.C_Sign(session, const_cast<uint8_t*>(request.digestInfo()), request.digestInfoLength(), signature,
                 &signatureLength) != CKR_OK ||
        signatureLength > SIGNATURE_CAPACITY) {
        return fail(quillet_messages::MODULE_SIGN_FAILED, SIGN_ERR_GENERIC);
    }

    // The module's card has no personal-data record: the attribute stays empty.
    uint32_t length = 0;
    auto encode = [&](uint8_t* out) {
        return request.encode(content.data.get(), content.size, signature, static_cast<uint32_t>(signatureLength),
                              certificate.data(), static_cast<uint32_t>(certificate.size()), nullptr, 0, out,
                              &length);
    };
    int32_t encoded = encode(nullptr);
    std::unique_ptr<uint8_t[]> signedFile;
    if (encoded == 0) {
        signedFile.reset(new uint8_t[length]);
        encoded = encode(signedFile.get());
    }
    if (encoded != 0) return fail(quillet_messages::MODULE_SIGNED_FILE_NOT_MADE, encoded);

    f.C_CloseAllSessions(run.slot);
    run.sessionOpen = false;
    run.initialized = false;  // a failing C_Finalize is not repeated
    if (f.C_Finalize(nullptr) != CKR_OK) return fail(quillet_messages::MODULE_FINALIZE_FAILED, SIGN_ERR_GENERIC);

    const DWORD written = writeFileContent(outputPath, signedFile.get(), length);
    if (written != 0) return fail(quillet_messages::MODULE_SIGNED_FILE_NOT_WRITTEN, static_cast<int32_t>(written));
    return SIGN_OK;
}

}  // namespace

int32_t fnSignFilePkcs11(const char* inputPath, const char* outputPath, int batchIndex,
                         const char* pin) {
    return fnSignFilePkcs11(SignatureForm::Pkcs7Sha1, inputPath, outputPath, batchIndex, pin);
}

int32_t fnSignFilePkcs11(SignatureForm form, const char* inputPath, const char* outputPath, int /*batchIndex*/,
                         const char* pin) {
    ModuleRun run;  // closes down whatever is open, after any message
    run.module = LoadLibraryA(PKCS11_MODULE_NAME);
    if (run.module == nullptr) return fail(quillet_messages::MODULE_NOT_FOUND, SIGN_ERR_GENERIC);
    try {
        run.f = resolveAll(run.module);
        return signWithModule(run, form, inputPath, outputPath, pin != nullptr ? pin : "");
    } catch (...) {
        return fail(quillet_messages::MODULE_FAULT, SIGN_ERR_GENERIC);
    }
}
