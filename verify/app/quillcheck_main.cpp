// quillcheck.exe: the verification program, started on one SignedFile. Every
// failure of the start-up ends the program after its message; otherwise the
// one window runs modally and the program ends when it closes.
#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <memory>

#include "accepted_cas.h"
#include "dialog.h"
#include "file_tools.h"
#include "message_box.h"
#include "quillcheck_resource.h"
#include "signed_file_record.h"
#include "signers_dlg.h"
#include "temp_paths.h"
#include "viewer_rules.h"

namespace {

// The application's data for the whole run.
struct CVerifierApp {
    SignedFileRecord record;
    FileTools tools;
    AcceptedCaTable acceptedCas;

    // The accepted authorities: the program's "CER" resources 140 to 146.
    void loadAcceptedCas(HINSTANCE instance) {
        acceptedCas = AcceptedCaTable();
        for (int k = 0; k < ACCEPTED_CA_COUNT; ++k) {
            HRSRC found = FindResourceA(instance, MAKEINTRESOURCEA(IDR_FIRST_ACCEPTED_CA + k), "CER");
            HGLOBAL loaded = found ? LoadResource(instance, found) : nullptr;
            const void* bytes = loaded ? LockResource(loaded) : nullptr;
            if (bytes) acceptedCas.set(k, static_cast<const uint8_t*>(bytes), SizeofResource(instance, found));
        }
    }

    // The start-up: returns false, and the program ends when the window has closed.
    bool initInstance(HINSTANCE instance, const char* arguments) {
        loadAcceptedCas(instance);
        if (arguments == nullptr || arguments[0] == '\0') {
            showMessageBox(nullptr,
                           "L'applicazione \xE8 stata avviata senza selezionare alcun file p7m e verr\xE0 terminata",
                           "Attenzione", MB_ICONEXCLAMATION);
            std::exit(0);
        }
        const std::string path = pathFromCommandLine(arguments);
        char longPath[MAX_PATH * 4];
        if (!resolveLongPath(path.c_str(), longPath, sizeof longPath)) endOnDiskError();
        record.signedPath = longPath;
        // The window's own folder: another window on a file of the same name
        // shows and deletes only its own content.
        if (!prepareWorkFolder(&record)) endOnDiskError();
        if (!isSignedFileName(record.signedPath.c_str())) {
            showMessageBox(nullptr, "Il file selezionato non \xE8 un p7m e l'applicazione verr\xE0 chiusa",
                           "Attenzione!", MB_ICONSTOP);
            std::exit(0);
        }
        CSignersDlg dialog(&tools, &record, &acceptedCas);
        dialog.runModal(nullptr);
        return false;
    }
};

// The desktop starts the program in the SignedFile's folder, where anybody
// who sent the file may have put a DLL beside it: the current folder leaves
// the DLL search (the program's own folder and the system's stay).
void keepCurrentFolderOutOfDllSearch() {
    SetDllDirectoryA("");
    using SetDefaultDirectories = BOOL(WINAPI*)(DWORD);
    const FARPROC entry = GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories");
    const auto setDefault = reinterpret_cast<SetDefaultDirectories>(reinterpret_cast<void (*)()>(entry));
    if (setDefault != nullptr) setDefault(LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR arguments, int) {
    keepCurrentFolderOutOfDllSearch();
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    setResourceInstance(instance);
    setProgramName("Quillcheck");
    auto app = std::make_unique<CVerifierApp>();
    app->initInstance(instance, arguments);
    return 0;
}
