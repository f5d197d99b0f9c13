#include "trusted_list_source.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <thread>

#include "crl_retrieval.h"
#include "product_version.h"

namespace {

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

// A REG_SZ value of the settings key (HKLM, 32-bit view); empty when unset.
std::string settingText(const char* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, QUILL_SETTINGS_KEY, 0, KEY_QUERY_VALUE | KEY_WOW64_32KEY, &key) !=
        ERROR_SUCCESS) {
        return "";
    }
    char value[2048] = {};
    DWORD type = 0, size = sizeof value - 1;
    const LONG read = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    return read == ERROR_SUCCESS && type == REG_SZ ? std::string(value) : std::string();
}

// The folder of the running program, with its final "\".
std::string programFolder() {
    char path[MAX_PATH * 4];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path) return "";
    std::string folder(path, length);
    return folder.substr(0, folder.rfind('\\') + 1);
}

bool readBounded(const std::string& path, size_t limit, std::vector<uint8_t>* bytes) {
    bytes->clear();
    File file(std::fopen(path.c_str(), "rb"));
    if (!file) return false;
    uint8_t piece[65536];
    for (;;) {
        const size_t read = std::fread(piece, 1, sizeof piece, file.get());
        bytes->insert(bytes->end(), piece, piece + std::min(read, limit + 1 - bytes->size()));
        if (read < sizeof piece || bytes->size() > limit) break;
    }
    return !std::ferror(file.get());
}

}  // namespace

TrustedListSettings installedListSettings() {
    TrustedListSettings settings;
    const std::string folder = programFolder();
    settings.address = settingText(LIST_ADDRESS_VALUE);
    if (settings.address.empty()) settings.address = DEFAULT_LIST_ADDRESS;
    settings.signersFolder = settingText(LIST_SIGNERS_VALUE);
    if (settings.signersFolder.empty()) settings.signersFolder = folder + "fiducia\\firmatari";
    settings.snapshotPath = folder + "fiducia\\lista-IT.xml";
    char temporary[2048];
    const DWORD length = GetTempPathA(sizeof temporary, temporary);
    if (length != 0 && length < sizeof temporary) {
        settings.cachePath = std::string(temporary) + CRL_CACHE_FOLDER + "\\lista-di-fiducia-IT.xml";
    }
    return settings;
}

std::vector<CertificateBytes> readPinnedSigners(const std::string& folder) {
    std::vector<CertificateBytes> signers;
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return signers;
    do {
        // The name's own extension: a pattern would also match short names
        // ("x.cer_old" as "X~1.CER").
        const std::string name = found.cFileName;
        const std::string extension = name.size() > 4 ? name.substr(name.size() - 4) : "";
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
            (_stricmp(extension.c_str(), ".der") != 0 && _stricmp(extension.c_str(), ".cer") != 0)) {
            continue;
        }
        CertificateBytes der;
        if (readBounded(folder + "\\" + name, 65536, &der) && der.size() <= 65536 && !der.empty()) {
            signers.push_back(std::move(der));
        }
    } while (signers.size() < MAX_PINNED_SIGNERS && FindNextFileA(search, &found));
    FindClose(search);
    return signers;
}

bool readListFile(const std::string& path, std::vector<uint8_t>* bytes) { return readBounded(path, MAX_XML_SIZE, bytes); }

std::vector<uint8_t> downloadList(const std::string& address, unsigned seconds, std::string* failure) {
    failure->clear();
    std::vector<uint8_t> bytes;
    if (address.compare(0, 7, "http://") != 0 && address.compare(0, 8, "https://") != 0) {
        *failure = "indirizzo della lista non HTTP";
        return bytes;
    }
    const int32_t code = DownloadWithin(
        seconds, [address](std::vector<uint8_t>* body) { return DownloadHttp(address, MAX_LIST_DOWNLOAD, body); },
        &bytes);
    if (code != 0) {
        bytes.clear();
        *failure = code == CRLCHECK_DOWNLOAD ? "il server non ha restituito la lista"
                                             : "lista non scaricata: server non raggiungibile, troppo lento o lista troppo grande";
    }
    return bytes;
}

bool writeCachedList(const AcceptedTrustedList& list, const std::string& path) {
    return replaceCacheFile(path, list.bytes().data(), list.bytes().size());
}

bool TrustedListStore::adopt(std::unique_ptr<AcceptedTrustedList> candidate) {
    // Another thread may have kept a newer list meanwhile.
    if (kept_ && candidate->list().sequenceNumber < kept_->list().sequenceNumber) return false;
    kept_ = std::move(candidate);
    writeCachedList(*kept_, settings_.cachePath);
    return true;
}

std::string TrustedListStore::lastRefusal() const {
    const std::lock_guard<std::mutex> hold(lock_);
    return lastRefusal_;
}

bool TrustedListStore::loading() const {
    const std::lock_guard<std::mutex> hold(lock_);
    return loadStarted_ && !loaded_;
}

std::shared_ptr<const AcceptedTrustedList> TrustedListStore::current(ListFetch fetch) {
    std::unique_lock<std::mutex> hold(lock_);
    if (!loadStarted_) {
        loadStarted_ = true;
        hold.unlock();
        // The gate runs unlocked: a caller meanwhile gets what is in hand.
        const std::vector<CertificateBytes> pinned = readPinnedSigners(settings_.signersFolder);
        std::unique_ptr<AcceptedTrustedList> cached, snapshot;
        std::vector<uint8_t> bytes;
        std::string refusal;
        if (readListFile(settings_.cachePath, &bytes)) refusal = acceptTrustedList(bytes, pinned, nullptr, utcNow(), &cached);
        // The snapshot counts when it is not older: a cache from before an
        // update of the program does not hide it.
        if (readListFile(settings_.snapshotPath, &bytes)) {
            const std::string snapshotRefusal =
                acceptTrustedList(bytes, pinned, cached ? &cached->list() : nullptr, utcNow(), &snapshot);
            if (!cached) refusal = snapshotRefusal;
        }
        hold.lock();
        lastRefusal_ = refusal;
        if (snapshot) {
            adopt(std::move(snapshot));
        } else if (cached) {
            kept_ = std::move(cached);
        }
        loaded_ = true;
        loadedNow_.notify_all();
    } else if (!loaded_) {
        if (fetch == ListFetch::InHand) return kept_;  // nothing in hand yet: no waiting
        loadedNow_.wait(hold, [this] { return loaded_; });
    }
    const bool stale = !kept_ || !kept_->speaksFor(utcNow());
    if (!stale || fetch != ListFetch::Refreshed || downloadTried_) return kept_;
    downloadTried_ = true;
    const std::shared_ptr<const AcceptedTrustedList> known = kept_;
    hold.unlock();
    // Without a pinned signer no list can be believed: nothing to wait for.
    const std::vector<CertificateBytes> pinned = readPinnedSigners(settings_.signersFolder);
    std::string failure = pinned.empty() ? "nessun firmatario della lista installato" : "";
    std::unique_ptr<AcceptedTrustedList> fresh;
    if (failure.empty()) {
        std::vector<uint8_t> bytes = downloadList(settings_.address, LIST_RETRIEVAL_SECONDS, &failure);
        if (failure.empty()) {
            failure = acceptTrustedList(std::move(bytes), pinned, known ? &known->list() : nullptr, utcNow(), &fresh);
        }
    }
    hold.lock();
    lastRefusal_ = failure;
    if (fresh) adopt(std::move(fresh));
    return kept_;
}

TrustedListStore& programListStore() {
    // Never destroyed: a background download may still use it while the
    // program ends.
    static TrustedListStore* const store = new TrustedListStore(installedListSettings());
    return *store;
}

void refreshProgramListInBackground() {
    std::thread([] {
        try {
            programListStore().current(ListFetch::Refreshed);
        } catch (...) {  // memory ran out: the program goes on without a list
        }
    }).detach();
}
