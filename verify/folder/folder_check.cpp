#include "folder_check.h"

#include <windows.h>
#include <shlobj.h>
#include <wincrypt.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <cwctype>
#include <functional>
#include <io.h>
#include <memory>
#include <new>
#include <vector>

#include "ansi_text.h"
#include "file_io.h"
#include "hash_data.h"
#include "message_format.h"
#include "path_rules.h"
#include "quillcheck_messages.h"
#include "revocation_check.h"
#include "signed_file_loader.h"
#include "signer_display.h"

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// The report is UTF-8; the messages of the catalog are the program's own texts.
std::string reportText(const std::string& message) { return utf8FromProgramText(message); }

std::string readFailure(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return reportText(quillcheck_messages::REASON_FILE_GONE);
    case ERROR_ACCESS_DENIED: return reportText(quillcheck_messages::REASON_ACCESS_DENIED);
    case ERROR_INVALID_NAME: return reportText(quillcheck_messages::REASON_BAD_NAME);
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return reportText(quillcheck_messages::REASON_LOCKED);
    default: return reportText(formatMessage(quillcheck_messages::REASON_NOT_READ, static_cast<unsigned long>(error)));
    }
}

std::string loadFailure(int32_t code, const SignedFileRecord& record) {
    if (code == static_cast<int32_t>(E_OUTOFMEMORY)) return reportText(quillcheck_messages::REASON_OUT_OF_MEMORY);
    if (code == LOAD_ERR_NO_PROVIDER) return reportText(quillcheck_messages::REASON_NO_PROVIDER);
    if (code == LOAD_ERR_NOT_VERIFIABLE) return utf8FromAnsi(notVerifiableLine(record.unverifiedAlgorithms[0]));
    if (code == LOAD_ERR_UNDECODABLE) return utf8FromAnsi(summaryLine(false, 0));
    if (code == LOAD_ERR_SIGNATURE_BROKEN) return reportText(quillcheck_messages::REASON_SIGNATURE_BROKEN);
    return reportText(formatMessage(quillcheck_messages::REASON_DAMAGED_WITH_CODE, static_cast<unsigned>(code)));
}

// Adds a line to the row's reason: the signers' findings stay.
void addReason(LayerRow* row, const std::string& line) { row->reason += (row->reason.empty() ? "" : "\n") + line; }

// A certificate's string as the signers list holds it: in the ANSI code
// page, a character it lacks as the platform's nearest one ("Đ" as "Ð").
std::string asListed(const std::string& utf8) {
    const std::wstring wide = wideFromUtf8(utf8);
    const int size = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return std::string();
    std::string text(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, &text[0], size, nullptr, nullptr);
    text.resize(static_cast<size_t>(size) - 1);
    return text;
}

// The first line of the revocation box's text: the answer, or why there is none.
std::string revocationText(int32_t code) {
    const std::string message = revocationMessage(code);
    return utf8FromAnsi(message.substr(0, message.find('\n')));
}

bool endsWithSignedExtension(const std::wstring& name) {
    if (name.size() <= 4) return false;
    std::wstring last = name.substr(name.size() - 4);
    for (wchar_t& c : last) c = static_cast<wchar_t>(std::towlower(c));
    return last == L".p7m";
}

// A path the platform takes whatever its length: "\\?\C:\..." or "\\?\UNC\server\share\...".
std::wstring extendedPath(const std::wstring& path) {
    if (path.compare(0, 4, L"\\\\?\\") == 0) return path;
    if (path.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + path.substr(2);
    return L"\\\\?\\" + path;
}

// The full, long form of a folder's path, without a trailing backslash (a
// drive's root keeps its own); empty when it cannot be had.
std::wstring folderPath(const std::wstring& path) {
    if (path.empty()) return std::wstring();
    std::vector<wchar_t> full(32768);
    DWORD length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0 || length >= full.size()) return std::wstring();
    std::wstring result(full.data(), length);
    std::vector<wchar_t> longForm(32768);
    length = GetLongPathNameW(result.c_str(), longForm.data(), static_cast<DWORD>(longForm.size()));
    if (length > 0 && length < longForm.size()) result.assign(longForm.data(), length);
    while (result.size() > 3 && result.back() == L'\\') result.pop_back();
    return result;
}

bool isRoot(const std::wstring& folder) { return folder.size() <= 3 && folder.size() >= 2 && folder[1] == L':'; }

// What a folder is, however it is named (another drive letter, a link or a
// junction, a short name, a share): its volume's serial number and its file
// index, and the final path of an open handle, which is the path of its
// target.
struct FolderIdentity {
    DWORD volume = 0, indexHigh = 0, indexLow = 0;
    std::wstring finalPath;

    bool sameAs(const FolderIdentity& other) const {
        const bool sameIndex = volume == other.volume && indexHigh == other.indexHigh && indexLow == other.indexLow &&
                               (indexHigh != 0 || indexLow != 0);
        return sameIndex || (!finalPath.empty() && _wcsicmp(finalPath.c_str(), other.finalPath.c_str()) == 0);
    }
};

// False when `path` names nothing that can be opened.
bool identityOf(const std::wstring& path, FolderIdentity* identity) {
    const HANDLE handle = CreateFileW(extendedPath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION information;
    if (GetFileInformationByHandle(handle, &information)) {
        identity->volume = information.dwVolumeSerialNumber;
        identity->indexHigh = information.nFileIndexHigh;
        identity->indexLow = information.nFileIndexLow;
    }
    std::vector<wchar_t> final(32768);
    const DWORD length = GetFinalPathNameByHandleW(handle, final.data(), static_cast<DWORD>(final.size()), 0);
    if (length > 0 && length < final.size()) identity->finalPath.assign(final.data(), length);
    CloseHandle(handle);
    return true;
}

// True when `output`, or any folder above it that exists, is the source
// folder: the output would then lie inside the source, by whatever name.
bool insideSource(const std::wstring& output, const FolderIdentity& source) {
    for (std::wstring path = output;;) {
        FolderIdentity identity;
        if (identityOf(path, &identity) && identity.sameAs(source)) return true;
        const size_t slash = path.find_last_of(L'\\');
        if (isRoot(path) || slash == std::wstring::npos) return false;
        std::wstring parent = path.substr(0, slash);
        if (parent.size() == 2 && parent[1] == L':') parent += L'\\';
        // A share ("\\server\share") is as high as a network path goes.
        const bool network = parent.compare(0, 2, L"\\\\") == 0;
        if (parent.size() < 3 || (network && parent.find(L'\\', 2) == std::wstring::npos)) return false;
        path = parent;
    }
}

bool isDirectory(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(extendedPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool isEmptyDirectory(const std::wstring& path) {
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((extendedPath(path) + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return true;
    bool empty = true;
    do {
        if (std::wcscmp(found.cFileName, L".") != 0 && std::wcscmp(found.cFileName, L"..") != 0) empty = false;
    } while (empty && FindNextFileW(search, &found));
    FindClose(search);
    return empty;
}

// What the run goes through: every file of the folder and its subfolders,
// and each subfolder that could not be listed.
struct Entry {
    enum class Kind { Signed, Other, Imitation, UnlistedFolder };
    std::wstring relative;
    Kind kind;
    uint64_t size;
};

Entry::Kind kindOf(const std::wstring& name) {
    if (endsWithSignedExtension(name)) return Entry::Kind::Signed;
    return imitatesSignedExtension(utf8Text(name)) ? Entry::Kind::Imitation : Entry::Kind::Other;
}

// The files below `source`, as paths relative to it, in order, and the
// subfolders that could not be listed. Folders that are links (junctions,
// symbolic links) are not followed: a folder may lead back to itself. False
// when the source itself cannot be listed.
bool listFiles(const std::wstring& source, std::vector<Entry>* files) {
    std::vector<std::wstring> pending{std::wstring()};
    bool first = true;
    while (!pending.empty()) {
        const std::wstring relative = pending.back();
        pending.pop_back();
        const std::wstring folder = relative.empty() ? source : source + L"\\" + relative;
        WIN32_FIND_DATAW found;
        const HANDLE search = FindFirstFileW((extendedPath(folder) + L"\\*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) {
            if (first) return false;
            files->push_back({relative, Entry::Kind::UnlistedFolder, 0});
            continue;
        }
        first = false;
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = relative.empty() ? name : relative + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                if (!(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) pending.push_back(path);
            } else {
                const uint64_t size = (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
                files->push_back({path, kindOf(name), size});
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    std::sort(files->begin(), files->end(), [](const Entry& a, const Entry& b) {
        return _wcsicmp(a.relative.c_str(), b.relative.c_str()) < 0;
    });
    return true;
}

std::wstring baseName(const std::wstring& path) {
    const size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring localStamp() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t text[64];
    std::swprintf(text, 64, L"%02d/%02d/%04d %02d:%02d:%02d", now.wDay, now.wMonth, now.wYear, now.wHour, now.wMinute,
                  now.wSecond);
    return text;
}

// One run over the files of a folder.
class FolderRun {
public:
    FolderRun(const FolderCheckOptions& options, const CertificateTrust& trust, const std::wstring& contents,
              ReportWriter* report)
        : options_(options), trust_(trust), contents_(contents), report_(report) {}

    // The rows of one SignedFile; false when the report could not be written.
    bool checkFile(const std::wstring& relative);
    // The row of a file that is not verified (not a SignedFile, or one whose
    // name only imitates one), or of a subfolder whose files could not be listed.
    bool reportUnchecked(const Entry& entry);

private:
    void checkLayers(const std::wstring& path, const std::string& file, const uint8_t* data, size_t size);
    void fillSigners(const SignedFileRecord& record, LayerRow* row);
    // Writes the content as a new file of the contents folder; fills the
    // row's content name and digest, or its reason.
    template <typename Blocks>
    void writeContent(const std::wstring& name, const std::wstring& sourcePath, Blocks blocks, LayerRow* row);
    // The folder of contents for a file of `relative` (its subfolders kept), made when missing.
    bool contentFolderFor(const std::wstring& relative, std::wstring* folder, std::string* shownFolder);
    std::string digestOf(const uint8_t* data, size_t size);
    // Adds the row to the report; its content, if any, is then reported.
    bool emit(LayerRow& row);
    // Removes the content written for a row that never reached the report.
    void removeUnreportedContent();

    const FolderCheckOptions& options_;
    const CertificateTrust& trust_;
    std::wstring contents_;
    ReportWriter* report_;
    Sha256Hasher hasher_;
    RevocationRun revocations_;
    bool firstRow_ = true;
    bool written_ = true;
    int layer_ = 1;  // the layer in hand
    std::wstring relative_;  // the file in hand, relative to the source folder
    std::wstring unreported_, unreportedZone_;  // the content written for the row in hand
    Verdict fileVerdict_ = Verdict::Valid;
};

bool FolderRun::emit(LayerRow& row) {
    fileVerdict_ = worseOf(fileVerdict_, row.verdict);
    written_ = report_->add(row, firstRow_) && written_;
    firstRow_ = false;
    unreported_.clear();
    unreportedZone_.clear();
    return written_;
}

void FolderRun::removeUnreportedContent() {
    if (unreported_.empty()) return;
    DeleteFileW(unreportedZone_.c_str());  // under Wine a file of its own
    DeleteFileW(unreported_.c_str());
    unreported_.clear();
    unreportedZone_.clear();
}

std::string FolderRun::digestOf(const uint8_t* data, size_t size) {
    if (!hasher_.begin() || !hasher_.add(data, size)) return std::string();
    return hasher_.finishHex();
}

bool FolderRun::checkFile(const std::wstring& relative) {
    firstRow_ = true;
    relative_ = relative;
    fileVerdict_ = Verdict::Valid;
    const std::wstring path = extendedPath(options_.source + L"\\" + relative);
    LayerRow row;
    row.file = utf8Text(relative);
    FileContent file;
    ReadResult read = ReadResult::NotOpenable;
    DWORD error = 0;
    try {
        SetLastError(0);
        read = readFileContent(path.c_str(), &file);
        error = GetLastError();
    } catch (const std::bad_alloc&) {
        row.reason = reportText(quillcheck_messages::REASON_OUT_OF_MEMORY);
    }
    if (row.reason.empty() && read == ReadResult::TooLarge) row.reason = reportText(quillcheck_messages::REASON_TOO_LARGE);
    if (row.reason.empty() && read != ReadResult::Ok) row.reason = readFailure(error != 0 ? error : ERROR_READ_FAULT);
    if (row.reason.empty() && file.size == 0) {
        row.reason = reportText(quillcheck_messages::REASON_EMPTY_FILE);
        row.sha256 = digestOf(nullptr, 0);
    }
    if (!row.reason.empty()) {
        row.verdict = Verdict::Unverifiable;
        emit(row);
    } else {
        try {
            checkLayers(path, row.file, file.data.get(), file.size);
        } catch (const std::bad_alloc&) {
            // The layer in hand was not verified: it says so, and the run goes on.
            removeUnreportedContent();
            file = FileContent();
            LayerRow failed;
            failed.file = row.file;
            failed.layer = layer_;
            failed.verdict = Verdict::Unverifiable;
            failed.reason = reportText(quillcheck_messages::REASON_OUT_OF_MEMORY);
            emit(failed);
        }
    }
    report_->countFile(fileVerdict_);
    return written_;
}

bool FolderRun::reportUnchecked(const Entry& entry) {
    firstRow_ = true;
    fileVerdict_ = Verdict::Valid;
    LayerRow row;
    row.verdict = Verdict::Unverifiable;
    row.file = utf8Text(entry.relative);
    row.size = entry.size;
    switch (entry.kind) {
    case Entry::Kind::UnlistedFolder:
        row.file += "\\";
        row.reason = reportText(quillcheck_messages::REASON_FOLDER_UNREADABLE);
        break;
    case Entry::Kind::Imitation: row.reason = reportText(quillcheck_messages::REASON_LOOKS_SIGNED); break;
    default: row.reason = reportText(quillcheck_messages::REASON_NOT_SIGNED_FILE); break;
    }
    emit(row);
    report_->countFile(fileVerdict_);
    return written_;
}

void FolderRun::fillSigners(const SignedFileRecord& record, LayerRow* row) {
    std::string findings;  // the reason's lines: what each signer's findings are
    for (int g = 0; g < record.signerCount && g < static_cast<int>(MAX_SIGNERS); ++g) {
        SignerRow signer;
        const SignerStatus status = record.signerStatus[g];
        const int32_t depth = record.signerDepths[g];
        // The list's name: a counter-signer's marks, then the name.
        std::string name = utf8FromAnsi(signerNameText(record.signerNames[g]));
        const std::string listed = utf8FromAnsi(signerNameText(record.signerNames[g], depth));
        const std::string marks = listed.substr(0, listed.size() - name.size());
        signer.state = utf8FromAnsi(signerStateText(record, g));
        signer.expiry = utf8FromAnsi(record.expiryDates[g]);
        signer.signingTime = record.signingTimes[g];
        signer.icon = statusIcon(status);
        signer.qualification = qualifiedBy(record.trustProviders[g], record.qualifications[g]);
        const std::vector<uint8_t>& der = record.signerCerts[g];
        MessageCertificate names;
        SubjectNames subject;
        if (!der.empty() && readCertificateNames({der.data(), der.size()}, &names)) {
            signer.fiscalCode = fiscalCodeOf(names.subject);
            signer.serial = hexText(names.serial.data, names.serial.size);
            // Where the list shows the common name, the certificate's own
            // string: no character is lost to the code page.
            subject = subjectNamesOf(names.subject);
            if (std::strlen(record.signerNames[g]) > 5 && asListed(subject.commonName) == record.signerNames[g]) {
                name = subject.commonName;
            }
        }
        signer.name = marks + name;
        signer.shownName = marks + signerShownName(subject.surname, subject.givenName, signer.fiscalCode, name);
        if (PCCERT_CONTEXT certificate = der.empty() ? nullptr
                                                     : CertCreateCertificateContext(
                                                           X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()))) {
            wchar_t issuer[512] = L"";
            CertGetNameStringW(certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, CERT_NAME_ISSUER_FLAG, nullptr, issuer, 512);
            signer.issuer = utf8Text(issuer);
            CertFreeCertificateContext(certificate);
        }
        int32_t revocation = 0;
        bool stampUnchecked = false;
        if (options_.revocation && (status & (CA_NOT_ACCEPTED | LIST_OUTDATED))) {
            // No list of an authority that is not accepted is believed: there is nothing to ask.
            signer.revocation = reportText(quillcheck_messages::REVOCATION_AUTHORITY_NOT_ACCEPTED);
        } else if (options_.revocation) {
            const SignerRevocation answer = checkSignerRevocation(
                record, g, [this](const std::vector<uint8_t>& certificate, const std::vector<uint8_t>& issuer,
                                  const FILETIME* at) { return revocations_.check(certificate, issuer, at); });
            revocation = answer.code;
            // The line on the time-stamp's authority, when it has one, then the answer's.
            const std::string message = signerRevocationMessage(answer);
            const size_t firstLine = message.find('\n');
            const std::string said = revocation == CRLCHECK_URL
                                         ? reportText(quillcheck_messages::REVOCATION_NO_ADDRESS)
                                         : revocationText(revocation);
            signer.revocation = answer.stamp == SignerRevocation::Stamp::AuthorityRevoked ||
                                        answer.stamp == SignerRevocation::Stamp::AuthorityUnchecked
                                    ? utf8FromAnsi(message.substr(0, firstLine)) + " " + said
                                    : said;
            const std::string source = revocationSourceText(answer.source, answer.issuedAt);
            if (!source.empty()) signer.revocation += " " + utf8FromAnsi(source);
            stampUnchecked = answer.stamp == SignerRevocation::Stamp::AuthorityUnchecked;
        }
        signer.verdict = worseOf(stampUnchecked ? Verdict::ToCheck : Verdict::Valid, signerVerdict(signer.icon, revocation));
        row->verdict = worseOf(row->verdict, signer.verdict);
        const std::string found = signerFindings(status, record.expiryDates[g], revocation, stampUnchecked);
        if (!found.empty()) {
            const std::string& who = signer.shownName.empty() ? signer.name : signer.shownName;
            findings += (findings.empty() ? "" : "\n") + visibleText(who) + ": " + found;
        }
        row->signers.push_back(std::move(signer));
    }
    if (!findings.empty()) addReason(row, findings);
}

void FolderRun::checkLayers(const std::wstring& path, const std::string& file, const uint8_t* data, size_t size) {
    std::wstring name = baseName(path);
    std::vector<uint8_t> inner;  // the content of the layer before, when it is itself a SignedFile
    for (int layer = 1;; ++layer) {
        layer_ = layer;
        LayerRow row;
        row.file = file;
        row.layer = layer;
        row.size = size;
        row.sha256 = digestOf(data, size);
        auto record = std::make_unique<SignedFileRecord>();
        Base64Codec codec;
        SignedMessage message;
        const int32_t loaded = loadSignedBytes({data, size}, *record, trust_, &codec, &message);
        if (loaded != 0) {
            // A signature that does not match its content is to be rejected;
            // what cannot be decoded at all could not be verified.
            row.verdict = loaded == LOAD_ERR_SIGNATURE_BROKEN ? Verdict::NotValid : Verdict::Unverifiable;
            row.reason = loadFailure(loaded, *record);
            // A nested layer that is no SignedFile is the innermost content.
            if (layer > 1) {
                writeContent(name, path, [&](const std::function<bool(ber::Span)>& visit) {
                    return visit({data, size});
                }, &row);
            }
            emit(row);
            return;
        }
        row.verdict = Verdict::Valid;
        fillSigners(*record, &row);
        const std::wstring contentName = name.substr(0, name.size() - 4);
        if (endsWithSignedExtension(contentName) && layer == MAX_LAYERS) {
            // Deeper layers are not verified, and their content is not written:
            // the file cannot pass for valid.
            emit(row);
            LayerRow deeper;
            deeper.file = file;
            deeper.layer = layer + 1;
            deeper.verdict = Verdict::Unverifiable;
            deeper.reason = reportText(formatMessage(quillcheck_messages::REASON_TOO_MANY_LAYERS, MAX_LAYERS));
            emit(deeper);
            return;
        }
        if (endsWithSignedExtension(contentName)) {
            std::vector<uint8_t> next;
            hasher_.begin();
            forEachContentBlock(message, [&](ber::Span block) {
                next.insert(next.end(), block.data, block.data + block.size);
                return hasher_.add(block.data, block.size);
            });
            row.contentName = utf8Text(contentName);
            row.contentSha256 = hasher_.finishHex();
            emit(row);
            // The views into `data` end here: the next layer reads its own copy.
            inner.swap(next);
            data = inner.data();
            size = inner.size();
            name = contentName;
            continue;
        }
        writeContent(contentName, path, [&](const std::function<bool(ber::Span)>& visit) {
            return forEachContentBlock(message, visit);
        }, &row);
        emit(row);
        return;
    }
}

bool FolderRun::contentFolderFor(const std::wstring& relative, std::wstring* folder, std::string* shownFolder) {
    *folder = contents_;
    shownFolder->clear();
    size_t start = 0;
    for (size_t slash; (slash = relative.find(L'\\', start)) != std::wstring::npos; start = slash + 1) {
        const std::string part = safeFileName(utf8Text(relative.substr(start, slash - start)));
        *folder += L"\\" + wideFromUtf8(part);
        *shownFolder += part + "\\";
        if (folder->size() >= MAX_PATH) return false;
        if (!CreateDirectoryW(folder->c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
    }
    return true;
}

template <typename Blocks>
void FolderRun::writeContent(const std::wstring& name, const std::wstring& sourcePath, Blocks blocks, LayerRow* row) {
    // A content the desktop would run gets a name that runs nothing.
    std::string safe = safeFileName(utf8Text(name));
    row->runnable = desktopWouldRun(ansiText(wideFromUtf8(safe).c_str(), -1));
    if (row->runnable) safe += BLOCKED_SUFFIX;
    // Each message's contents stay together: the source's subfolders are kept.
    std::wstring folder;
    std::string shownFolder;
    if (!contentFolderFor(relative_, &folder, &shownFolder)) {
        addReason(row, reportText(quillcheck_messages::REASON_CONTENT_NAME_TOO_LONG));
        row->verdict = worseOf(row->verdict, Verdict::ToCheck);
        return;
    }
    HANDLE file = INVALID_HANDLE_VALUE;
    std::wstring written, writtenName;
    DWORD error = 0;
    for (int n = 1; n < 10000 && file == INVALID_HANDLE_VALUE; ++n) {
        const std::string candidate = numberedName(safe, n);
        const std::wstring wide = wideFromUtf8(candidate);
        const std::wstring target = folder + L"\\" + wide;
        // The clerk's programs open it by its ordinary path.
        if (target.size() >= MAX_PATH) {
            addReason(row, reportText(quillcheck_messages::REASON_CONTENT_NAME_TOO_LONG));
            row->verdict = worseOf(row->verdict, Verdict::ToCheck);
            return;
        }
        // Until its row is in the report, the content goes should the file's
        // check fail; named before it exists, and never while it names another's.
        unreported_ = target;
        unreportedZone_ = target + ZONE_STREAM;
        written = target;
        writtenName = wide;
        file = CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        error = GetLastError();
        if (file == INVALID_HANDLE_VALUE) {
            unreported_.clear();
            unreportedZone_.clear();
            if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
        }
    }
    if (file == INVALID_HANDLE_VALUE) {
        addReason(row, reportText(formatMessage(quillcheck_messages::REASON_CONTENT_NOT_WRITTEN, static_cast<unsigned long>(error))));
        row->verdict = worseOf(row->verdict, Verdict::ToCheck);
        return;
    }
    FileWriter writer(file);
    const bool hashing = hasher_.begin();
    blocks([&](ber::Span block) {
        return writer.write(block.data, block.size) && (!hashing || hasher_.add(block.data, block.size));
    });
    const std::string digest = hasher_.finishHex();
    const DWORD failed = writer.finish();
    if (failed != 0) {
        removeUnreportedContent();
        addReason(row, reportText(formatMessage(quillcheck_messages::REASON_CONTENT_NOT_WRITTEN, static_cast<unsigned long>(failed))));
        row->verdict = worseOf(row->verdict, Verdict::ToCheck);
        return;
    }
    copyZoneMark(sourcePath, written);
    row->contentName = shownFolder + utf8Text(writtenName);
    row->contentSha256 = digest;
    if (digest.empty()) addReason(row, reportText(quillcheck_messages::REASON_NO_DIGEST));
    if (row->runnable) {
        const std::string warning = reportText(formatMessage(quillcheck_messages::REASON_RUNNABLE_CONTENT,
                                                             ansiText(writtenName.c_str(), -1).c_str()));
        addReason(row, warning);
        row->verdict = worseOf(row->verdict, Verdict::ToCheck);
    }
}

// The report's files; false when one cannot be made.
bool openReport(const std::wstring& output, File* csv, File* page, File* scratch, std::wstring* scratchPath) {
    const auto create = [](const std::wstring& path, File* file) {
        const HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) return false;
        const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), 0);
        if (fd < 0) {
            CloseHandle(h);
            return false;
        }
        file->reset(_fdopen(fd, "w+b"));
        return file->get() != nullptr;
    };
    // The page's rows wait in the temporary folder until the summary is known.
    wchar_t temporary[MAX_PATH + 1], name[MAX_PATH + 1];
    if (GetTempPathW(MAX_PATH + 1, temporary) == 0 || GetTempFileNameW(temporary, L"qcr", 0, name) == 0) return false;
    *scratchPath = name;
    DeleteFileW(name);
    return create(output + L"\\" + REPORT_CSV_NAME, csv) && create(output + L"\\" + REPORT_PAGE_NAME, page) &&
           create(*scratchPath, scratch);
}

FolderCheckResult failure(FolderCheckResult result, const std::string& error) {
    result.exitCode = FOLDER_EXIT_RUN_FAILED;
    result.error = error;
    return result;
}

}  // namespace

std::wstring outputFolderNameFor(const std::wstring& source) {
    const std::wstring folder = folderPath(source);
    if (folder.empty()) return std::wstring();
    const std::wstring name = isRoot(folder) ? L"Disco " + folder.substr(0, 1) : baseName(folder);
    SYSTEMTIME now;
    GetLocalTime(&now);
    const std::string text = outputFolderName(utf8Text(name), now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
                                              now.wSecond);
    return wideFromUtf8(text);
}

std::wstring defaultOutputFolder(const std::wstring& source) {
    const std::wstring folder = folderPath(source);
    if (folder.empty()) return std::wstring();
    std::wstring parent;
    if (isRoot(folder)) {
        wchar_t documents[MAX_PATH];
        if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, 0, documents))) return std::wstring();
        parent = documents;
    } else {
        parent = folder.substr(0, folder.find_last_of(L'\\'));
    }
    if (parent.empty() || parent.back() != L'\\') parent += L'\\';
    return parent + outputFolderNameFor(folder);
}

namespace {

// The page's rows wait in this file of the temporary folder; it goes however
// the run ends.
struct ScratchFile {
    std::wstring path;
    ~ScratchFile() {
        if (!path.empty()) DeleteFileW(path.c_str());
    }
};

FolderCheckResult runChecked(const FolderCheckOptions& options, const CertificateTrust& trust,
                             FolderCheckObserver* observer) {
    FolderCheckResult result;
    FolderCheckOptions run = options;
    run.source = folderPath(options.source);
    if (run.source.empty() || !isDirectory(run.source)) {
        return failure(result, quillcheck_messages::FOLDER_MISSING);
    }
    if (run.output.empty()) run.output = defaultOutputFolder(run.source);
    run.output = folderPath(run.output);
    if (run.output.empty()) return failure(result, quillcheck_messages::OUTPUT_INVALID);
    FolderIdentity source;
    if (!identityOf(run.source, &source)) return failure(result, quillcheck_messages::FOLDER_UNREADABLE);
    if (insideSource(run.output, source)) return failure(result, quillcheck_messages::OUTPUT_INSIDE_FOLDER);
    // The output folder is new, or empty: nothing in it is overwritten. A
    // folder that holds something gets a new folder of the run inside it.
    if (isDirectory(run.output) && !isEmptyDirectory(run.output)) {
        run.output = run.output + L"\\" + outputFolderNameFor(run.source);
    }
    if (!CreateDirectoryW(extendedPath(run.output).c_str(), nullptr)) {
        if (!isDirectory(run.output) || !isEmptyDirectory(run.output)) {
            return failure(result, quillcheck_messages::OUTPUT_NOT_MADE);
        }
    }
    result.outputFolder = run.output;
    const std::wstring contents = run.output + L"\\" + CONTENTS_FOLDER_NAME;
    if (!CreateDirectoryW(extendedPath(contents).c_str(), nullptr)) {
        return failure(result, quillcheck_messages::OUTPUT_NOT_WRITABLE);
    }

    std::vector<Entry> files;
    if (!listFiles(run.source, &files)) return failure(result, quillcheck_messages::FOLDER_UNREADABLE);
    result.filesFound = files.size();
    const size_t signedFound = static_cast<size_t>(std::count_if(
        files.begin(), files.end(), [](const Entry& e) { return e.kind == Entry::Kind::Signed; }));

    ScratchFile scratchFile;
    File csv, page, scratch;
    if (!openReport(run.output, &csv, &page, &scratch, &scratchFile.path)) {
        return failure(result, quillcheck_messages::REPORT_NOT_WRITTEN);
    }
    ReportWriter report(csv.get(), page.get(), scratch.get());
    RunFacts facts;
    facts.sourceFolder = utf8Text(run.source);
    facts.outputFolder = utf8Text(run.output);
    facts.startedAt = utf8Text(localStamp());
    facts.revocationChecked = run.revocation;
    facts.filesFound = files.size();
    facts.signedFound = signedFound;

    bool written = report.begin();
    {
        FolderRun folderRun(run, trust, contents, &report);
        for (size_t i = 0; i < files.size() && written; ++i) {
            if (observer != nullptr && observer->stopRequested()) {
                facts.stopped = true;
                break;
            }
            const Entry& entry = files[i];
            if (observer != nullptr) observer->onFile(i + 1, files.size(), entry.relative);
            written = entry.kind == Entry::Kind::Signed ? folderRun.checkFile(entry.relative)
                                                        : folderRun.reportUnchecked(entry);
        }
    }
    written = written && report.finish(facts);
    scratch.reset();
    result.stopped = facts.stopped;
    for (int v = 0; v < VERDICT_COUNT; ++v) result.counts[v] = report.counts()[v];
    if (!written || std::fclose(csv.release()) != 0 || std::fclose(page.release()) != 0) {
        return failure(result, quillcheck_messages::REPORT_INCOMPLETE);
    }
    result.reportPage = run.output + L"\\" + REPORT_PAGE_NAME;
    // Nothing verified is not "all valid".
    const bool allValid = signedFound > 0 && result.counts[static_cast<int>(Verdict::Valid)] == files.size();
    result.exitCode = allValid ? FOLDER_EXIT_ALL_VALID : FOLDER_EXIT_SOME_NOT_VALID;
    return result;
}

}  // namespace

FolderCheckResult runFolderCheck(const FolderCheckOptions& options, const CertificateTrust& trust,
                                 FolderCheckObserver* observer) {
    try {
        return runChecked(options, trust, observer);
    } catch (const std::bad_alloc&) {
        return failure(FolderCheckResult(), quillcheck_messages::FOLDER_OUT_OF_MEMORY);
    }
}
