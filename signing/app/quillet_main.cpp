// quillet.exe: the signing program. One window, run modally; the program
// ends when it closes.
#include <windows.h>
#include <commctrl.h>

#include "dialog.h"
#include "message_box.h"
#include "pin_prompt.h"
#include "signing_dlg.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    setResourceInstance(instance);  // where the PIN prompt finds its template
    setProgramName("Quillet");
    usePinPrompt();
    CSigningDlg dialog;
    dialog.runModal(nullptr);
    return 0;
}
