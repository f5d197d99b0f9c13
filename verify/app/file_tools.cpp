#include "file_tools.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <memory>
#include <new>

#include "ansi_text.h"
#include "file_io.h"
#include "path_rules.h"
#include "message_box.h"
#include "message_format.h"
#include "quillcheck_messages.h"
#include "revocation_check.h"
#include "shared_messages.h"
#include "temp_paths.h"
#include "viewer_rules.h"
#include "vistrel.h"

namespace {

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

void showCannotOpen(const std::string& path, INT_PTR result) {
    showProgramMessage(formatMessage(quillcheck_messages::CONTENT_NOT_SHOWN, path.c_str(), static_cast<int>(result)).c_str());
}

}  // namespace

bool prepareWorkFolder(SignedFileRecord* record) {
    const std::string folder = makeOwnTempFolder("quillcheck");
    if (folder.empty()) return false;
    record->workFolder = folder;
    const std::string content = contentPathIn(folder, record->signedPath);
    if (content.size() >= MAX_PATH * 4 || !CreateDirectoryA(contentFolderIn(folder).c_str(), nullptr)) return false;
    record->contentPath = content;
    return true;
}

void removeWorkFolder(const SignedFileRecord& record) {
    if (!record.contentPath.empty()) {
        DeleteFileW((wideText(record.contentPath) + ZONE_STREAM).c_str());  // under Wine a file of its own
        DeleteFileA(record.contentPath.c_str());
    }
    if (record.workFolder.empty()) return;
    DeleteFileA(dumpPathIn(record.workFolder).c_str());
    RemoveDirectoryA(contentFolderIn(record.workFolder).c_str());
    RemoveDirectoryA(record.workFolder.c_str());
}

void copyZoneMark(const std::string& signedPath, const std::string& contentPath) {
    copyZoneMark(wideText(signedPath), wideText(contentPath));
}

int FileTools::openWithAssociation(const std::string& path) {
    try {
        // A content that would run when opened (x.exe.p7m gives x.exe) goes
        // to the chooser: "Visualizza File" must never execute what was signed.
        const INT_PTR opened = desktopWouldRun(path)
                                   ? SE_ERR_NOASSOC
                                   : reinterpret_cast<INT_PTR>(
                                         ShellExecuteA(nullptr, "open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
        if (opened > 32) return 0;
        if (opened == SE_ERR_NOASSOC) {
            const std::string parameters = "shell32.dll,OpenAs_RunDLL " + path + " ";
            const std::string chooserProgram = systemProgramPath("rundll32.exe");
            const INT_PTR chooser = reinterpret_cast<INT_PTR>(
                ShellExecuteA(nullptr, "open", chooserProgram.c_str(), parameters.c_str(), nullptr, SW_SHOWNORMAL));
            if (chooser <= 32) showCannotOpen(path, chooser);
        } else {
            showCannotOpen(path, opened);
        }
        return 0;
    } catch (...) {
        showProgramMessage(quillcheck_messages::INTERNAL_ERROR);
        return 1;
    }
}

void FileTools::showSource(const SignedFileRecord& record) {
    if (record.workFolder.empty()) return;
    const std::string dumpPath = dumpPathIn(record.workFolder);
    std::vector<uint8_t> bytes;
    if (readFileBytes(record.signedPath, &bytes) != 0) return;
    writeHexDump(dumpPath, bytes.data(), bytes.size());
    const std::string command = "\"" + systemProgramPath("notepad.exe") + "\" \"" + dumpPath + "\"";
    switch (WinExec(command.c_str(), SW_SHOW)) {
    case 0: showProgramMessage(quillcheck_messages::VIEWER_LOW_RESOURCES); break;
    case ERROR_FILE_NOT_FOUND: showProgramMessage(quillcheck_messages::VIEWER_NOT_FOUND); break;
    case ERROR_PATH_NOT_FOUND: showProgramMessage(quillcheck_messages::VIEWER_PATH_NOT_FOUND); break;
    case ERROR_BAD_FORMAT: showProgramMessage(quillcheck_messages::VIEWER_BAD_FORMAT); break;
    default: break;
    }
}

int FileTools::readFileBytes(const std::string& path, std::vector<uint8_t>* bytes) {
    bytes->clear();
    bytes->shrink_to_fit();
    try {
        File file(std::fopen(path.c_str(), "rb"));
        if (!file) {
            showProgramMessage(quillcheck_messages::FILE_NOT_OPENED);
            return -1;
        }
        if (_fseeki64(file.get(), 0, SEEK_END) != 0) throw std::bad_alloc();
        const long long length = _ftelli64(file.get());
        if (length < 0 || static_cast<unsigned long long>(length) > SIZE_MAX || _fseeki64(file.get(), 0, SEEK_SET) != 0) {
            throw std::bad_alloc();
        }
        bytes->resize(static_cast<size_t>(length));
        if (std::fread(bytes->data(), 1, bytes->size(), file.get()) != bytes->size()) {
            bytes->clear();
            showProgramMessage(quillcheck_messages::FILE_NOT_READ);
            return -2;
        }
        return 0;
    } catch (...) {
        bytes->clear();
        showProgramMessage(quillcheck_messages::FILE_NOT_READ);
        return -3;
    }
}

void FileTools::writeHexDump(const std::string& path, const uint8_t* bytes, size_t length) {
    File file(std::fopen(path.c_str(), "w+b"));
    if (!file) {
        showProgramMessage(formatMessage(shared_messages::TEMP_FILE_NOT_OPENED, path.c_str()).c_str());
        return;
    }
    forEachDumpLine(bytes, length, [&](const std::string& line) { std::fwrite(line.data(), 1, line.size(), file.get()); });
}

int FileTools::showCertificate(int index, const SignedFileRecord& record) {
    const bool known = index >= 0 && index < record.signerCount && index < static_cast<int>(MAX_SIGNERS);
    // The dialog's own copy, alive through its modal run; empty without a certificate.
    std::vector<uint8_t> certificate = known ? record.signerCerts[index] : std::vector<uint8_t>();
    auto* dialog = new COrvikDlg(certificate.data(), static_cast<unsigned long>(certificate.size()));
    dialog->runModal(GetActiveWindow());
    delete dialog;
    return 0;
}

int FileTools::ReportRevocation(int index, const SignedFileRecord& record) {
    return ::ReportRevocation(index, record);
}
