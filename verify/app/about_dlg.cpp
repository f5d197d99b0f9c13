#include "about_dlg.h"

#include "ansi_text.h"
#include "quillcheck_resource.h"
#include "trusted_list_source.h"

CAboutDlg::CAboutDlg() : Dialog(IDD_ABOUTBOX) {}

bool CAboutDlg::onInit() {
    Dialog::onInit();
    // What is in hand now: the box never waits for the network.
    TrustedListStore& store = programListStore();
    const std::shared_ptr<const AcceptedTrustedList> list = store.current(false);
    SetDlgItemTextA(handle(), IDC_ABOUT_TRUSTED_LIST, trustedListLine(list.get(), store.lastRefusal(), utcNow()).c_str());
    return true;
}

std::string trustedListLine(const AcceptedTrustedList* list, const std::string& refusal, UtcSeconds now) {
    if (list == nullptr) {
        return refusal.empty() ? "Lista di fiducia: nessuna lista disponibile"
                               : "Lista di fiducia: nessuna lista attendibile (" + refusal + ")";
    }
    const TrustedList& l = list->list();
    std::string line = "Lista di fiducia: " + ansiText(wideFromUtf8(l.issuer).c_str(), -1) + " (" + l.territory +
                       "), numero " + std::to_string(l.sequenceNumber) + "\nemessa il " + formatUtc(l.issued) +
                       "\nprossimo aggiornamento " + (l.closed ? std::string("nessuno") : formatUtc(l.nextUpdate));
    if (!list->speaksFor(now)) line += " (scaduta)";
    return line;
}
