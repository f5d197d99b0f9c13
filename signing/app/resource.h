// Resource ids of the signing program (quillet.rc).
#pragma once

#ifndef IDC_STATIC
#define IDC_STATIC -1
#endif

// Templates
#define IDD_PROGRESS 131
#define IDD_MAIL_WAIT 134
#define IDD_PIN_PROMPT 136

// Bitmaps
#define IDB_LOGOPRINCIPALE 141

// Controls
#define IDC_PROGRESS_BAR 1013
#define IDC_SIGNED_REPORT 1014
#define IDC_PIN_EDIT 1016
#define IDC_PIN_OK 1018
#define IDC_PIN_CANCEL 1019
