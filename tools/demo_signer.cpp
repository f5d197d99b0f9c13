// The demo of scripts/demo: signs files one after the other with fnSignFile on
// the simulated card, as a batch, showing the progress window, in the form the
// registry names or, with --cades, in the CAdES form. The PIN prompt
// is answered from a helper thread with the PIN given on the command line, and
// screenshots of both windows go to build/screenshots.
//   demo_signer [--cades] <pin> <output folder> <file>...
// The PKCS#11 module is looked for in the folder that QUILL_DEMO_MODULE_DIR
// names, as a user's machine would have it on its DLL path.
#include <windows.h>

#include <cstdio>
#include <string>

#include "pin_prompt.h"
#include "progress_dialogs.h"
#include "quillet_resource.h"
#include "sign_file.h"
#include "ui_driver.h"

int main(int argc, char** argv) {
    const bool cades = argc > 1 && std::string(argv[1]) == "--cades";
    if (cades) {
        --argc;
        ++argv;
    }
    if (argc < 4) {
        std::fprintf(stderr, "usage: demo_signer [--cades] <pin> <output folder> <file>...\n");
        return 2;
    }
    const std::string pin = argv[1], folder = argv[2];
    char moduleDir[MAX_PATH];
    if (GetEnvironmentVariableA("QUILL_DEMO_MODULE_DIR", moduleDir, sizeof moduleDir) > 0) {
        SetDllDirectoryA(moduleDir);
    }
    usePinPrompt();
    ui::WindowWatcher answerer("Verifica PIN Quillet", [&](HWND prompt) {
        ui::type(GetDlgItem(prompt, IDC_PIN_EDIT), pin);
        ui::saveScreenshot(prompt, "demo-pin-prompt");
        ui::click(prompt, IDC_PIN_OK);
    });

    CProgressDlg progress;
    progress.createModeless(nullptr);
    progress.show();
    progress.centre();
    progress.setRange(argc - 3);
    int failures = 0;
    for (int i = 3; i < argc; ++i) {
        std::string name = argv[i];
        name = name.substr(name.find_last_of("/\\") + 1);
        const std::string output = folder + "\\" + name + ".p7m";
        const int32_t result = cades ? fnSignFile(SignatureForm::CadesBes, argv[i], output.c_str(), i - 3)
                                     : fnSignFile(argv[i], output.c_str(), i - 3);
        if (result == 0) {
            progress.addSigned(argv[i]);
            progress.step();
            std::printf("signed %s -> %s\n", argv[i], output.c_str());
        } else {
            std::printf("not signed %s: result %d (0x%X)\n", argv[i], result, static_cast<unsigned>(result));
            ++failures;
        }
        ui::pumpMessages(100);
    }
    ui::pumpMessages(300);
    ui::saveScreenshot(progress.handle(), "demo-progress");
    progress.destroy();
    return failures == 0 ? 0 : 1;
}
