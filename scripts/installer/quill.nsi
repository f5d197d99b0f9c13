; The Quill installer: the signing program, the verification program and the
; certificate data library of the municipality of Valdora, for all users, with
; ".p7m" files opening in the verification program. scripts/make-installer
; builds it from the 32-bit build:
;   makensis -DBIN=<programs> -DLIB=<orvik.lib> -DHEADER=<orvik.h> -DREADME=<README.md>
;            -DVERSION=<a.b.c.d> -DOUTFILE=<setup.exe> [-DSTAND_INS -DOUTSIDE=<folder>] quill.nsi
; STAND_INS adds the test stand-ins of the outside components (test variant only).
Unicode true
!include "LogicLib.nsh"

!define PRODUCT "Quill"
!define COMPANY "Comune di Valdora"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quill"
!define PROGID "Quill.SignedFile"
!define CLASSES "Software\Classes"

Name "Quill - ${COMPANY}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\Quill"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
ShowInstDetails show
VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=1040 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1040 "CompanyName" "${COMPANY}"
VIAddVersionKey /LANG=1040 "FileDescription" "Installazione di Quill: firma e verifica dei file"
VIAddVersionKey /LANG=1040 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1040 "LegalCopyright" "${COMPANY}"
LoadLanguageFile "${NSISDIR}\Contrib\Language files\Italian.nlf"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; What the programs need from outside the system, looked for beside them and
; in the system folders; what is missing is said in one message.
Function CheckOutsideComponents
    StrCpy $1 ""
    ${IfNot} ${FileExists} "$INSTDIR\Cie_MetaCmd.dll"
    ${AndIfNot} ${FileExists} "$SYSDIR\Cie_MetaCmd.dll"
        StrCpy $1 "$1$\r$\n - Cie_MetaCmd.dll, il middleware della Carta d'Identità Elettronica: senza di esso il programma di firma Quillet non si avvia;"
    ${EndIf}
    ${IfNot} ${FileExists} "$INSTDIR\gclib.dll"
    ${AndIfNot} ${FileExists} "$SYSDIR\gclib.dll"
        StrCpy $1 "$1$\r$\n - gclib.dll, il modulo PKCS#11 delle carte diverse dalla CIE: senza di esso Quillet firma solo con la CIE;"
    ${EndIf}
    ${IfNot} ${FileExists} "$INSTDIR\vistrel.dll"
    ${AndIfNot} ${FileExists} "$SYSDIR\vistrel.dll"
        StrCpy $1 "$1$\r$\n - vistrel.dll, la libreria che mostra i certificati: senza di essa il programma di verifica Quillcheck non si avvia;"
    ${EndIf}
    ${If} $1 != ""
        DetailPrint "Componenti esterni mancanti:$1"
        MessageBox MB_OK|MB_ICONEXCLAMATION "Quill è installato, ma mancano questi componenti esterni, da installare a parte:$1$\r$\n$\r$\nRivolgersi all'ufficio informatico del ${COMPANY}." /SD IDOK
    ${EndIf}
FunctionEnd

Section "Quill"
    SetShellVarContext all
    SetOutPath "$INSTDIR"
    File "${BIN}\quillet.exe"
    File "${BIN}\quillcheck.exe"
    File "${BIN}\orvik.dll"
    File "/oname=LEGGIMI.txt" "${README}"
    SetOutPath "$INSTDIR\sviluppo"
    File "${HEADER}"
    File "${LIB}"
!ifdef STAND_INS
    SetOutPath "$INSTDIR"
    File "${OUTSIDE}\Cie_MetaCmd.dll"
    File "${OUTSIDE}\gclib.dll"
    File "${OUTSIDE}\vistrel.dll"
!endif
    WriteUninstaller "$INSTDIR\uninstall.exe"

    CreateDirectory "$SMPROGRAMS\Quill"
    CreateShortcut "$SMPROGRAMS\Quill\Quillet - Firma dei file.lnk" "$INSTDIR\quillet.exe"
    CreateShortcut "$SMPROGRAMS\Quill\Leggimi.lnk" "$INSTDIR\LEGGIMI.txt"

    ; ".p7m" opens in the verification program; an earlier owner of the type
    ; is kept, and given back by the uninstaller.
    ReadRegStr $0 HKLM "${CLASSES}\.p7m" ""
    ${If} $0 != ""
    ${AndIf} $0 != "${PROGID}"
        WriteRegStr HKLM "${CLASSES}\${PROGID}" "PreviousProgId" "$0"
    ${EndIf}
    WriteRegStr HKLM "${CLASSES}\.p7m" "" "${PROGID}"
    WriteRegStr HKLM "${CLASSES}\${PROGID}" "" "File firmato digitalmente"
    WriteRegStr HKLM "${CLASSES}\${PROGID}\DefaultIcon" "" "$INSTDIR\quillcheck.exe,0"
    WriteRegStr HKLM "${CLASSES}\${PROGID}\shell\open\command" "" '"$INSTDIR\quillcheck.exe" "%1"'

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Quill - firma e verifica dei file (${COMPANY})"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${COMPANY}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\quillcheck.exe,0"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1

    Call CheckOutsideComponents
SectionEnd

; Only what the installer put there goes: a file of the user's in the folder
; stays, and so does the folder then.
Section "Uninstall"
    SetShellVarContext all
    Delete "$INSTDIR\quillet.exe"
    Delete "$INSTDIR\quillcheck.exe"
    Delete "$INSTDIR\orvik.dll"
    Delete "$INSTDIR\LEGGIMI.txt"
    Delete "$INSTDIR\sviluppo\orvik.h"
    Delete "$INSTDIR\sviluppo\orvik.lib"
    RMDir "$INSTDIR\sviluppo"
!ifdef STAND_INS
    Delete "$INSTDIR\Cie_MetaCmd.dll"
    Delete "$INSTDIR\gclib.dll"
    Delete "$INSTDIR\vistrel.dll"
!endif
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"

    Delete "$SMPROGRAMS\Quill\Quillet - Firma dei file.lnk"
    Delete "$SMPROGRAMS\Quill\Leggimi.lnk"
    RMDir "$SMPROGRAMS\Quill"

    ReadRegStr $0 HKLM "${CLASSES}\.p7m" ""
    ReadRegStr $1 HKLM "${CLASSES}\${PROGID}" "PreviousProgId"
    ${If} $0 == "${PROGID}"
        ${If} $1 != ""
            WriteRegStr HKLM "${CLASSES}\.p7m" "" "$1"
        ${Else}
            DeleteRegKey HKLM "${CLASSES}\.p7m"
        ${EndIf}
    ${EndIf}
    DeleteRegKey HKLM "${CLASSES}\${PROGID}"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
