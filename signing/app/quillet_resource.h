// Resource ids of the signing program (quillet.rc).
#pragma once

#ifndef IDC_STATIC
#define IDC_STATIC -1
#endif

// Templates
#define IDD_ABOUTBOX 100
#define IDD_QUILLET_DIALOG 102
#define IDD_PROGRESS 131
#define IDD_MAIL_WAIT 134
#define IDD_PIN_PROMPT 136

// Icon and strings
#define IDR_MAINFRAME 133
#define IDS_ABOUTBOX 101

// Bitmaps: the logo, the municipality's emblem and name, the program's name
#define IDB_LOGOPRINCIPALE 141
#define IDB_LOGOUNUSED 142
#define IDB_QUILLET_NAME 138

// Controls
#define IDC_ATTACHMENTS 1000
#define IDC_MESSAGE_TEXT 1001
#define IDC_ATTACH 1002
#define IDC_SIGN 1003
#define IDC_REMOVE 1004
#define IDC_EXIT 1005
#define IDC_REPLY_TO 1017
#define IDC_PROGRESS_BAR 1013
#define IDC_SIGNED_REPORT 1014
#define IDC_PIN_EDIT 1016
#define IDC_PIN_OK 1018
#define IDC_PIN_CANCEL 1019
