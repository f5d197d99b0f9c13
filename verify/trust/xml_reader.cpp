#include "xml_reader.h"

#include <windows.h>
#include <objidl.h>
#include <initguid.h>  // defines IID_IXmlReader here: the toolchain has no import library for XmlLite
#include <xmllite.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "file_io.h"

namespace {

template <typename T>
struct ComReleaser {
    void operator()(T* p) const { p->Release(); }
};
template <typename T>
using ComPointer = std::unique_ptr<T, ComReleaser<T>>;

using CreateReader = HRESULT(WINAPI*)(REFIID, void**, IMalloc*);

// XmlLite from the system folder, loaded once: the toolchain links no import
// library for it.
CreateReader xmlLiteEntry() {
    static const CreateReader entry = [] {
        const HMODULE module = LoadLibraryA(systemProgramPath("xmllite.dll").c_str());
        const FARPROC found = module ? GetProcAddress(module, "CreateXmlReader") : nullptr;
        return reinterpret_cast<CreateReader>(reinterpret_cast<void (*)()>(found));
    }();
    return entry;
}

std::string utf8(const WCHAR* text, UINT length) {
    if (text == nullptr || length == 0) return "";
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    std::string out(size > 0 ? static_cast<size_t>(size) : 0, '\0');
    if (size > 0) WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), &out[0], size, nullptr, nullptr);
    return out;
}

// The reader's current prefix, local name, namespace URI and value.
struct NodeNames {
    std::string prefix, localName, namespaceUri, value;
};

bool currentNames(IXmlReader* reader, NodeNames* names) {
    const WCHAR* text = nullptr;
    UINT length = 0;
    if (FAILED(reader->GetPrefix(&text, &length))) return false;
    names->prefix = utf8(text, length);
    if (FAILED(reader->GetLocalName(&text, &length))) return false;
    names->localName = utf8(text, length);
    if (FAILED(reader->GetNamespaceUri(&text, &length))) return false;
    names->namespaceUri = utf8(text, length);
    if (FAILED(reader->GetValue(&text, &length))) return false;
    names->value = utf8(text, length);
    return true;
}

// The document as the parser reads it: a stream over the bytes whose every
// read but the last ends with an ASCII byte. Wine's XmlLite turns a
// character that straddles the end of what it has read into U+FFFD.
class AsciiEndedStream final : public IStream {
public:
    explicit AsciiEndedStream(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}
    virtual ~AsciiEndedStream() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override {
        if (out == nullptr) return E_POINTER;
        if (IsEqualIID(id, IID_IUnknown) || IsEqualIID(id, IID_ISequentialStream) || IsEqualIID(id, IID_IStream)) {
            *out = static_cast<IStream*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE Read(void* into, ULONG wanted, ULONG* given) override {
        size_t count = std::min<size_t>(wanted, bytes_.size() - at_);
        // Back to just after an ASCII byte; when the read holds none, at
        // least to the start of a character.
        if (at_ + count < bytes_.size()) {
            size_t end = at_ + count;
            while (end > at_ && bytes_[end - 1] >= 0x80) --end;
            if (end == at_) {
                end = at_ + count;
                while (end > at_ && (bytes_[end] & 0xC0) == 0x80) --end;
            }
            if (end > at_) count = end - at_;
        }
        std::memcpy(into, bytes_.data() + at_, count);
        at_ += count;
        if (given != nullptr) *given = static_cast<ULONG>(count);
        return count < wanted ? S_FALSE : S_OK;
    }
    HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Revert() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clone(IStream**) override { return E_NOTIMPL; }

private:
    const std::vector<uint8_t>& bytes_;
    size_t at_ = 0;
    ULONG references_ = 1;
};

std::string hresultText(const char* what, HRESULT result) {
    char text[96];
    std::snprintf(text, sizeof text, "%s (0x%08lX)", what, static_cast<unsigned long>(result));
    return text;
}

}  // namespace

std::string readXmlDocument(const std::vector<uint8_t>& bytes, XmlDocument* document) {
    *document = XmlDocument{};
    std::string refusal = xmlInputRefusal(bytes.data(), bytes.size());
    if (!refusal.empty()) return refusal;
    const CreateReader create = xmlLiteEntry();
    if (create == nullptr) return "il lettore XML del sistema (xmllite.dll) non è disponibile";
    IXmlReader* made = nullptr;
    if (FAILED(create(IID_IXmlReader, reinterpret_cast<void**>(&made), nullptr)) || made == nullptr) {
        return "il lettore XML del sistema non si avvia";
    }
    ComPointer<IXmlReader> reader(made);
    ComPointer<IStream> stream(new AsciiEndedStream(bytes));
    reader->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Prohibit);
    if (FAILED(reader->SetInput(stream.get()))) return "il lettore XML rifiuta il documento";

    XmlTreeBuilder builder(bytes.size());
    XmlNodeType type = XmlNodeType_None;
    HRESULT read;
    NodeNames node;
    // Each node takes at least one byte of the input: a parser that reads on
    // past that is going round in circles (the platform's may, on a cut-off file).
    size_t steps = 0;
    while ((read = reader->Read(&type)) == S_OK) {
        if (++steps > bytes.size()) return "il lettore XML non arriva alla fine del documento";
        switch (type) {
        case XmlNodeType_Element: {
            const bool empty = reader->IsEmptyElement() != FALSE;
            if (!currentNames(reader.get(), &node)) return "il lettore XML non dà i nomi di un elemento";
            const NodeNames element = node;
            std::vector<XmlAttribute> attributes;
            for (HRESULT at = reader->MoveToFirstAttribute(); at == S_OK; at = reader->MoveToNextAttribute()) {
                if (!currentNames(reader.get(), &node)) return "il lettore XML non dà un attributo";
                attributes.push_back({node.prefix, node.localName, node.namespaceUri, node.value});
            }
            refusal = builder.startElement(element.prefix, element.localName, element.namespaceUri, attributes, empty);
            break;
        }
        case XmlNodeType_EndElement: refusal = builder.endElement(); break;
        case XmlNodeType_Text:
        case XmlNodeType_Whitespace:
            if (!currentNames(reader.get(), &node)) return "il lettore XML non dà un testo";
            refusal = builder.text(node.value, type == XmlNodeType_Whitespace);
            break;
        case XmlNodeType_Comment:
            if (!currentNames(reader.get(), &node)) return "il lettore XML non dà un commento";
            refusal = builder.comment(node.value);
            break;
        case XmlNodeType_ProcessingInstruction:
            if (!currentNames(reader.get(), &node)) return "il lettore XML non dà un'istruzione";
            refusal = builder.processingInstruction(node.localName, node.value);
            break;
        case XmlNodeType_XmlDeclaration: break;
        default: refusal = "costrutto XML non ammesso in una lista"; break;  // a DTD, CDATA
        }
        if (!refusal.empty()) return refusal;
    }
    if (read != S_FALSE) return hresultText("documento XML non ben formato", read);
    refusal = builder.finish();
    if (refusal.empty()) *document = std::move(builder.document());
    return refusal;
}
