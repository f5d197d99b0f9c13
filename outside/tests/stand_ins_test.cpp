// The stand-ins themselves, where the engine's tests cannot reach: arguments
// that the engine never passes, and the lengths they deliver.
#include <gtest/gtest.h>

#include <windows.h>

#include "Cie_MetaCmd.h"
#include <p11-kit/pkcs11.h>
#include "simulated_card.h"

namespace {

TEST(ModuleStandIn, NullTemplateIsRefusedAsBadArguments) {
    SimulatedCard card;
    card.insert("card144");
    HMODULE module = LoadLibraryA("gclib.dll");
    ASSERT_NE(module, nullptr);
    auto getList = reinterpret_cast<CK_C_GetFunctionList>(
        reinterpret_cast<void (*)()>(GetProcAddress(module, "C_GetFunctionList")));
    CK_FUNCTION_LIST_PTR f = nullptr;
    ASSERT_EQ(getList(&f), CKR_OK);
    ASSERT_EQ(f->C_Initialize(nullptr), CKR_OK);
    CK_SLOT_ID slot = 0;
    CK_ULONG slots = 1;
    CK_SESSION_HANDLE session = 0;
    ASSERT_EQ(f->C_GetSlotList(CK_TRUE, &slot, &slots), CKR_OK);
    ASSERT_EQ(f->C_OpenSession(slot, CKF_SERIAL_SESSION, nullptr, nullptr, &session), CKR_OK);
    CK_OBJECT_CLASS certificateClass = CKO_CERTIFICATE;
    CK_ATTRIBUTE search = {CKA_CLASS, &certificateClass, sizeof certificateClass};
    CK_OBJECT_HANDLE certificate = 0;
    CK_ULONG found = 0;
    ASSERT_EQ(f->C_FindObjectsInit(session, &search, 1), CKR_OK);
    ASSERT_EQ(f->C_FindObjects(session, &certificate, 1, &found), CKR_OK);
    ASSERT_EQ(found, 1u);
    EXPECT_EQ(f->C_GetAttributeValue(session, certificate, nullptr, 2), CKR_ARGUMENTS_BAD);
    f->C_Finalize(nullptr);
    FreeLibrary(module);
}

TEST(MiddlewareStandIn, DeliversOnlyIntoABufferThatHoldsTheValueAndCanOverstate) {
    SimulatedCard card;
    card.insertVariant("cie140", "overstate = CIE_ReadCCarta");
    ASSERT_EQ(CIE_Connect(nullptr), 0u);
    const BYTE data[35] = {0x30};
    BYTE signature[512];
    DWORD length = 127;  // a 1024-bit key signs in 128 bytes
    EXPECT_EQ(CIE_Sign(data, 35, signature, &length), static_cast<DWORD>(SCARD_E_INSUFFICIENT_BUFFER));
    length = sizeof signature;
    EXPECT_EQ(CIE_Sign(data, 35, signature, &length), 0u);
    EXPECT_EQ(length, 128u);
    BYTE certificate[4096];
    length = sizeof certificate;
    EXPECT_EQ(CIE_ReadCCarta(certificate, &length), 0u);
    EXPECT_GT(length, sizeof certificate) << "the overstated length";
    CIE_Disconnect();
}

}  // namespace
