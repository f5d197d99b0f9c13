// The verification program's ways to look at a SignedFile: its content with
// the desktop's application for its type, a dump of the file as stored in the
// text editor, a signer's certificate in the certificate dialog; and the
// revocation report.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "signed_file_record.h"

// The source view's dump: the temporary directory's "file_hex.txt".
constexpr char HEX_DUMP_NAME[] = "c:\\file_hex.txt";

class FileTools {
public:
    // Opens `path` with the application the desktop associates with its type;
    // without one (or when opening would run the file) offers the desktop's
    // chooser. 0, also after a message; 1 after an internal failure.
    int openWithAssociation(const std::string& path);

    // Writes the dump of the record's SignedFile, as stored, and opens it in
    // the text editor.
    void showSource(const SignedFileRecord& record);

    // The file whole into `bytes` (emptied first): 0; -1 it cannot be opened;
    // -2 it was read short; -3 an internal failure. Each failure says so.
    int readFileBytes(const std::string& path, std::vector<uint8_t>* bytes);

    // The dump of `bytes` into `path` (truncated first); says so when the file
    // cannot be created.
    void writeHexDump(const std::string& path, const uint8_t* bytes, size_t length);

    // The certificate of signer `index` in the certificate dialog. Returns 0.
    int showCertificate(int index, const SignedFileRecord& record);

    // The revocation check of signer `index`, reported in a box. Returns 0.
    int ReportRevocation(int index, const SignedFileRecord& record);
};
