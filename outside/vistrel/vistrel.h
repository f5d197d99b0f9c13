// vistrel.dll: the certificate dialog that the verification program shows for
// a signer. A stand-in for a library outside the system: it shows the fields
// of one X.509 certificate as orvik.dll reads them, in Italian.
#pragma once

#include "dialog.h"

#ifdef VISTREL_BUILDING
#define VISTREL_API __declspec(dllexport)
#else
#define VISTREL_API __declspec(dllimport)
#endif

class VISTREL_API COrvikDlg : public Dialog {
public:
    // The DER certificate stays the caller's and must outlive the dialog; a
    // length of 0 shows that there is no certificate.
    COrvikDlg(unsigned char* certificate, unsigned long length);
    ~COrvikDlg() override;

protected:
    bool onInit() override;
    INT_PTR onMessage(UINT message, WPARAM wParam, LPARAM lParam, bool* handled) override;

private:
    struct Field;
    void showField(int index);

    unsigned char* certificate_;
    unsigned long length_;
    Field* fields_ = nullptr;
    int fieldCount_ = 0;
};
