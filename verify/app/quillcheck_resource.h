// Resource ids of the verification program (quillcheck.rc).
#pragma once

#ifndef IDC_STATIC
#define IDC_STATIC -1
#endif

// Templates
#define IDD_ABOUTBOX 100
#define IDD_QUILLCHECK_DIALOG 102
#define IDD_FOLDER_CHECK 160

// Strings
#define IDS_ABOUTBOX 101

// Icons: the information box's, the program's, the list's discs (green, red,
// yellow) and the legend's.
#define IDR_MAINFRAME 128
#define IDI_PROGRAM 131
#define IDI_LIST_GREEN 132
#define IDI_LIST_RED 133
#define IDI_LIST_YELLOW 147
#define IDI_LEGEND_RED 136
#define IDI_LEGEND_GREEN 137
#define IDI_LEGEND_YELLOW 148

// Bitmaps: the banner, the municipality's emblem and name, the small logo
#define IDB_BANNER 130
#define IDB_EMBLEM 138
#define IDB_SMALL_LOGO 154

// The accepted authorities' certificates, resources of type "CER"
#define IDR_FIRST_ACCEPTED_CA 140

// Controls
#define IDC_VIEW_FILE 1000
#define IDC_VIEW_CERTIFICATE 1001
#define IDC_SUMMARY 1004
#define IDC_VIEW_SOURCE 1005
#define IDC_SIGNED_PATH 1006
#define IDC_SIGNERS 1007
#define IDC_CHECK_REVOCATION 1010

// The folder's verification
#define IDC_FOLDER_SOURCE 1020
#define IDC_FOLDER_OUTPUT 1021
#define IDC_FOLDER_BROWSE 1022
#define IDC_FOLDER_REVOCATION 1023
#define IDC_FOLDER_PROGRESS 1024
#define IDC_FOLDER_COUNT 1025
#define IDC_FOLDER_CURRENT 1026
#define IDC_FOLDER_STOP 1027
#define IDC_ABOUT_TRUSTED_LIST 1028
