#include "app/model/options_controller.h"

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <string>

#include "app/model/node_data.h"
#include "app/model/tree_selection.h"
#include "platform/diagnostic_log.h"

namespace mailferry {

namespace {

constexpr std::string_view kIgnoreEmptyFolders = "ignoreEmptyFolders";
constexpr std::string_view kSplitMBOXFiles = "splitMBOXFiles";
constexpr std::string_view kMaxMBOXSize = "maxMBOXSize";
constexpr std::string_view kSaveReadUnread = "saveReadUnread";
constexpr std::string_view kMergeContacts = "mergeContacts";
constexpr std::string_view kMergeCalendarEvents = "mergeCalendarEvents";
constexpr std::string_view kActionOption = "actionOption";
constexpr std::string_view kDestinationTypeOptions = "destinationTypeOptions";

constexpr std::string_view kStoredKeys[] = {kIgnoreEmptyFolders, kSplitMBOXFiles,        kMaxMBOXSize,
                                            kSaveReadUnread,     kMergeContacts,         kMergeCalendarEvents,
                                            kActionOption,       kDestinationTypeOptions};

// A size that is no whole number above 0 (a hand-edited settings file) falls back to this.
constexpr std::int32_t kFallbackMBOXSize = 1024;

bool Ticked(bool enabled, std::int32_t value) {
    return enabled && value != kNotSelected;
}

}  // namespace

OptionsController::OptionsController(platform::settings_store& settings) : _settings(settings) {
    for (std::string_view key : kStoredKeys) {
        _observers.push_back(_settings.add_observer(std::string(key), [this](std::string_view) {
            ReadSettings();
            Reevaluate();
            Changed();
        }));
    }
    ReadSettings();
    Reevaluate();
}

OptionsController::~OptionsController() {
    for (const auto id : _observers) _settings.remove_observer(id);
}

void OptionsController::addChangeHandler(ChangeHandler handler) {
    _changeHandlers.push_back(std::move(handler));
}

void OptionsController::setKindState(std::int32_t containerClass, std::int32_t state) {
    std::int32_t* value = nullptr;
    bool* enabled = nullptr;
    switch (containerClass) {
        case kMailContainer:
            value = &_allMails, enabled = &_allMailsEnabled;
            break;
        case kContactsContainer:
            value = &_allContacts, enabled = &_allContactsEnabled;
            break;
        case kCalendarContainer:
            value = &_allCalendar, enabled = &_allCalendarEnabled;
            break;
        default:
            return;
    }
    if (state != kNoFolderOfClass) *value = state;
    *enabled = state != kNoFolderOfClass;
    Reevaluate();
    Changed();
}

std::int32_t OptionsController::destinationTypeOptions() const {
    const auto last = static_cast<std::int32_t>(_selectedOptionsArray.size()) - 1;
    return std::clamp(_storedDestination, 0, std::max(last, 0));
}

void OptionsController::setDestinationTypeOptions(std::int32_t position) {
    Store(kDestinationTypeOptions, position);
}

const OptionMenuItem* OptionsController::chosenOption() const {
    if (!_actionOptionEnabled || _selectedOptionsArray.empty()) return nullptr;
    return &_selectedOptionsArray[static_cast<std::size_t>(destinationTypeOptions())];
}

SelectedKinds OptionsController::selectedKinds() const {
    return {.mails = Ticked(_allMailsEnabled, _allMails),
            .contacts = Ticked(_allContactsEnabled, _allContacts),
            .calendar = Ticked(_allCalendarEnabled, _allCalendar)};
}

void OptionsController::setSaveReadUnread(bool on) {
    Store(kSaveReadUnread, on);
}

void OptionsController::setMergeContacts(bool on) {
    Store(kMergeContacts, on);
}

void OptionsController::setMergeCalendarEvents(bool on) {
    Store(kMergeCalendarEvents, on);
}

void OptionsController::setSplitMBOXFiles(bool on) {
    Store(kSplitMBOXFiles, on);
}

bool OptionsController::setMaxMBOXSize(std::int64_t megabytes) {
    if (megabytes < 1 || megabytes > std::numeric_limits<std::int32_t>::max()) return false;
    Store(kMaxMBOXSize, megabytes);
    return true;
}

void OptionsController::setIgnoreEmptyFolders(bool on) {
    Store(kIgnoreEmptyFolders, on);
}

void OptionsController::ReadSettings() {
    _ignoreEmptyFolders = _settings.get_bool(kIgnoreEmptyFolders);
    _switches.splitMBOXFiles = _settings.get_bool(kSplitMBOXFiles);
    const std::int64_t size = _settings.get_int(kMaxMBOXSize);
    _switches.maxMBOXSize = size >= 1 && size <= std::numeric_limits<std::int32_t>::max()
                                ? static_cast<std::int32_t>(size)
                                : kFallbackMBOXSize;
    _switches.saveReadUnread = _settings.get_bool(kSaveReadUnread);
    _switches.mergeContacts = _settings.get_bool(kMergeContacts);
    _switches.mergeCalendarEvents = _settings.get_bool(kMergeCalendarEvents);
    // Five targets at most.
    _storedDestination =
        static_cast<std::int32_t>(std::clamp<std::int64_t>(_settings.get_int(kDestinationTypeOptions), 0, 4));
}

void OptionsController::Reevaluate() {
    const SelectedKinds kinds = selectedKinds();
    _actionOptionEnabled = kinds.mails || kinds.contacts || kinds.calendar;
    _selectedOptionsArray = BuildConvertMenu(kinds);
    ApplySwitchRules(kinds, chosenOption(), _switches);
    // Merging belongs to the one action there is, converting into a chosen folder.
    _switches.mergeContactsEnabled = _switches.mergeContactsEnabled && actionOption() == 1;
    _switches.mergeCalendarEventsEnabled = _switches.mergeCalendarEventsEnabled && actionOption() == 1;
}

void OptionsController::Changed() {
    for (const auto& handler : _changeHandlers) handler();
}

void OptionsController::Store(std::string_view key, std::int64_t value) {
    try {
        _settings.set_int(key, value);
    } catch (const std::runtime_error& error) {
        // The value is in force for this run all the same.
        platform::log_diagnostic(error.what());
    }
}

}  // namespace mailferry
