#pragma once
// pst_session.h: one opened PST file as the front ends hold it. The session owns the reader's `pst` and, once
// asked for, its MessageStore, which owns the folder wrappers; the wrappers point back up with plain pointers.
// A Message handed out keeps its session alive, so sessions live in a std::shared_ptr (std::make_shared):
// MAPIFolder::QueryMessage needs that. Changing the code page re-reads the store and folder names at once,
// through the session's own observer of "pstDefaultCodePage". Not thread-safe: one thread at a time.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "encoding/dates.h"
#include "platform/settings_store.h"
#include "pstcore/messaging/pst.h"

namespace mailferry {

class MessageStore;

class PSTSession : public std::enable_shared_from_this<PSTSession> {
public:
    using ChangeObserver = std::function<void(std::string_view key)>;

    // Opens the file; the reader's exceptions propagate and no session is made. The code page comes from the
    // integer setting "defaultCodePage" (0, no text encoding, when it is not set).
    explicit PSTSession(const std::string& pstFilePath,
                        const platform::settings_store& settings = platform::standard_settings());
    ~PSTSession();
    PSTSession(const PSTSession&) = delete;
    PSTSession& operator=(const PSTSession&) = delete;

    // The store, made on the first call: the root folder's first normal sub-folder, named after the store.
    // Throws database_corrupt "the store has no top folder", and whatever reading the store name throws.
    MessageStore& GetRootStore();
    // Attaches the current code page to the store bag and re-reads the store and folder names.
    void InvalidateCodePage();

    const std::string& pstFilePath() const { return _pstFilePath; }
    pstcore::pst& pstSession() { return *_pstSession; }
    bool isUnicodePST() const { return _isUnicodePST; }
    std::int32_t pstDefaultCodePage() const { return _pstDefaultCodePage; }
    // Stores the code page, then notifies the observers of "pstDefaultCodePage" (the session's own first).
    void SetPstDefaultCodePage(std::int32_t pstDefaultCodePage);

    // The zone the session's messages show their dates in: the system's, taken when the file was opened.
    const time_zone& SystemTimeZone() const { return _systemTimeZone; }
    // One formatter for the session's messages, made on first use.
    date_formatter& DateFormatter();

    // Observers of "pstDefaultCodePage"; they live until removed or until the session is destroyed.
    std::size_t AddObserver(ChangeObserver observer);
    void RemoveObserver(std::size_t id);

private:
    std::string _pstFilePath;
    std::unique_ptr<pstcore::pst> _pstSession;
    bool _isUnicodePST = false;
    std::int32_t _pstDefaultCodePage = 0;
    std::unique_ptr<MessageStore> _rootStore;
    time_zone _systemTimeZone = time_zone::system();
    std::unique_ptr<date_formatter> _dateFormatter;
    std::map<std::size_t, ChangeObserver> _observers;
    std::size_t _nextObserver = 1;
};

}  // namespace mailferry
