// Where the trusted list comes from: the settings the installer records, the
// pinned certificates that may sign it, the copy kept in the program's cache
// folder, the snapshot the installer lays down, and a download when the list
// in hand is past its next update.
#pragma once

#include <cstdint>
#include <memory>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "trusted_list_acceptance.h"

// The address of the Italian list, as the European list of lists gives it.
constexpr char DEFAULT_LIST_ADDRESS[] = "https://eidas.agid.gov.it/TL/TSL-IT.xml";
// REG_SZ values under the settings key (HKLM, 32-bit view): the list's
// address, and a folder of certificates that replace the installed signers.
constexpr char LIST_ADDRESS_VALUE[] = "IndirizzoListaFiducia";
constexpr char LIST_SIGNERS_VALUE[] = "FirmatariListaFiducia";
// Downloads larger than this fail: real lists are a few MB.
constexpr size_t MAX_LIST_DOWNLOAD = 32u << 20;
constexpr unsigned LIST_RETRIEVAL_SECONDS = 20;
// Files read from a signers folder: at most this many, each at most 64 KB.
constexpr size_t MAX_PINNED_SIGNERS = 64;

struct TrustedListSettings {
    std::string address;        // where a fresh list is downloaded from
    std::string signersFolder;  // the pinned certificates (.der, .cer)
    std::string snapshotPath;   // the list the installer laid down
    std::string cachePath;      // the copy the program keeps
};

// The settings of this installation: the registry's values where set, else
// the default address and the folders beside the program ("fiducia\firmatari",
// "fiducia\lista-IT.xml"); the cache in the revocation lists' folder.
TrustedListSettings installedListSettings();

// The DER certificates of a folder's .der and .cer files (bounded as above);
// empty when it has none.
std::vector<CertificateBytes> readPinnedSigners(const std::string& folder);

// A file's bytes, at most MAX_XML_SIZE + 1 of them (so that a larger file is
// refused as larger); false when it cannot be read.
bool readListFile(const std::string& path, std::vector<uint8_t>* bytes);

// The body of an HTTP address, within `seconds` and MAX_LIST_DOWNLOAD; empty
// with the reason in `failure` when there is none.
std::vector<uint8_t> downloadList(const std::string& address, unsigned seconds, std::string* failure);

// The list a run judges by, found once and then kept:
//   - the cached copy and the snapshot, each through the gate, the newer
//     believed one kept (the snapshot is cached when it wins);
//   - when neither is believed, or the one kept is past its next update, one
//     download from the address, within LIST_RETRIEVAL_SECONDS, through the
//     gate with the one kept as the known list; cached once believed.
// One store may be asked from several threads: the gate and the download
// run unlocked, so that another caller meanwhile gets the list in hand at once.
enum class ListFetch {
    InHand,   // what is in hand now: no waiting for another thread's load, no download
    Local,    // the cached copy and the snapshot, read first if need be: no download
    Refreshed // that, and the one download when the list in hand is past its next update
};

class TrustedListStore {
public:
    explicit TrustedListStore(TrustedListSettings settings) : settings_(std::move(settings)) {}

    // The list believed; null when none is.
    std::shared_ptr<const AcceptedTrustedList> current(ListFetch fetch = ListFetch::Refreshed);
    // Why the last list tried was not believed (empty when it was, or none was tried).
    std::string lastRefusal() const;
    // Whether another thread is still reading the cached copy and the snapshot.
    bool loading() const;

private:
    // Keeps a believed list, and caches it, unless the one kept is newer (the lock held).
    bool adopt(std::unique_ptr<AcceptedTrustedList> candidate);

    const TrustedListSettings settings_;
    mutable std::mutex lock_;
    std::condition_variable loadedNow_;
    std::shared_ptr<const AcceptedTrustedList> kept_;
    bool loadStarted_ = false;
    bool loaded_ = false;
    bool downloadTried_ = false;
    std::string lastRefusal_;
};

// The store of the running program, with installedListSettings().
TrustedListStore& programListStore();

// Has the program's store find its list on a thread of its own, downloading
// a fresher one when needed, so that no window waits for it.
void refreshProgramListInBackground();

// Keeps `list` as the cached copy at `path` (written aside, then moved over
// the copy before); true when it was kept.
bool writeCachedList(const AcceptedTrustedList& list, const std::string& path);
