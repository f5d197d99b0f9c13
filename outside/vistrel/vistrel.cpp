#define VISTREL_BUILDING
#include "vistrel.h"

#include <commctrl.h>

#include <string>
#include <vector>

#include "orvik.h"
#include "vistrel_resource.h"

namespace {

HINSTANCE g_module = nullptr;

std::string text(const char* value) { return value ? value : ""; }

// An algorithm that the library's table does not name.
std::string algorithmText(const char* value) {
    return value && *value ? value : "Algoritmo non compreso nella tabella";
}

// "NAME = value" lines, as the record lists them (the last encoded first).
std::string nameLines(const NameAttributeNode* node) {
    std::string lines;
    for (; node; node = node->pNext) {
        if (node->pszName == nullptr) continue;  // a type the library does not name
        lines += std::string(node->pszName) + " = " + text(node->pszValue) + "\r\n";
    }
    return lines;
}

std::string valueOf(const NameAttributeNode* node, const char* name) {
    for (; node; node = node->pNext) {
        if (node->pszName && std::string(node->pszName) == name) return text(node->pszValue);
    }
    return "";
}

// An extension text as the edit control shows it: CR LF line ends.
std::string withLineEnds(const char* value) {
    std::string out;
    for (const char* p = value ? value : ""; *p; ++p) {
        if (*p == '\n' && (out.empty() || out.back() != '\r')) out += '\r';
        out += *p;
    }
    return out;
}

std::string issuerCheckText(DWORD check) {
    switch (check) {
    case 0: return "Emittente presente tra i certificati dell'utente, firma verificata";
    case 2: return "Emittente presente; il certificato \xE8 fuori dal periodo di validit\xE0";
    default: return "Emittente non trovato tra i certificati dell'utente";
    }
}

// The size of the buffer that the library copies the subject's e-mail address
// into: it copies the whole value and cannot be asked its length. No value of
// the subject takes more than two bytes for each byte of its encoding (a
// UTF-8 value is decoded to UTF-16), and the copy ends with a nul.
size_t mailBufferSize(const unsigned char* certificate, unsigned long length) {
    if (certificate == nullptr || length == 0) return 2;
    PCCERT_CONTEXT context = CertCreateCertificateContext(X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, certificate, length);
    if (context == nullptr) return 2;
    const size_t size = 2 * static_cast<size_t>(context->pCertInfo->Subject.cbData) + 2;
    CertFreeCertificateContext(context);
    return size;
}

}  // namespace

struct COrvikDlg::Field {
    std::string name;
    std::string summary;  // the list's column
    std::string value;    // the whole value, below the list
};

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) g_module = module;
    return TRUE;
}

COrvikDlg::COrvikDlg(unsigned char* certificate, unsigned long length)
    : Dialog(IDD_CERTIFICATE, g_module), certificate_(certificate), length_(length) {}

COrvikDlg::~COrvikDlg() { delete[] fields_; }

bool COrvikDlg::onInit() {
    Dialog::onInit();
    HWND list = item(IDC_FIELDS);
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT);
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.cx = 150;
    column.pszText = const_cast<char*>("Campo");
    ListView_InsertColumn(list, 0, &column);
    column.cx = 300;
    column.pszText = const_cast<char*>("Valore");
    ListView_InsertColumn(list, 1, &column);

    std::vector<Field> fields;
    CertificateData data{};
    std::vector<char> mail(mailBufferSize(certificate_, length_), '\0');
    data.pszMailAddress = mail.data();
    // The texts are copied out of the record, so the library's bracket closes here.
    const bool opened = certificate_ != nullptr && length_ > 0 && AllocOrvikMem() == 0;
    const bool read = opened && GetCertificateDataFromBuffer(certificate_, length_, &data) == 0;
    if (read) {
        const std::string subjectName = valueOf(data.pSubject, "COMMON NAME");
        SetDlgItemTextA(handle(), IDC_CERTIFICATE_TITLE,
                        ("Certificato di " + subjectName + "\r\nemesso da " + valueOf(data.pIssuer, "COMMON NAME")).c_str());
        std::string usages;
        for (const KeyUsageNode* k = data.pKeyUsage; k; k = k->pNext) usages += (usages.empty() ? "" : ", ") + text(k->pszText);
        fields = {
            {"Versione", text(data.pszVersion), text(data.pszVersion)},
            {"Numero di serie", text(data.pszSerialNumber), text(data.pszSerialNumber)},
            {"Algoritmo di firma", algorithmText(data.pszSignatureAlgorithm), algorithmText(data.pszSignatureAlgorithm)},
            {"Emittente", valueOf(data.pIssuer, "COMMON NAME"), nameLines(data.pIssuer)},
            {"Valido dal", text(data.pszValidFrom), text(data.pszValidFrom)},
            {"Valido fino al", text(data.pszValidTo), text(data.pszValidTo)},
            {"Soggetto", subjectName, nameLines(data.pSubject)},
            {"Chiave pubblica", algorithmText(data.pszPublicKeyAlgorithm), text(data.pszPublicKey)},
            {"Utilizzo della chiave", usages, usages},
            {"Impronta SHA-1", text(data.pszThumbprint), text(data.pszThumbprint)},
            {"Verifica dell'emittente", issuerCheckText(data.dwIssuerCheck), issuerCheckText(data.dwIssuerCheck)},
        };
        if (mail[0] != '\0') fields.push_back({"Indirizzo e-mail", mail.data(), mail.data()});
        for (int critical = 0; critical < 2; ++critical) {
            for (const ExtensionNode* e = critical ? data.pCriticalExtensions : data.pExtensions; e; e = e->pNext) {
                const std::string value = withLineEnds(e->pszValue);
                const std::string firstLine = value.substr(0, value.find('\r'));
                fields.push_back({text(e->pszName) + (critical ? " (critica)" : ""), firstLine, value});
            }
        }
    } else {
        SetDlgItemTextA(handle(), IDC_CERTIFICATE_TITLE, "Il certificato del firmatario non \xE8 disponibile.");
    }
    if (opened) FreeOrvikMem();

    fieldCount_ = static_cast<int>(fields.size());
    fields_ = new Field[fieldCount_ > 0 ? fieldCount_ : 1];
    for (int i = 0; i < fieldCount_; ++i) {
        fields_[i] = fields[i];
        LVITEMA row{};
        row.mask = LVIF_TEXT;
        row.iItem = i;
        row.pszText = const_cast<char*>(fields_[i].name.c_str());
        ListView_InsertItem(list, &row);
        ListView_SetItemText(list, i, 1, const_cast<char*>(fields_[i].summary.c_str()));
    }
    if (fieldCount_ > 0) {
        ListView_SetItemState(list, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        showField(0);
    }
    return true;
}

void COrvikDlg::showField(int index) {
    if (index < 0 || index >= fieldCount_) return;
    SetDlgItemTextA(handle(), IDC_FIELD_VALUE, fields_[index].value.c_str());
}

INT_PTR COrvikDlg::onMessage(UINT message, WPARAM, LPARAM lParam, bool* handled) {
    if (message == WM_NOTIFY) {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->idFrom == IDC_FIELDS && header->code == LVN_ITEMCHANGED) {
            const auto* change = reinterpret_cast<const NMLISTVIEW*>(lParam);
            if (change->uNewState & LVIS_SELECTED) showField(change->iItem);
            *handled = true;
        }
    }
    return 0;
}
