; The Quill installer: the signing program, the verification program and the
; certificate data library of the municipality of Valdora, for all users, with
; ".p7m" files opening in the verification program, and the user guide.
; scripts/make-installer builds it from a fresh 32-bit release build:
;   makensis -DBIN=<programs> -DLIB=<orvik.lib> -DHEADER=<orvik.h>
;            -DGUIDE=<guide folder> -DGUIDE_FILES=<guide-files.nsh>
;            -DTRUST=<trusted list folder> -DTRUST_FILES=<trust-files.nsh>
;            -DVERSION=<a.b.c.d> -DOUTFILE=<setup.exe> -DSIGN=<command> -DUNINSTALLER_COPY=<file>
;            [-DSTAND_INS -DOUTSIDE=<folder> -DREADME=<LEGGIMI.txt>] quill.nsi
; SIGN signs a file in place (its path follows it); UNINSTALLER_COPY receives
; a copy of the signed uninstaller, for checking. GUIDE_FILES defines the
; macros INSTALL_GUIDE_FILES and REMOVE_GUIDE_FILES, which name the guide's
; files in GUIDE; TRUST_FILES likewise INSTALL_TRUST_FILES and
; REMOVE_TRUST_FILES, for the trusted list and its signers in TRUST (laid in
; "fiducia", where the verification program looks for them).
; STAND_INS makes the test variant "Quill PROVA": it adds the stand-ins of the
; outside components and the developers' readme, has an uninstall entry of
; its own and runs only with the switch /PROVA, so that it never reaches a
; citizen's desktop by mistake.
; A page after the folder's, or the switch /FIRMA=CADES or /FIRMA=PKCS7 of a
; silent install, chooses the form of the signatures that the program writes.
Unicode true
!include "LogicLib.nsh"
!include "FileFunc.nsh"
!include "nsDialogs.nsh"

!define COMPANY "Comune di Valdora"
!define PROGID "Quill.SignedFile"
!define CLASSES "Software\Classes"
!define UNINSTALL_ROOT "Software\Microsoft\Windows\CurrentVersion\Uninstall"
; The test variant's entry, which the citizens' installer looks for.
!define TEST_UNINSTALL_KEY "${UNINSTALL_ROOT}\Quill PROVA"
!ifdef STAND_INS
    !define PRODUCT "Quill PROVA"
    !define UNINSTALL_KEY "${TEST_UNINSTALL_KEY}"
!else
    !define PRODUCT "Quill"
    !define UNINSTALL_KEY "${UNINSTALL_ROOT}\Quill"
!endif
; The stand-ins' names: the real components of these names are the card
; middleware, the PKCS#11 module and the certificate-dialog library.
!define STAND_IN_1 "Cie_MetaCmd.dll"
!define STAND_IN_2 "gclib.dll"
!define STAND_IN_3 "vistrel.dll"
; Where the signing program reads the form of its signatures: "CAdES" (any
; case) for CAdES-BES with SHA-256, "PKCS7" or no value for the original
; PKCS#7 with SHA-1. Both variants write it. The installer and the program
; are 32-bit and use the default 32-bit view (Wow6432Node on 64-bit Windows).
!define SETTINGS_KEY "Software\Quill"
!define FORM_VALUE "FormaFirma"

Name "${PRODUCT} - ${COMPANY}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\Quill"
; A reinstall goes where the last install went.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
ShowInstDetails show
VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=1040 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1040 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1040 "CompanyName" "${COMPANY}"
VIAddVersionKey /LANG=1040 "FileDescription" "Installazione di ${PRODUCT}: firma e verifica dei file"
VIAddVersionKey /LANG=1040 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1040 "LegalCopyright" "${COMPANY}"
LoadLanguageFile "${NSISDIR}\Contrib\Language files\Italian.nlf"

; The installer and its uninstaller carry an Authenticode signature.
; A signing failure stops the build.
!uninstfinalize '"${SIGN}" "%1" "${UNINSTALLER_COPY}"' = 0
!finalize '"${SIGN}" "%1"' = 0

Page directory "" "" LeaveDirectoryPage
PageEx custom
    Caption ": Forma della firma"
    PageCallbacks SignatureFormPage LeaveSignatureFormPage
PageExEnd
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; ---------------------------------------------------------------------------
; Shared by the installer and the uninstaller (each needs its own copy).

; Adds "FOLDER\NAME" to the list in $1 when the file is in use: a running
; program's file, or a library that a running program loaded, cannot be
; opened for writing.
!macro ADD_IF_IN_USE NAME
    ${If} ${FileExists} "$0\${NAME}"
        ClearErrors
        FileOpen $2 "$0\${NAME}" a
        ${If} ${Errors}
            StrCpy $1 "$1$\r$\n - $0\${NAME}"
        ${Else}
            FileClose $2
        ${EndIf}
    ${EndIf}
!macroend

; Pushes the files of the programs in the folder on the stack that are in
; use, one per line, or "" when none is.
!macro DEFINE_FILES_IN_USE un
Function ${un}FilesInUse
    Exch $0 ; the folder
    Push $1
    Push $2
    StrCpy $1 ""
    !insertmacro ADD_IF_IN_USE "quillet.exe"
    !insertmacro ADD_IF_IN_USE "quillcheck.exe"
    !insertmacro ADD_IF_IN_USE "orvik.dll"
    StrCpy $0 $1
    Pop $2
    Pop $1
    Exch $0
FunctionEnd

; Waits until no program of `FOLDER` runs: the user closes them and presses
; "Riprova", or gives up with "Annulla", and then nothing has been changed
; (a silent run gives up at once).
Function ${un}WaitForProgramsClosed
    Exch $0 ; the folder
    Push $1
    ${Do}
        Push $0
        Call ${un}FilesInUse
        Pop $1
        ${If} $1 == ""
            ${Break}
        ${EndIf}
        DetailPrint "File in uso:$1"
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Questi file di Quill sono in uso:$1$\r$\n$\r$\nChiudere Quillet, Quillcheck e ogni programma che usa orvik.dll, poi premere Riprova. Con Annulla non viene cambiato nulla." /SD IDCANCEL IDRETRY again
        SetErrorLevel 3
        Abort "Operazione annullata: Quill è in uso e nessun file è stato cambiato."
        again:
    ${Loop}
    Pop $1
    Pop $0
FunctionEnd
!macroend
!insertmacro DEFINE_FILES_IN_USE ""
!insertmacro DEFINE_FILES_IN_USE "un."

; Deletes "FOLDER\NAME", and adds it to the list in $1 when it stays.
!macro REMOVE_FILE NAME
    Delete "$0\${NAME}"
    ${If} ${FileExists} "$0\${NAME}"
        StrCpy $1 "$1$\r$\n - $0\${NAME}"
    ${EndIf}
!macroend

!include "${GUIDE_FILES}"
!include "${TRUST_FILES}"

; Removes the files that an install of Quill puts in the folder on the stack,
; but the uninstaller, which may be the one running; pushes the names that
; could not be removed, one per line, or "".
!macro DEFINE_REMOVE_PROGRAM_FILES un
Function ${un}RemoveProgramFiles
    Exch $0 ; the folder
    Push $1
    StrCpy $1 ""
    !insertmacro REMOVE_FILE "quillet.exe"
    !insertmacro REMOVE_FILE "quillcheck.exe"
    !insertmacro REMOVE_FILE "orvik.dll"
    !insertmacro REMOVE_FILE "LEGGIMI.txt"
    !insertmacro REMOVE_FILE "sviluppo\orvik.h"
    !insertmacro REMOVE_FILE "sviluppo\orvik.lib"
    RMDir "$0\sviluppo"
    !insertmacro REMOVE_GUIDE_FILES
    RMDir "$0\guida\immagini"
    RMDir "$0\guida"
    !insertmacro REMOVE_TRUST_FILES
    RMDir "$0\fiducia\firmatari"
    RMDir "$0\fiducia"
    StrCpy $0 $1
    Pop $1
    Exch $0
FunctionEnd
!macroend
!insertmacro DEFINE_REMOVE_PROGRAM_FILES ""
!insertmacro DEFINE_REMOVE_PROGRAM_FILES "un."

; Removes the three stand-ins from `FOLDER`.
!macro REMOVE_STAND_INS FOLDER
    Delete "${FOLDER}\${STAND_IN_1}"
    Delete "${FOLDER}\${STAND_IN_2}"
    Delete "${FOLDER}\${STAND_IN_3}"
!macroend

; The size of FOLDER\NAME in $3, or "" when it cannot be opened.
!macro FILE_SIZE FOLDER NAME
    StrCpy $3 ""
    ClearErrors
    FileOpen $2 "${FOLDER}\${NAME}" r
    ${IfNot} ${Errors}
        FileSeek $2 0 END $3
        FileClose $2
    ${EndIf}
!macroend

; The test variant records each stand-in's size in its entry.
!macro RECORD_STAND_IN_SIZE NAME
    !insertmacro FILE_SIZE $INSTDIR "${NAME}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "StandIn ${NAME}" "$3"
!macroend

; Removes the stand-in NAME from FOLDER when its size is the one the test
; install recorded: a real component put there in its place stays.
!macro REMOVE_STAND_IN FOLDER NAME
    !insertmacro FILE_SIZE ${FOLDER} "${NAME}"
    ReadRegStr $4 HKLM "${TEST_UNINSTALL_KEY}" "StandIn ${NAME}"
    ${If} $3 != ""
    ${AndIf} $3 == $4
        Delete "${FOLDER}\${NAME}"
        ${If} ${FileExists} "${FOLDER}\${NAME}"
            DetailPrint "Non è stato possibile rimuovere il componente simulato ${FOLDER}\${NAME}"
        ${Else}
            DetailPrint "Rimosso il componente simulato ${FOLDER}\${NAME} dell'installazione di prova"
        ${EndIf}
    ${EndIf}
!macroend

!define OPEN_COMMAND '"$INSTDIR\quillcheck.exe" "%1"'
!define MENU "$SMPROGRAMS\${PRODUCT}"

; ---------------------------------------------------------------------------
; The installer

; The form of signature to write, "CAdES" or "PKCS7": from /FIRMA=, or from
; the page; "" writes nothing (a silent install without the switch keeps
; what the registry has).
Var SignatureForm
Var CadesButton
Var Pkcs7Button

Function .onInit
    ${GetParameters} $0
!ifdef STAND_INS
    ClearErrors
    ${GetOptions} $0 "/PROVA" $1
    ${If} ${Errors}
        MessageBox MB_OK|MB_ICONSTOP "Questa è l'installazione di PROVA di Quill: porta componenti simulati al posto della carta e non va usata da un cittadino. Si avvia solo con l'opzione /PROVA." /SD IDOK
        SetErrorLevel 2
        Abort
    ${EndIf}
!endif
    ; /FIRMA=CADES or /FIRMA=PKCS7, in any case (NSIS compares strings
    ; without regard to case); any other value ends the install here,
    ; before anything is written.
    StrCpy $SignatureForm ""
    ClearErrors
    ${GetOptions} $0 "/FIRMA=" $1
    ${IfNot} ${Errors}
        ${If} $1 == "CADES"
            StrCpy $SignatureForm "CAdES"
        ${ElseIf} $1 == "PKCS7"
            StrCpy $SignatureForm "PKCS7"
        ${Else}
            MessageBox MB_OK|MB_ICONSTOP "Valore non riconosciuto per l'opzione /FIRMA: $\"$1$\".$\r$\nUsare /FIRMA=CADES (firma CAdES-BES con SHA-256, consigliata) oppure /FIRMA=PKCS7 (firma PKCS#7 con SHA-1, la forma originale).$\r$\n$\r$\nL'installazione è annullata e nulla è stato cambiato." /SD IDOK
            SetErrorLevel 2
            Abort
        ${EndIf}
    ${EndIf}
FunctionEnd

; The choice of the form of signature. Pre-selected: the switch's, else the
; one in the registry (a reinstall keeps the municipality's choice), else
; CAdES.
Function SignatureFormPage
    StrCpy $1 $SignatureForm
    ${If} $1 == ""
        ReadRegStr $1 HKLM "${SETTINGS_KEY}" "${FORM_VALUE}"
    ${EndIf}
    nsDialogs::Create 1018
    Pop $0
    ${If} $0 == error
        Abort
    ${EndIf}
    ${NSD_CreateLabel} 0 0 100% 12u "Forma della firma"
    Pop $2
    CreateFont $3 "$(^Font)" "$(^FontSize)" 700
    SendMessage $2 ${WM_SETFONT} $3 0
    ${NSD_CreateLabel} 0 16u 100% 48u "Scegliere in quale forma il programma di firma Quillet firma i file, per tutti gli utenti di questo computer. La forma CAdES-BES con SHA-256 è quella richiesta oggi dalle regole sulla firma digitale; la forma PKCS#7 con SHA-1 è quella originale di Quill, da scegliere solo se chi riceve i file firmati accetta soltanto quella. La scelta si può cambiare ripetendo l'installazione."
    Pop $2
    ${NSD_CreateFirstRadioButton} 8u 70u -8u 14u "CAdES-BES con SHA-256 (consigliata: richiesta dalle regole di oggi)"
    Pop $CadesButton
    ${NSD_CreateAdditionalRadioButton} 8u 88u -8u 14u "PKCS#7 con SHA-1 (la forma originale, per chi accetta solo quella)"
    Pop $Pkcs7Button
    ${If} $1 == "PKCS7"
        ${NSD_Check} $Pkcs7Button
    ${Else}
        ${NSD_Check} $CadesButton
    ${EndIf}
    nsDialogs::Show
FunctionEnd

Function LeaveSignatureFormPage
    ${NSD_GetState} $Pkcs7Button $0
    ${If} $0 == ${BST_CHECKED}
        StrCpy $SignatureForm "PKCS7"
    ${Else}
        StrCpy $SignatureForm "CAdES"
    ${EndIf}
FunctionEnd

; Pushes "1" when a group of every user (Everyone, Authenticated Users or
; Users) may create, change or delete files in the folder on the stack, or may
; change who may; "?" when its access list cannot be read; else "0". The
; folder's own access list counts, inherited entries included; an entry that
; applies only to what is inside does not.
Function FolderWritableByAll
    Exch $0 ; the folder
    Push $1
    Push $2
    Push $3
    Push $4
    Push $5
    Push $6
    Push $7
    Push $8
    Push $9
    StrCpy $9 "?"
    ; GetNamedSecurityInfoW(name, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
    ; NULL, NULL, &dacl, NULL, &descriptor)
    System::Call 'advapi32::GetNamedSecurityInfoW(w r0, i 1, i 4, p 0, p 0, *p .r1, p 0, *p .r2) i .r3'
    ${If} $3 == 0
        ${If} $1 == 0
            StrCpy $9 "1" ; no access list: everybody may do everything
        ${Else}
            ; ACL_SIZE_INFORMATION: the number of entries comes first.
            System::Call '*(i 0, i 0, i 0) p .r4'
            System::Call 'advapi32::GetAclInformation(p r1, p r4, i 12, i 2) i .r3'
            System::Call '*$4(i .r5)'
            System::Free $4
            ${If} $3 != 0
                StrCpy $9 "0"
            ${Else}
                StrCpy $5 0 ; no count: the list stays unread
            ${EndIf}
            StrCpy $6 0
            ${While} $6 < $5
                System::Call 'advapi32::GetAce(p r1, i r6, *p .r7) i .r3'
                ${If} $3 != 0
                    ; ACE_HEADER (type, flags, size), then the access mask
                    ; and the SID.
                    System::Call '*$7(&i1 .r3, &i1 .r4, &i2, i .r8)'
                    IntOp $4 $4 & 0x08 ; INHERIT_ONLY_ACE
                    ; FILE_ADD_FILE, FILE_ADD_SUBDIRECTORY, FILE_DELETE_CHILD,
                    ; WRITE_DAC, WRITE_OWNER, GENERIC_ALL, GENERIC_WRITE
                    IntOp $8 $8 & 0x500C0046
                    ${If} $3 == 0 ; ACCESS_ALLOWED_ACE_TYPE
                    ${AndIf} $4 == 0
                    ${AndIf} $8 != 0
                        IntOp $7 $7 + 8
                        ; WinWorldSid, WinAuthenticatedUserSid, WinBuiltinUsersSid
                        ${ForEach} $4 1 3 + 1
                            ${Select} $4
                                ${Case} 1
                                    StrCpy $3 1
                                ${Case} 2
                                    StrCpy $3 17
                                ${Case} 3
                                    StrCpy $3 27
                            ${EndSelect}
                            System::Call 'advapi32::IsWellKnownSid(p r7, i r3) i .r3'
                            ${If} $3 != 0
                                StrCpy $9 "1"
                            ${EndIf}
                        ${Next}
                    ${EndIf}
                ${EndIf}
                IntOp $6 $6 + 1
            ${EndWhile}
        ${EndIf}
        System::Call 'kernel32::LocalFree(p r2)'
    ${EndIf}
    StrCpy $0 $9
    Pop $9
    Pop $8
    Pop $7
    Pop $6
    Pop $5
    Pop $4
    Pop $3
    Pop $2
    Pop $1
    Exch $0
FunctionEnd

!define UNREADABLE_FOLDER_MESSAGE "Non è stato possibile leggere chi può modificare la cartella $INSTDIR. Scegliere un'altra cartella, per esempio quella proposta in Programmi."
!define WRITABLE_BY_ALL_MESSAGE "Ogni utente di questo computer può modificare la cartella $INSTDIR: i programmi messi lì potrebbero essere sostituiti da chiunque, e ogni file .p7m aperto li avvierebbe. Scegliere un'altra cartella, per esempio quella proposta in Programmi."

; A folder that every user may write to is refused: the programs in it would
; open every user's ".p7m" files.
Function LeaveDirectoryPage
    ${If} ${FileExists} "$INSTDIR\*.*"
        Push $INSTDIR
        Call FolderWritableByAll
        Pop $0
        ${If} $0 == "1"
            MessageBox MB_OK|MB_ICONSTOP "${WRITABLE_BY_ALL_MESSAGE}"
            Abort
        ${ElseIf} $0 == "?"
            MessageBox MB_OK|MB_ICONSTOP "${UNREADABLE_FOLDER_MESSAGE}"
            Abort
        ${EndIf}
    ${EndIf}
FunctionEnd

; What the programs need from outside the system, looked for beside them and
; in the system folders; what is missing is said in one message.
Function CheckOutsideComponents
    StrCpy $1 ""
    ${IfNot} ${FileExists} "$INSTDIR\${STAND_IN_1}"
    ${AndIfNot} ${FileExists} "$SYSDIR\${STAND_IN_1}"
        StrCpy $1 "$1$\r$\n - Cie_MetaCmd.dll, il middleware della Carta d'Identità Elettronica: senza di esso il programma di firma Quillet non si avvia;"
    ${EndIf}
    ${IfNot} ${FileExists} "$INSTDIR\${STAND_IN_2}"
    ${AndIfNot} ${FileExists} "$SYSDIR\${STAND_IN_2}"
        StrCpy $1 "$1$\r$\n - gclib.dll, il modulo PKCS#11 delle carte diverse dalla CIE: senza di esso Quillet firma solo con la CIE;"
    ${EndIf}
    ${IfNot} ${FileExists} "$INSTDIR\${STAND_IN_3}"
    ${AndIfNot} ${FileExists} "$SYSDIR\${STAND_IN_3}"
        StrCpy $1 "$1$\r$\n - vistrel.dll, la libreria che mostra i certificati: senza di essa il programma di verifica Quillcheck non si avvia;"
    ${EndIf}
    ${If} $1 != ""
        DetailPrint "Componenti esterni mancanti:$1"
        MessageBox MB_OK|MB_ICONEXCLAMATION "${PRODUCT} è installato, ma mancano questi componenti esterni, da installare a parte:$1$\r$\n$\r$\nRivolgersi all'ufficio informatico del ${COMPANY}." /SD IDOK
    ${EndIf}
FunctionEnd

Section "Quill"
    SetShellVarContext all

    ; Nothing is written while a program of Quill runs: in this folder, in
    ; the folder of the install that is there already, or in a test install's.
    ReadRegStr $R0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
!ifndef STAND_INS
    ReadRegStr $R1 HKLM "${TEST_UNINSTALL_KEY}" "InstallLocation"
!else
    StrCpy $R1 ""
!endif
    Push $INSTDIR
    Call WaitForProgramsClosed
    ${If} $R0 != ""
    ${AndIf} $R0 != $INSTDIR
        Push $R0
        Call WaitForProgramsClosed
    ${EndIf}
    ${If} $R1 != ""
    ${AndIf} $R1 != $INSTDIR
    ${AndIf} $R1 != $R0
        Push $R1
        Call WaitForProgramsClosed
    ${EndIf}

    ; Refused before anything is written: a folder every user may change
    ; (a folder made here is checked once made, with what it inherited).
    ${IfNot} ${FileExists} "$INSTDIR\*.*"
        CreateDirectory "$INSTDIR"
        StrCpy $R9 "made"
    ${EndIf}
    Push $INSTDIR
    Call FolderWritableByAll
    Pop $0
    ${If} $0 != "0"
        ${If} $R9 == "made"
            RMDir "$INSTDIR"
        ${EndIf}
        ${If} $0 == "1"
            MessageBox MB_OK|MB_ICONSTOP "${WRITABLE_BY_ALL_MESSAGE}" /SD IDOK
        ${Else}
            MessageBox MB_OK|MB_ICONSTOP "${UNREADABLE_FOLDER_MESSAGE}" /SD IDOK
        ${EndIf}
        SetErrorLevel 2
        Abort "Installazione annullata: la cartella non è protetta."
    ${EndIf}

    SetOutPath "$INSTDIR"
    ClearErrors
    File "${BIN}\quillet.exe"
    File "${BIN}\quillcheck.exe"
    File "${BIN}\orvik.dll"
!ifdef STAND_INS
    File "/oname=LEGGIMI.txt" "${README}"
!endif
    !insertmacro INSTALL_GUIDE_FILES
    !insertmacro INSTALL_TRUST_FILES
    SetOutPath "$INSTDIR\sviluppo"
    File "${HEADER}"
    File "${LIB}"
!ifdef STAND_INS
    SetOutPath "$INSTDIR"
    File "${OUTSIDE}\${STAND_IN_1}"
    File "${OUTSIDE}\${STAND_IN_2}"
    File "${OUTSIDE}\${STAND_IN_3}"
!endif
    WriteUninstaller "$INSTDIR\uninstall.exe"
    ${If} ${Errors}
        MessageBox MB_OK|MB_ICONSTOP "Non è stato possibile scrivere tutti i file di ${PRODUCT} in $INSTDIR. Chiudere ogni programma di Quill e ripetere l'installazione." /SD IDOK
        SetErrorLevel 2
        Abort "Installazione non riuscita: alcuni file non sono stati scritti."
    ${EndIf}

!ifndef STAND_INS
    ; The test variant's stand-ins hide the real components; where a test
    ; install left them, they go, each only while it is the file that install
    ; wrote (its size, recorded in the test install's entry). The test
    ; install's entry goes when its uninstaller is gone (this install took its
    ; folder, or removed it as the old copy below).
    ${If} $R1 != ""
        !insertmacro REMOVE_STAND_IN $R1 "${STAND_IN_1}"
        !insertmacro REMOVE_STAND_IN $R1 "${STAND_IN_2}"
        !insertmacro REMOVE_STAND_IN $R1 "${STAND_IN_3}"
    ${EndIf}
!endif

    ; A copy left in another folder by an earlier install goes: its own
    ; uninstaller would otherwise remain, for a copy that is no longer used.
    ${If} $R0 != ""
    ${AndIf} $R0 != $INSTDIR
        Push $R0
        Call RemoveProgramFiles
        Pop $0
        Delete "$R0\uninstall.exe"
!ifdef STAND_INS
        !insertmacro REMOVE_STAND_INS $R0
!endif
        RMDir "$R0"
        ${If} $0 != ""
            DetailPrint "Della copia precedente restano:$0"
        ${EndIf}
    ${EndIf}

!ifndef STAND_INS
    ${If} $R1 != ""
        ${IfNot} ${FileExists} "$R1\uninstall.exe"
        ${OrIf} $R1 == $INSTDIR
            DeleteRegKey HKLM "${TEST_UNINSTALL_KEY}"
            Delete "$SMPROGRAMS\Quill PROVA\Quillet - Firma dei file.lnk"
            Delete "$SMPROGRAMS\Quill PROVA\Quillcheck - Verifica di una cartella.lnk"
            Delete "$SMPROGRAMS\Quill PROVA\Guida di Quill.lnk"
            Delete "$SMPROGRAMS\Quill PROVA\Leggimi.lnk"
            RMDir "$SMPROGRAMS\Quill PROVA"
        ${EndIf}
    ${EndIf}
!else
    ; What the citizens' installer may take for a stand-in: these files' sizes.
    !insertmacro RECORD_STAND_IN_SIZE "${STAND_IN_1}"
    !insertmacro RECORD_STAND_IN_SIZE "${STAND_IN_2}"
    !insertmacro RECORD_STAND_IN_SIZE "${STAND_IN_3}"
!endif

    CreateDirectory "${MENU}"
    CreateShortcut "${MENU}\Quillet - Firma dei file.lnk" "$INSTDIR\quillet.exe"
    ; The clerk's way into a folder's verification: the program cannot tell a
    ; start from the menu from any other, so the entry says it with a switch.
    CreateShortcut "${MENU}\Quillcheck - Verifica di una cartella.lnk" "$INSTDIR\quillcheck.exe" "/cartella"
    CreateShortcut "${MENU}\Guida di Quill.lnk" "$INSTDIR\guida\index.html"
!ifdef STAND_INS
    CreateShortcut "${MENU}\Leggimi.lnk" "$INSTDIR\LEGGIMI.txt"
!else
    ; The developers' readme, which earlier versions installed, goes.
    Delete "$INSTDIR\LEGGIMI.txt"
    Delete "${MENU}\Leggimi.lnk"
!endif

    ; ".p7m" opens in the verification program. Only the type's default
    ; value is taken; an earlier owner is kept, and given back by the
    ; uninstaller. A reinstall keeps the owner saved the first time.
    ReadRegStr $0 HKLM "${CLASSES}\.p7m" ""
    ${If} $0 != ""
    ${AndIf} $0 != "${PROGID}"
        WriteRegStr HKLM "${CLASSES}\${PROGID}" "PreviousProgId" "$0"
    ${EndIf}
    WriteRegStr HKLM "${CLASSES}\.p7m" "" "${PROGID}"
    WriteRegStr HKLM "${CLASSES}\${PROGID}" "" "File firmato digitalmente"
    WriteRegStr HKLM "${CLASSES}\${PROGID}\DefaultIcon" "" "$INSTDIR\quillcheck.exe,0"
    WriteRegStr HKLM "${CLASSES}\${PROGID}\shell\open\command" "" '${OPEN_COMMAND}'
    ; SHCNE_ASSOCCHANGED: the desktop reads the association again.
    System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} - firma e verifica dei file (${COMPANY})"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${COMPANY}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\quillcheck.exe,0"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    ${If} $SignatureForm != ""
        WriteRegStr HKLM "${SETTINGS_KEY}" "${FORM_VALUE}" "$SignatureForm"
    ${EndIf}

    Call CheckOutsideComponents
SectionEnd

; ---------------------------------------------------------------------------
; The uninstaller

; Only what the installer put there goes: a file of the user's in the folder
; stays, and so does the folder then. The association, the Start menu and the
; uninstall entry, and the form of signature, are the registered install's:
; a copy elsewhere (an old folder, a backup) removes only its own files.
Section "Uninstall"
    SetShellVarContext all
    Push $INSTDIR
    Call un.WaitForProgramsClosed

    Push $INSTDIR
    Call un.RemoveProgramFiles
    Pop $R1
!ifdef STAND_INS
    !insertmacro REMOVE_STAND_INS $INSTDIR
!endif
    ${If} $R1 != ""
        ; Something held a file after all: the install stays registered, so
        ; that the uninstaller can be run again.
        MessageBox MB_OK|MB_ICONSTOP "Non è stato possibile rimuovere questi file:$R1$\r$\n$\r$\nChiudere ogni programma che li usa e disinstallare di nuovo." /SD IDOK
        SetErrorLevel 2
        Abort "Disinstallazione non completata."
    ${EndIf}
    ; Run in place (_?=), the uninstaller cannot remove itself; whoever ran it
    ; so removes it (a removal at the next restart would take the uninstaller
    ; of an install made before it).
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"

    ReadRegStr $R0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $R0 != $INSTDIR
        DetailPrint "Quill è registrato in $R0: restano la sua voce, il suo menu, l'associazione dei file .p7m e la forma della firma."
        Return
    ${EndIf}

    Delete "${MENU}\Quillet - Firma dei file.lnk"
    Delete "${MENU}\Quillcheck - Verifica di una cartella.lnk"
    Delete "${MENU}\Guida di Quill.lnk"
!ifdef STAND_INS
    Delete "${MENU}\Leggimi.lnk"
!endif
    RMDir "${MENU}"

    ; The association goes only while it is still this install's. ".p7m"
    ; goes back to the earlier owner when that class still exists; else only
    ; the value the install wrote goes, and the key when nothing else is in
    ; it. A program that took ".p7m" since keeps it.
    ReadRegStr $0 HKLM "${CLASSES}\${PROGID}\shell\open\command" ""
    ${If} $0 == '${OPEN_COMMAND}'
        ReadRegStr $1 HKLM "${CLASSES}\.p7m" ""
        ReadRegStr $2 HKLM "${CLASSES}\${PROGID}" "PreviousProgId"
        ${If} $1 == "${PROGID}"
            StrCpy $3 ""
            ${If} $2 != ""
                ClearErrors
                EnumRegKey $3 HKLM "${CLASSES}\$2" 0
                ${If} ${Errors}
                    StrCpy $3 ""
                ${Else}
                    StrCpy $3 "exists"
                ${EndIf}
            ${EndIf}
            ${If} $3 == "exists"
                WriteRegStr HKLM "${CLASSES}\.p7m" "" "$2"
            ${Else}
                DeleteRegValue HKLM "${CLASSES}\.p7m" ""
                DeleteRegKey /ifempty HKLM "${CLASSES}\.p7m"
            ${EndIf}
        ${EndIf}
        DeleteRegKey HKLM "${CLASSES}\${PROGID}"
        System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
    ${EndIf}
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    DeleteRegValue HKLM "${SETTINGS_KEY}" "${FORM_VALUE}"
    DeleteRegKey /ifempty HKLM "${SETTINGS_KEY}"
SectionEnd
