// Stand-in for the CIE middleware: a simulated reader holding the card of the
// active card profile (see outside/cardsim/card_profile.h). Every call is
// written to the call log, with the number of open connections, so that tests
// can see a missing or a double CIE_Disconnect.
#define CIE_METACMD_EXPORTS
#include "Cie_MetaCmd.h"

#include <cstring>

#include "card_profile.h"
#include "rsa_signer.h"
#include "sim_environment.h"

using cardsim::CardProfile;
using cardsim::logCall;

namespace {

// ISO 7816 "no precise diagnosis": what a function made to fail returns.
constexpr DWORD CARD_FAILURE = 0x6F00;

struct Connection {
    bool open = false;
    CardProfile card;
    int certificateReads = 0;
};
Connection g_connection;
int g_openConnections = 0;

// The common entry check: a connection must be open, and the function must not
// be one that the profile makes fail.
DWORD refusal(const char* function) {
    if (!g_connection.open) return SCARD_E_INVALID_HANDLE;
    if (g_connection.card.fails(function)) return CARD_FAILURE;
    return 0;
}

// Copies a value into a caller's buffer of *length bytes. A function that the
// profile makes overstate then reports a length beyond that buffer.
DWORD deliver(const char* function, const uint8_t* value, size_t size, BYTE* buffer, DWORD* length) {
    if (buffer == nullptr || length == nullptr) return SCARD_E_INVALID_PARAMETER;
    if (*length < size) return SCARD_E_INSUFFICIENT_BUFFER;
    if (size > 0) std::memcpy(buffer, value, size);
    const bool lie = g_connection.card.overstates(function);
    *length = lie ? *length + cardsim::OVERSTATED_BY : static_cast<DWORD>(size);
    return 0;
}

}  // namespace

extern "C" DWORD WINAPI CIE_Connect(void*) {
    DWORD result = 0;
    CardProfile card;
    if (g_connection.open) {
        result = SCARD_E_SHARING_VIOLATION;  // the one connection is taken
    } else {
        switch (cardsim::loadActiveProfile(&card)) {
        case cardsim::ProfileState::NotSet: result = SCARD_E_NO_READERS_AVAILABLE; break;
        case cardsim::ProfileState::Unreadable: result = SCARD_F_INTERNAL_ERROR; break;
        case cardsim::ProfileState::Loaded:
            if (!card.readerPresent) result = SCARD_E_NO_READERS_AVAILABLE;
            else if (!card.cardPresent) result = SCARD_W_REMOVED_CARD;
            else if (card.fails("CIE_Connect")) result = SCARD_E_COMM_DATA_LOST;
            break;
        }
    }
    if (result == 0 && card.pinChangesAfter > 0) {
        // Connections are counted since the card last changed.
        static std::string lastCard;
        static int connections = 0;
        const std::string identity = card.pin + "|" + std::to_string(card.pinChangesAfter) + "|" + card.changedPin;
        if (identity != lastCard) {
            lastCard = identity;
            connections = 0;
        }
        if (++connections > card.pinChangesAfter) card.pin = card.changedPin;
    }
    if (result == 0) {
        g_connection.open = true;
        g_connection.certificateReads = 0;
        g_connection.card = std::move(card);
        ++g_openConnections;
    }
    logCall("CIE_Connect = 0x%08lX open=%d", result, g_openConnections);
    return result;
}

extern "C" DWORD WINAPI CIE_Disconnect(void) {
    DWORD result = 0;
    if (g_connection.open) {
        g_connection.open = false;
        --g_openConnections;
    } else {
        result = SCARD_E_INVALID_HANDLE;  // nothing to close: a double disconnect
    }
    logCall("CIE_Disconnect = 0x%08lX open=%d", result, g_openConnections);
    return result;
}

extern "C" DWORD WINAPI CIE_Read_ATR(BYTE* atr, BYTE* atrLength) {
    DWORD result = refusal("CIE_Read_ATR");
    if (result == 0) {
        const cardsim::Bytes& value = g_connection.card.atr;
        if (atr == nullptr || atrLength == nullptr) {
            result = SCARD_E_INVALID_PARAMETER;
        } else if (*atrLength < value.size()) {
            result = SCARD_E_INSUFFICIENT_BUFFER;
        } else {
            std::memcpy(atr, value.data(), value.size());
            *atrLength = static_cast<BYTE>(value.size());
        }
    }
    logCall("CIE_Read_ATR = 0x%08lX", result);
    return result;
}

extern "C" DWORD WINAPI CIE_ReadDatiPersonaliRaw(BYTE* record, DWORD* recordLength) {
    DWORD result = refusal("CIE_ReadDatiPersonaliRaw");
    if (result == 0) {
        const std::string& value = g_connection.card.personalData;
        result = deliver("CIE_ReadDatiPersonaliRaw", reinterpret_cast<const uint8_t*>(value.data()),
                         value.size(), record, recordLength);
    }
    logCall("CIE_ReadDatiPersonaliRaw = 0x%08lX", result);
    return result;
}

extern "C" DWORD WINAPI CIE_VerifyPIN(const char* pin, BYTE pinLength) {
    DWORD result = refusal("CIE_VerifyPIN");
    if (result == 0) {
        const std::string& expected = g_connection.card.pin;
        const bool match = pin != nullptr && pinLength == expected.size() &&
                           std::memcmp(pin, expected.data(), pinLength) == 0;
        result = match ? 0 : CIE_PIN_REFUSED;
    }
    logCall("CIE_VerifyPIN = 0x%08lX", result);
    return result;
}

extern "C" DWORD WINAPI CIE_Sign(const BYTE* data, BYTE dataLength, BYTE* signature,
                                 DWORD* signatureLength) {
    DWORD result = refusal("CIE_Sign");
    if (result == 0) {
        const cardsim::Bytes& key = g_connection.card.key;
        cardsim::Bytes made;
        if (signature == nullptr || signatureLength == nullptr || data == nullptr) {
            result = SCARD_E_INVALID_PARAMETER;
        } else if (*signatureLength < cardsim::keyBlobModulusBytes(key)) {
            result = SCARD_E_INSUFFICIENT_BUFFER;  // told before the card works
        } else if (!cardsim::signPkcs1(key, data, dataLength, &made)) {
            result = SCARD_E_INVALID_PARAMETER;
        } else {
            result = deliver("CIE_Sign", made.data(), made.size(), signature, signatureLength);
        }
    }
    logCall("CIE_Sign(%u bytes) = 0x%08lX", static_cast<unsigned>(dataLength), result);
    return result;
}

extern "C" DWORD WINAPI CIE_ReadCCarta(BYTE* certificate, DWORD* certificateLength) {
    DWORD result = refusal("CIE_ReadCCarta");
    if (result == 0) {
        const CardProfile& card = g_connection.card;
        const bool reread = g_connection.certificateReads++ > 0 && !card.rereadCertificate.empty();
        const cardsim::Bytes& value = reread ? card.rereadCertificate : card.certificate;
        result = deliver("CIE_ReadCCarta", value.data(), value.size(), certificate, certificateLength);
    }
    logCall("CIE_ReadCCarta = 0x%08lX", result);
    return result;
}
