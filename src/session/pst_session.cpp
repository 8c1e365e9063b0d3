#include "session/pst_session.h"

#include "encoding/code_page_table.h"
#include "platform/platform_string.h"
#include "session/mapi_folder.h"
#include "session/message_store.h"

namespace mailferry {

namespace {
constexpr std::string_view kCodePageKey = "pstDefaultCodePage";
}

PSTSession::PSTSession(const std::string& pstFilePath, const platform::settings_store& settings)
    : _pstFilePath(pstFilePath) {
    // File names are bytes on this system; the path goes to the reader as it came.
    _pstSession = std::make_unique<pstcore::pst>(_pstFilePath);
    _isUnicodePST = _pstSession->get_db()->header_version() > 19;
    _pstDefaultCodePage = static_cast<std::int32_t>(settings.get_int("defaultCodePage"));
    _pstSession->get_property_bag().set_text_encoding(find_text_encoding(_pstDefaultCodePage));
    AddObserver([this](std::string_view key) {
        if (key == kCodePageKey) InvalidateCodePage();
    });
}

PSTSession::~PSTSession() = default;

MessageStore& PSTSession::GetRootStore() {
    if (!_rootStore) {
        auto store = std::make_unique<MessageStore>(_pstSession->open_top_folder());
        store->SetStoreName(platform::stringWithWString(_pstSession->get_name()));
        store->SetOwnerSession(this);
        _rootStore = std::move(store);
    }
    return *_rootStore;
}

void PSTSession::InvalidateCodePage() {
    _pstSession->get_property_bag().set_text_encoding(find_text_encoding(_pstDefaultCodePage));
    MessageStore& store = GetRootStore();
    store.InvalidateCodePage();
    store.SetStoreName(platform::stringWithWString(_pstSession->get_name()));
}

date_formatter& PSTSession::DateFormatter() {
    if (!_dateFormatter) _dateFormatter = std::make_unique<date_formatter>();
    return *_dateFormatter;
}

void PSTSession::SetPstDefaultCodePage(std::int32_t pstDefaultCodePage) {
    _pstDefaultCodePage = pstDefaultCodePage;
    // A copy, because an observer may add or remove observers.
    const auto observers = _observers;
    for (const auto& [id, observer] : observers) observer(kCodePageKey);
}

std::size_t PSTSession::AddObserver(ChangeObserver observer) {
    const std::size_t id = _nextObserver++;
    _observers.emplace(id, std::move(observer));
    return id;
}

void PSTSession::RemoveObserver(std::size_t id) {
    _observers.erase(id);
}

}  // namespace mailferry
