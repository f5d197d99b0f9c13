// A desktop mail program's Simple MAPI, as far as the signing program uses
// it: MAPISendMail writes the message it was handed as an Internet message
// (<outbox>\message-N.eml) and, beside it, a record of every field it was
// handed (<outbox>\message-N.txt), so that a person or a test sees what left.
//
// Environment (read from the process, not from this DLL's C runtime):
//   QUILL_MAIL_OUTBOX    the folder of the messages (none: nothing written)
//   QUILL_MAPI_RESULT    the code MAPISendMail returns (decimal; default 0)
//   QUILL_MAPI_HOLD_MS   how long the call holds, as a compose window would
//
// The attachments are read during the call: the caller deletes them after it.
// A file to attach that is not there fails the call with
// MAPI_E_ATTACHMENT_NOT_FOUND, and nothing is written.
// Built without QUILL_MAPI_SEND_MAIL, the library lacks the entry.
#include <windows.h>
#include <mapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#ifdef QUILL_MAPI_SEND_MAIL
namespace {

std::string environment(const char* name) {
    char value[1024] = "";
    const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    return length > 0 && length < sizeof value ? std::string(value) : std::string();
}

// A text in quotes, its line breaks written \r and \n so that it keeps to one line; or null.
std::string text(const char* value) {
    if (!value) return "null";
    std::string out = "\"";
    for (const char* c = value; *c; ++c) out += *c == '\r' ? std::string("\\r") : *c == '\n' ? std::string("\\n") : std::string(1, *c);
    return out + "\"";
}

std::string hex(ULONG value) {
    char out[16];
    std::snprintf(out, sizeof out, "0x%08lX", static_cast<unsigned long>(value));
    return out;
}

// The reply-to of the default mail account's registry key as it stands now.
std::string accountReplyTo() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Account Manager", 0, KEY_READ, &key) != 0) {
        return "(no account manager)";
    }
    char account[512] = "";
    DWORD size = sizeof account - 1;
    const LONG read = RegQueryValueExA(key, "Default Mail Account", nullptr, nullptr,
                                       reinterpret_cast<BYTE*>(account), &size);
    RegCloseKey(key);
    if (read != 0) return "(no default account)";
    const std::string accountKey = "Software\\Microsoft\\Internet Account Manager\\Accounts\\" + std::string(account);
    if (RegOpenKeyExA(HKEY_CURRENT_USER, accountKey.c_str(), 0, KEY_READ, &key) != 0) return "(no account key)";
    char value[2048] = "";
    size = sizeof value - 1;
    const LONG got = RegQueryValueExA(key, "SMTP Reply To Email Address", nullptr, nullptr,
                                      reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    if (got != 0) return "(absent)";
    return text(std::string(value, strnlen(value, size)).c_str());
}

std::string base64Lines(const std::string& bytes) {
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out, line;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t group = static_cast<uint8_t>(bytes[i]) << 16;
        if (i + 1 < bytes.size()) group |= static_cast<uint8_t>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size()) group |= static_cast<uint8_t>(bytes[i + 2]);
        line += alphabet[(group >> 18) & 63];
        line += alphabet[(group >> 12) & 63];
        line += i + 1 < bytes.size() ? alphabet[(group >> 6) & 63] : '=';
        line += i + 2 < bytes.size() ? alphabet[group & 63] : '=';
        if (line.size() == 76) {
            out += line + "\r\n";
            line.clear();
        }
    }
    return line.empty() ? out : out + line + "\r\n";
}

std::string fileBytes(const char* path) {
    std::ifstream in(path ? path : "", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string baseName(const char* path) {
    const std::string p = path ? path : "";
    const size_t slash = p.find_last_of("\\/");
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

// The first free message-N in the outbox.
std::string nextMessagePath(const std::string& outbox) {
    for (int n = 1;; ++n) {
        const std::string path = outbox + "\\message-" + std::to_string(n);
        if (GetFileAttributesA((path + ".txt").c_str()) == INVALID_FILE_ATTRIBUTES) return path;
    }
}

void write(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace

extern "C" __declspec(dllexport) ULONG WINAPI MAPISendMail(LHANDLE session, ULONG_PTR uiParam, lpMapiMessage message,
                                                          FLAGS flags, ULONG reserved) {
    // As a mail program does: a file to attach that is not there fails the
    // whole message.
    for (ULONG i = 0; message != nullptr && message->lpFiles != nullptr && i < message->nFileCount; ++i) {
        const char* path = message->lpFiles[i].lpszPathName;
        if (path == nullptr || GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return MAPI_E_ATTACHMENT_NOT_FOUND;
    }
    const std::string outbox = environment("QUILL_MAIL_OUTBOX");
    if (!outbox.empty() && message != nullptr) {
        std::ostringstream record;
        record << "session=" << hex(static_cast<ULONG>(session)) << "\r\nui=" << hex(static_cast<ULONG>(uiParam))
               << "\r\nflags=" << flags << "\r\nreserved=" << reserved
               << "\r\nsubject=" << text(message->lpszSubject) << "\r\nnote=" << text(message->lpszNoteText)
               << "\r\nmessage_flags=" << message->flFlags
               << "\r\noriginator=" << (message->lpOriginator ? "set" : "null")
               << "\r\nrecipients=" << message->nRecipCount << "\r\n";
        std::string to;
        for (ULONG i = 0; i < message->nRecipCount && message->lpRecips; ++i) {
            const MapiRecipDesc& r = message->lpRecips[i];
            record << "recipient=" << r.ulRecipClass << " " << text(r.lpszName) << " " << text(r.lpszAddress) << " "
                   << r.ulEIDSize << " " << (r.lpEntryID ? "set" : "null") << "\r\n";
            std::string address = r.lpszAddress ? r.lpszAddress : "";
            if (address.compare(0, 5, "SMTP:") == 0) address = address.substr(5);
            to += (to.empty() ? "" : ", ") + address;
        }
        const std::string boundary = "----=_QuillOutbox_0001";
        std::string eml = "To: " + to + "\r\nSubject: " + (message->lpszSubject ? message->lpszSubject : "") +
                          "\r\nMIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"" + boundary +
                          "\"\r\n\r\n";
        if (message->lpszNoteText) {
            eml += "--" + boundary + "\r\nContent-Type: text/plain; charset=windows-1252\r\n"
                   "Content-Transfer-Encoding: base64\r\n\r\n" + base64Lines(message->lpszNoteText);
        }
        record << "files=" << message->nFileCount << "\r\n";
        for (ULONG i = 0; i < message->nFileCount && message->lpFiles; ++i) {
            const MapiFileDesc& f = message->lpFiles[i];
            record << "file=" << f.ulReserved << " " << f.flFlags << " " << hex(f.nPosition) << " "
                   << text(f.lpszPathName) << " " << text(f.lpszFileName) << " " << (f.lpFileType ? "set" : "null")
                   << "\r\n";
            const std::string name = f.lpszFileName ? f.lpszFileName : baseName(f.lpszPathName);
            eml += "--" + boundary + "\r\nContent-Type: application/octet-stream; name=\"" + name +
                   "\"\r\nContent-Disposition: attachment; filename=\"" + name +
                   "\"\r\nContent-Transfer-Encoding: base64\r\n\r\n" + base64Lines(fileBytes(f.lpszPathName));
        }
        eml += "--" + boundary + "--\r\n";
        record << "account_reply_to=" << accountReplyTo() << "\r\n";
        const std::string path = nextMessagePath(outbox);
        write(path + ".eml", eml);
        write(path + ".txt", record.str());
    }
    const std::string hold = environment("QUILL_MAPI_HOLD_MS");
    if (!hold.empty()) Sleep(static_cast<DWORD>(std::strtoul(hold.c_str(), nullptr, 10)));
    const std::string result = environment("QUILL_MAPI_RESULT");
    return result.empty() ? 0 : static_cast<ULONG>(std::strtoul(result.c_str(), nullptr, 10));
}
#else
// The library without its entry: a mail program too old or broken.
extern "C" __declspec(dllexport) ULONG WINAPI MAPILogoff(LHANDLE, ULONG_PTR, FLAGS, ULONG) { return 0; }
#endif
