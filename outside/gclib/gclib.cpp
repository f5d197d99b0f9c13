// Stand-in for a card's PKCS#11 module. Its slots and token come from the
// active card profile (outside/cardsim/card_profile.h): `tokens` slots, each
// holding the profile's card. Signing with CKM_RSA_PKCS is real RSA with the
// profile's key. Each call is written to the call log (QUILL_CARD_LOG), and
// so are loading and unloading, so that tests can check order and clean-up.
#include <windows.h>

#include <cstring>
#include <map>
#include <vector>

#include "card_profile.h"
#include "pkcs11_module.h"
#include "rsa_signer.h"
#include "sim_environment.h"
#include "token_objects.h"

using cardsim::logCall;

namespace {

struct Session {
    CK_SLOT_ID slot;
    std::vector<CK_OBJECT_HANDLE> found;  // the search in progress
    bool searching = false;
    const gclib::TokenObject* signingKey = nullptr;
};

struct Module {
    bool initialized = false;
    cardsim::CardProfile card;
    std::vector<gclib::TokenObject> objects;
    std::map<CK_SESSION_HANDLE, Session> sessions;
    bool loggedIn = false;  // PKCS#11 login is per token and application
    CK_SESSION_HANDLE nextSession = 1;
};
Module g_module;

bool hasSlot(CK_SLOT_ID slot) {
    return slot >= 1 && slot <= static_cast<CK_SLOT_ID>(g_module.card.tokens);
}

// The one place that decides the common failures: not initialised, unknown
// session, or a function that the profile makes fail.
CK_RV precheck(const char* function, CK_SESSION_HANDLE session, Session** out) {
    if (!g_module.initialized) return CKR_CRYPTOKI_NOT_INITIALIZED;
    if (g_module.card.fails(function)) return CKR_DEVICE_ERROR;
    if (out != nullptr) {
        auto it = g_module.sessions.find(session);
        if (it == g_module.sessions.end()) return CKR_SESSION_HANDLE_INVALID;
        *out = &it->second;
    }
    return CKR_OK;
}

const gclib::TokenObject* objectOf(CK_OBJECT_HANDLE handle) {
    for (const auto& o : g_module.objects) {
        if (o.handle == handle && (!o.isPrivate || g_module.loggedIn)) return &o;
    }
    return nullptr;
}

bool matches(const gclib::TokenObject& o, const CK_ATTRIBUTE* tmpl, CK_ULONG count) {
    for (CK_ULONG i = 0; i < count; ++i) {
        auto it = o.values.find(tmpl[i].type);
        if (it == o.values.end() || it->second.size() != tmpl[i].ulValueLen) return false;
        if (tmpl[i].ulValueLen > 0 && std::memcmp(it->second.data(), tmpl[i].pValue, tmpl[i].ulValueLen) != 0) {
            return false;
        }
    }
    return true;
}

CK_RV logged(CK_RV rv, const char* format, ...) {
    char line[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    logCall("%s = 0x%08lX", line, rv);
    return rv;
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        cardsim::CardProfile card;
        if (cardsim::loadActiveProfile(&card) == cardsim::ProfileState::Loaded && card.fails("DllMain")) {
            logCall("load refused");
            return FALSE;
        }
        logCall("load");
    } else if (reason == DLL_PROCESS_DETACH) {
        logCall("unload");
    }
    return TRUE;
}

extern "C" {

CK_RV C_Initialize(CK_VOID_PTR) {
    CK_RV rv = CKR_OK;
    if (g_module.initialized) {
        rv = CKR_CRYPTOKI_ALREADY_INITIALIZED;
    } else {
        cardsim::CardProfile card;
        switch (cardsim::loadActiveProfile(&card)) {
        case cardsim::ProfileState::NotSet: card.readerPresent = card.cardPresent = false; card.tokens = 0; break;
        case cardsim::ProfileState::Unreadable: rv = CKR_GENERAL_ERROR; break;
        case cardsim::ProfileState::Loaded: if (card.fails("C_Initialize")) rv = CKR_DEVICE_ERROR; break;
        }
        if (rv == CKR_OK) {
            g_module = Module{};
            g_module.initialized = true;
            g_module.objects = gclib::tokenObjects(card);
            g_module.card = std::move(card);
        }
    }
    return logged(rv, "C_Initialize");
}

CK_RV C_Finalize(CK_VOID_PTR) {
    CK_RV rv = precheck("C_Finalize", 0, nullptr);
    // Even a failing C_Finalize ends the module's work: nothing stays open.
    if (g_module.initialized) g_module = Module{};
    return logged(rv, "C_Finalize");
}

CK_RV C_GetInfo(CK_INFO_PTR info) {
    CK_RV rv = precheck("C_GetInfo", 0, nullptr);
    if (rv == CKR_OK && info == nullptr) rv = CKR_ARGUMENTS_BAD;
    if (rv == CKR_OK) {
        std::memset(info, ' ', sizeof *info);
        info->cryptokiVersion = {2, 40};
        std::memcpy(info->manufacturerID, "Valdora card simulator", 22);
        info->flags = 0;
        std::memcpy(info->libraryDescription, "gclib stand-in", 14);
        info->libraryVersion = {1, 0};
    }
    return logged(rv, "C_GetInfo");
}

CK_RV C_GetSlotList(CK_BBOOL, CK_SLOT_ID_PTR list, CK_ULONG_PTR count) {
    CK_RV rv = precheck("C_GetSlotList", 0, nullptr);
    if (rv == CKR_OK && count == nullptr) rv = CKR_ARGUMENTS_BAD;
    if (rv == CKR_OK) {
        const auto tokens = static_cast<CK_ULONG>(g_module.card.tokens);
        if (list != nullptr && *count < tokens) {
            rv = CKR_BUFFER_TOO_SMALL;
        } else if (list != nullptr) {
            for (CK_ULONG i = 0; i < tokens; ++i) list[i] = i + 1;
        }
        *count = tokens;
    }
    return logged(rv, "C_GetSlotList(count=%lu)", count ? *count : 0);
}

CK_RV C_GetSlotInfo(CK_SLOT_ID slot, CK_SLOT_INFO_PTR info) {
    CK_RV rv = precheck("C_GetSlotInfo", 0, nullptr);
    if (rv == CKR_OK && !hasSlot(slot)) rv = CKR_SLOT_ID_INVALID;
    if (rv == CKR_OK && info == nullptr) rv = CKR_ARGUMENTS_BAD;
    if (rv == CKR_OK) {
        std::memset(info, ' ', sizeof *info);
        std::memcpy(info->slotDescription, "Simulated reader", 16);
        info->flags = CKF_TOKEN_PRESENT | CKF_HW_SLOT;
        info->hardwareVersion = info->firmwareVersion = {1, 0};
    }
    return logged(rv, "C_GetSlotInfo(slot=%lu)", slot);
}

CK_RV C_GetTokenInfo(CK_SLOT_ID slot, CK_TOKEN_INFO_PTR info) {
    CK_RV rv = precheck("C_GetTokenInfo", 0, nullptr);
    if (rv == CKR_OK && !hasSlot(slot)) rv = CKR_SLOT_ID_INVALID;
    if (rv == CKR_OK && info == nullptr) rv = CKR_ARGUMENTS_BAD;
    if (rv == CKR_OK) {
        std::memset(info, ' ', sizeof *info);
        std::memcpy(info->label, "Simulated card", 14);
        info->flags = CKF_TOKEN_INITIALIZED | CKF_USER_PIN_INITIALIZED | CKF_LOGIN_REQUIRED;
        info->ulMaxPinLen = 16;
        info->ulMinPinLen = 4;
    }
    return logged(rv, "C_GetTokenInfo(slot=%lu)", slot);
}

CK_RV C_OpenSession(CK_SLOT_ID slot, CK_FLAGS flags, CK_VOID_PTR, CK_NOTIFY, CK_SESSION_HANDLE_PTR session) {
    CK_RV rv = precheck("C_OpenSession", 0, nullptr);
    if (rv == CKR_OK && !hasSlot(slot)) rv = CKR_SLOT_ID_INVALID;
    if (rv == CKR_OK && !(flags & CKF_SERIAL_SESSION)) rv = CKR_SESSION_PARALLEL_NOT_SUPPORTED;
    if (rv == CKR_OK && session == nullptr) rv = CKR_ARGUMENTS_BAD;
    if (rv == CKR_OK) {
        *session = g_module.nextSession++;
        Session opened;
        opened.slot = slot;
        g_module.sessions[*session] = opened;
    }
    return logged(rv, "C_OpenSession(slot=%lu, flags=%lu)", slot, flags);
}

CK_RV C_CloseSession(CK_SESSION_HANDLE handle) {
    Session* s = nullptr;
    CK_RV rv = precheck("C_CloseSession", handle, &s);
    if (rv == CKR_OK) g_module.sessions.erase(handle);
    if (g_module.sessions.empty()) g_module.loggedIn = false;
    return logged(rv, "C_CloseSession");
}

CK_RV C_CloseAllSessions(CK_SLOT_ID slot) {
    CK_RV rv = precheck("C_CloseAllSessions", 0, nullptr);
    if (rv == CKR_OK && !hasSlot(slot)) rv = CKR_SLOT_ID_INVALID;
    if (rv == CKR_OK) {
        for (auto it = g_module.sessions.begin(); it != g_module.sessions.end();) {
            it = it->second.slot == slot ? g_module.sessions.erase(it) : std::next(it);
        }
        if (g_module.sessions.empty()) g_module.loggedIn = false;
    }
    return logged(rv, "C_CloseAllSessions(slot=%lu)", slot);
}

CK_RV C_Login(CK_SESSION_HANDLE handle, CK_USER_TYPE user, CK_UTF8CHAR_PTR pin, CK_ULONG pinLength) {
    Session* s = nullptr;
    CK_RV rv = precheck("C_Login", handle, &s);
    if (rv == CKR_OK && user != CKU_USER) rv = CKR_USER_TYPE_INVALID;
    if (rv == CKR_OK && g_module.loggedIn) rv = CKR_USER_ALREADY_LOGGED_IN;
    if (rv == CKR_OK) {
        const std::string& expected = g_module.card.pin;
        const bool match = pin != nullptr && pinLength == expected.size() &&
                           std::memcmp(pin, expected.data(), pinLength) == 0;
        if (match) g_module.loggedIn = true;
        else rv = CKR_PIN_INCORRECT;
    }
    return logged(rv, "C_Login(pin length %lu)", pinLength);
}

CK_RV C_Logout(CK_SESSION_HANDLE handle) {
    Session* s = nullptr;
    CK_RV rv = precheck("C_Logout", handle, &s);
    if (rv == CKR_OK && !g_module.loggedIn) rv = CKR_USER_NOT_LOGGED_IN;
    if (rv == CKR_OK) g_module.loggedIn = false;
    return logged(rv, "C_Logout");
}

CK_RV C_FindObjectsInit(CK_SESSION_HANDLE handle, CK_ATTRIBUTE_PTR tmpl, CK_ULONG count) {
    Session* s = nullptr;
    CK_RV rv = precheck("C_FindObjectsInit", handle, &s);
    if (rv == CKR_OK && s->searching) rv = CKR_OPERATION_ACTIVE;
    if (rv == CKR_OK && count > 0 && tmpl == nullptr) rv = CKR_ARGUMENTS_BAD;
    if (rv == CKR_OK) {
        s->found.clear();
        for (const auto& o : g_module.objects) {
            if ((!o.isPrivate || g_module.loggedIn) && matches(o, tmpl, count)) s->found.push_back(o.handle);
        }
        s->searching = true;
    }
    return logged(rv, "C_FindObjectsInit(%lu attributes)", count);
}

CK_RV C_FindObjects(CK_SESSION_HANDLE handle, CK_OBJECT_HANDLE_PTR objects, CK_ULONG max, CK_ULONG_PTR count) {
    Session* s = nullptr;
    CK_RV rv = precheck("C_FindObjects", handle, &s);
    if (rv == CKR_OK && !s->searching) rv = CKR_OPERATION_NOT_INITIALIZED;
    if (rv == CKR_OK && (objects == nullptr || count == nullptr)) rv = CKR_ARGUMENTS_BAD;
    if (rv == CKR_OK) {
        *count = 0;
        while (*count < max && !s->found.empty()) {
            objects[(*count)++] = s->found.front();
            s->found.erase(s->found.begin());
        }
    }
    return logged(rv, "C_FindObjects(found %lu)", rv == CKR_OK ? *count : 0);
}

CK_RV C_FindObjectsFinal(CK_SESSION_HANDLE handle) {
    Session* s = nullptr;
    CK_RV rv = precheck("C_FindObjectsFinal", handle, &s);
    if (rv == CKR_OK && !s->searching) rv = CKR_OPERATION_NOT_INITIALIZED;
    if (rv == CKR_OK) {
        s->searching = false;
        s->found.clear();
    }
    return logged(rv, "C_FindObjectsFinal");
}

CK_RV C_GetAttributeValue(CK_SESSION_HANDLE handle, CK_OBJECT_HANDLE object, CK_ATTRIBUTE_PTR tmpl, CK_ULONG count) {
    Session* s = nullptr;
    CK_RV rv = precheck("C_GetAttributeValue", handle, &s);
    const gclib::TokenObject* o = rv == CKR_OK ? objectOf(object) : nullptr;
    if (rv == CKR_OK && o == nullptr) rv = CKR_OBJECT_HANDLE_INVALID;
    if (rv == CKR_OK && count > 0 && tmpl == nullptr) rv = CKR_ARGUMENTS_BAD;
    const bool answerable = rv != CKR_OBJECT_HANDLE_INVALID && rv != CKR_ARGUMENTS_BAD;
    for (CK_ULONG i = 0; answerable && o != nullptr && i < count; ++i) {
        // Every attribute is answered; the worst problem is the result.
        auto it = o->values.find(tmpl[i].type);
        if (it == o->values.end()) {
            tmpl[i].ulValueLen = CK_UNAVAILABLE_INFORMATION;
            rv = CKR_ATTRIBUTE_TYPE_INVALID;
        } else if (tmpl[i].pValue == nullptr) {
            tmpl[i].ulValueLen = it->second.size();
        } else if (tmpl[i].ulValueLen < it->second.size()) {
            tmpl[i].ulValueLen = CK_UNAVAILABLE_INFORMATION;
            if (rv == CKR_OK) rv = CKR_BUFFER_TOO_SMALL;
        } else {
            if (!it->second.empty()) std::memcpy(tmpl[i].pValue, it->second.data(), it->second.size());
            const bool lie = g_module.card.overstates("C_GetAttributeValue");
            tmpl[i].ulValueLen = lie ? tmpl[i].ulValueLen + cardsim::OVERSTATED_BY : it->second.size();
        }
    }
    return logged(rv, "C_GetAttributeValue(object=%lu, %lu attributes)", object, count);
}

CK_RV C_SignInit(CK_SESSION_HANDLE handle, CK_MECHANISM_PTR mechanism, CK_OBJECT_HANDLE key) {
    Session* s = nullptr;
    CK_RV rv = precheck("C_SignInit", handle, &s);
    if (rv == CKR_OK && s->signingKey != nullptr) rv = CKR_OPERATION_ACTIVE;
    if (rv == CKR_OK && !g_module.loggedIn) rv = CKR_USER_NOT_LOGGED_IN;
    if (rv == CKR_OK && (mechanism == nullptr || mechanism->mechanism != CKM_RSA_PKCS)) rv = CKR_MECHANISM_INVALID;
    const gclib::TokenObject* o = rv == CKR_OK ? objectOf(key) : nullptr;
    if (rv == CKR_OK && (o == nullptr || o->key.empty())) rv = CKR_KEY_HANDLE_INVALID;
    if (rv == CKR_OK) s->signingKey = o;
    return logged(rv, "C_SignInit(key=%lu)", key);
}

// The variant built with GCLIB_WITHOUT_C_SIGN lacks this entry point: a
// module that is missing one of the functions its users need.
#ifndef GCLIB_WITHOUT_C_SIGN
CK_RV C_Sign(CK_SESSION_HANDLE handle, CK_BYTE_PTR data, CK_ULONG length, CK_BYTE_PTR signature, CK_ULONG_PTR signatureLength) {
    Session* s = nullptr;
    CK_RV rv = precheck("C_Sign", handle, &s);
    if (rv == CKR_OK && s->signingKey == nullptr) rv = CKR_OPERATION_NOT_INITIALIZED;
    if (rv == CKR_OK && (signatureLength == nullptr || (data == nullptr && length > 0))) rv = CKR_ARGUMENTS_BAD;
    if (rv == CKR_OK) {
        const CK_ULONG size = cardsim::keyBlobModulusBytes(s->signingKey->key);
        cardsim::Bytes made;
        if (signature == nullptr) {
            *signatureLength = size;  // the length only; the operation goes on
        } else if (*signatureLength < size) {
            *signatureLength = size;
            rv = CKR_BUFFER_TOO_SMALL;
        } else if (!cardsim::signPkcs1(s->signingKey->key, data, length, &made)) {
            rv = CKR_DATA_LEN_RANGE;
        } else {
            std::memcpy(signature, made.data(), made.size());
            const bool lie = g_module.card.overstates("C_Sign");
            *signatureLength = lie ? *signatureLength + cardsim::OVERSTATED_BY : made.size();
        }
        // Any other outcome than asking for the length ends the operation.
        if (signature != nullptr && rv != CKR_BUFFER_TOO_SMALL) s->signingKey = nullptr;
    }
    return logged(rv, "C_Sign(%lu bytes)", length);
}
#endif

CK_RV C_GetFunctionList(CK_FUNCTION_LIST_PTR_PTR list) {
    // Entries of functions that this module does not implement stay null.
    static CK_FUNCTION_LIST functions = [] {
        CK_FUNCTION_LIST f{};
        f.version = {2, 40};
        f.C_Initialize = C_Initialize;
        f.C_Finalize = C_Finalize;
        f.C_GetInfo = C_GetInfo;
        f.C_GetFunctionList = C_GetFunctionList;
        f.C_GetSlotList = C_GetSlotList;
        f.C_GetSlotInfo = C_GetSlotInfo;
        f.C_GetTokenInfo = C_GetTokenInfo;
        f.C_OpenSession = C_OpenSession;
        f.C_CloseSession = C_CloseSession;
        f.C_CloseAllSessions = C_CloseAllSessions;
        f.C_Login = C_Login;
        f.C_Logout = C_Logout;
        f.C_GetAttributeValue = C_GetAttributeValue;
        f.C_FindObjectsInit = C_FindObjectsInit;
        f.C_FindObjects = C_FindObjects;
        f.C_FindObjectsFinal = C_FindObjectsFinal;
        f.C_SignInit = C_SignInit;
#ifndef GCLIB_WITHOUT_C_SIGN
        f.C_Sign = C_Sign;
#endif
        return f;
    }();
    if (list == nullptr) return logged(CKR_ARGUMENTS_BAD, "C_GetFunctionList");
    *list = &functions;
    return logged(CKR_OK, "C_GetFunctionList");
}

}  // extern "C"
