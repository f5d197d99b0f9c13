#include "signers_dlg.h"

#include <algorithm>
#include <cstdio>

#include "about_dlg.h"
#include "message_box.h"
#include "quillcheck_messages.h"
#include "quillcheck_resource.h"
#include "signed_file_loader.h"
#include "signer_display.h"

namespace {


}  // namespace

CSignersDlg::CSignersDlg(FileTools* tools, SignedFileRecord* record, const CertificateTrust* trust)
    : ProgramDialog(IDD_QUILLCHECK_DIALOG, IDI_PROGRAM, IDS_ABOUTBOX, IDD_ABOUTBOX),
      tools_(tools),
      record_(record),
      trust_(trust) {}

bool CSignersDlg::onInit() {
    ProgramDialog::onInit();
    list_ = item(IDC_SIGNERS);
    const int32_t result = loadSignedFile(*record_, *trust_);
    if (result == 0) copyZoneMark(record_->signedPath, record_->contentPath);
    fillList(result);
    return true;
}

void CSignersDlg::fillList(int32_t loadResult) {
    const bool loaded = loadResult == 0;
    images_ = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 4, 4);
    for (int id : {IDI_LIST_GREEN, IDI_LIST_RED, IDI_LIST_YELLOW}) {  // indexes 0, 1, 2
        HICON icon = static_cast<HICON>(LoadImageA(resourceInstance(), MAKEINTRESOURCEA(id), IMAGE_ICON, 16, 16, 0));
        ImageList_AddIcon(images_, icon);
        DestroyIcon(icon);
    }
    ListView_SetImageList(list_, images_, LVSIL_SMALL);

    // A third column, "Data della firma", only when a signer names its
    // signing time; the two columns share its room then.
    bool signingTimes = false;
    for (int g = 0; loaded && g < record_->signerCount; ++g) signingTimes |= !record_->signingTimes[g].empty();
    LVCOLUMNA column{};
    column.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH;
    column.fmt = LVCFMT_LEFT;
    column.cx = signingTimes ? 235 : 315;
    column.pszText = const_cast<char*>("NOME FIRMATARIO");
    ListView_InsertColumn(list_, 0, &column);
    column.fmt = LVCFMT_RIGHT;
    column.cx = signingTimes ? 140 : 185;
    column.pszText = const_cast<char*>("Scadenza Certificato");
    ListView_InsertColumn(list_, 1, &column);
    if (signingTimes) {
        column.cx = 125;
        column.pszText = const_cast<char*>("Data della firma");
        ListView_InsertColumn(list_, 2, &column);
    }
    ListView_SetExtendedListViewStyle(list_, LVS_EX_FULLROWSELECT);

    SetDlgItemTextA(handle(), IDC_SIGNED_PATH, record_->signedPath.c_str());
    if (!loaded) {
        SetDlgItemTextA(handle(), IDC_SUMMARY,
                        loadResult == LOAD_ERR_NOT_VERIFIABLE
                            ? notVerifiableLine(record_->unverifiedAlgorithms[0]).c_str()
                            : quillcheck_messages::FILE_DAMAGED);
        for (int id : {IDC_VIEW_SOURCE, IDC_VIEW_FILE, IDC_VIEW_CERTIFICATE}) EnableWindow(item(id), FALSE);
        return;
    }
    SetDlgItemTextA(handle(), IDC_SUMMARY, summaryLine(true, record_->signerCount).c_str());
    int stateWidth = 0;  // of the longest state text
    for (int g = 0; g < record_->signerCount; ++g) {
        const SignerStatus status = record_->signerStatus[g];
        const int32_t depth = record_->signerDepths[g];
        const std::string name = signerNameText(record_->signerNames[g], depth);
        const std::string state = signerStateText(*record_, g);
        LVITEMA row{};
        row.mask = LVIF_TEXT | LVIF_IMAGE;
        row.iItem = g;
        row.iImage = statusIcon(status);
        row.pszText = const_cast<char*>(name.c_str());
        ListView_InsertItem(list_, &row);
        ListView_SetItemText(list_, g, 1, const_cast<char*>(state.c_str()));
        if (signingTimes) ListView_SetItemText(list_, g, 2, const_cast<char*>(record_->signingTimes[g].c_str()));
        stateWidth = std::max(stateWidth, ListView_GetStringWidth(list_, state.c_str()) + 16);
    }
    // A long state (a time-stamp's time, an algorithm that cannot be
    // checked, a qualified signature) takes the list's room that no column
    // uses, then room from the name column, which keeps at least 120 pixels.
    const int nameColumn = ListView_GetColumnWidth(list_, 0), stateColumn = ListView_GetColumnWidth(list_, 1);
    RECT client{};
    GetClientRect(list_, &client);
    const int used = nameColumn + stateColumn + (signingTimes ? ListView_GetColumnWidth(list_, 2) : 0);
    const int spare = std::max(0, static_cast<int>(client.right) - used);
    const int grow = std::min(stateWidth - stateColumn, spare + nameColumn - 120);
    if (grow > 0) {
        const int taken = std::max(0, grow - spare);  // from the name column
        ListView_SetColumnWidth(list_, 0, nameColumn - taken);
        ListView_SetColumnWidth(list_, 1, stateColumn + grow);
    }
}

bool CSignersDlg::onCommand(int id, int) {
    switch (id) {
    case IDC_VIEW_FILE: {
        const WaitCursor busy;
        tools_->openWithAssociation(record_->contentPath);
        return true;
    }
    case IDC_VIEW_SOURCE: {
        const WaitCursor busy;
        tools_->showSource(*record_);
        return true;
    }
    case IDC_VIEW_CERTIFICATE:
    case IDC_CHECK_REVOCATION: {
        const WaitCursor busy;
        const bool certificate = id == IDC_VIEW_CERTIFICATE;
        const int signer = chosenSigner(certificate ? quillcheck_messages::SELECT_SIGNER_FOR_CERTIFICATE : quillcheck_messages::SELECT_SIGNER_FOR_REVOCATION);
        if (signer < 0) return true;
        if (certificate) {
            tools_->showCertificate(signer, *record_);
        } else {
            tools_->ReportRevocation(signer, *record_);
        }
        clearSelection();
        return true;
    }
    default:
        return false;
    }
}

int CSignersDlg::chosenSigner(const char* request) {
    int selected = ListView_GetNextItem(list_, -1, LVNI_SELECTED);
    if (selected < 0) {
        showMessageBox(handle(), request, "Attezione", MB_ICONEXCLAMATION);
        return -1;
    }
    for (int next = selected; (next = ListView_GetNextItem(list_, next, LVNI_SELECTED)) >= 0;) selected = next;
    return selected;
}

void CSignersDlg::clearSelection() {
    const int mark = ListView_GetSelectionMark(list_);
    ListView_SetItemState(list_, mark, 0, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SetSelectionMark(list_, -1);
}

// "Esci": the dump and the content go, then the window.
void CSignersDlg::onOK() {
    removeWorkFolder(*record_);
    if (images_) ImageList_Destroy(images_);
    images_ = nullptr;
    endDialog(IDOK);
}

INT_PTR CSignersDlg::onMessage(UINT message, WPARAM wParam, LPARAM lParam, bool* handled) {
    if (message == WM_NOTIFY) {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->idFrom == IDC_SIGNERS && header->code == NM_DBLCLK) {
            const int selected = ListView_GetNextItem(list_, -1, LVNI_SELECTED);
            if (selected >= 0) tools_->showCertificate(selected, *record_);
            *handled = true;
            return 0;
        }
    }
    return ProgramDialog::onMessage(message, wParam, lParam, handled);
}

void CSignersDlg::showAbout() {
    CAboutDlg about;
    about.runModal(handle());
}
