#include "about_dlg.h"

#include "ansi_text.h"
#include "quillcheck_resource.h"
#include "trusted_list_source.h"

CAboutDlg::CAboutDlg() : Dialog(IDD_ABOUTBOX) {}

namespace {
constexpr UINT_PTR LIST_TIMER = 1;
}

bool CAboutDlg::onInit() {
    Dialog::onInit();
    if (!showList()) SetTimer(handle(), LIST_TIMER, 250, nullptr);
    return true;
}

INT_PTR CAboutDlg::onMessage(UINT message, WPARAM wParam, LPARAM lParam, bool* handled) {
    if (message == WM_TIMER && wParam == LIST_TIMER) {
        if (showList()) KillTimer(handle(), LIST_TIMER);
        *handled = true;
        return 0;
    }
    return Dialog::onMessage(message, wParam, lParam, handled);
}

bool CAboutDlg::showList() {
    // What is in hand now: the box never waits for the network or the gate.
    TrustedListStore& store = programListStore();
    const std::shared_ptr<const AcceptedTrustedList> list = store.current(ListFetch::InHand);
    const bool loading = list == nullptr && store.loading();
    const std::string line = loading ? std::string("Lista di fiducia: in caricamento")
                                     : trustedListLine(list.get(), store.lastRefusal(), utcNow());
    SetDlgItemTextA(handle(), IDC_ABOUT_TRUSTED_LIST, line.c_str());
    return !loading;
}

std::string trustedListLine(const AcceptedTrustedList* list, const std::string& refusal, UtcSeconds now) {
    if (list == nullptr) {
        return refusal.empty() ? "Lista di fiducia: nessuna lista disponibile"
                               : "Lista di fiducia: nessuna lista attendibile (" + refusal + ")";
    }
    const TrustedList& l = list->list();
    const auto ansi = [](const std::string& utf8) { return ansiText(wideFromUtf8(utf8).c_str(), -1); };
    std::string line = "Lista di fiducia: " + ansi(l.issuer) + " (" + ansi(l.territory) +
                       "), numero " + std::to_string(l.sequenceNumber) + "\nemessa il " + formatUtc(l.issued) +
                       "\nprossimo aggiornamento " + (l.closed ? std::string("nessuno") : formatUtc(l.nextUpdate));
    if (!list->speaksFor(now)) line += " (scaduta)";
    return line;
}
