#pragma once
// options_controller.h: the option panel of the main window without its widgets — the all mails / contacts /
// calendar boxes as the tree sets them, the target list for the kinds they select, which switches the chosen
// target takes, and the stored settings behind the switches. The settings are bound both ways: a setter writes
// the settings store, and a change in the store (from here or elsewhere) updates the values, re-applies the rules
// and calls the change handlers. Main thread only.

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "export/targets.h"
#include "platform/settings_store.h"

namespace mailferry {

class OptionsController {
public:
    using ChangeHandler = std::function<void()>;

    explicit OptionsController(platform::settings_store& settings);
    ~OptionsController();
    OptionsController(const OptionsController&) = delete;
    OptionsController& operator=(const OptionsController&) = delete;

    // Called, in the order added, after every change.
    void addChangeHandler(ChangeHandler handler);

    // The kind boxes: 1 all ticked, 0 none, -1 some; enabled while folders of the kind are open.
    std::int32_t allMails() const { return _allMails; }
    std::int32_t allContacts() const { return _allContacts; }
    std::int32_t allCalendar() const { return _allCalendar; }
    bool allMailsEnabled() const { return _allMailsEnabled; }
    bool allContactsEnabled() const { return _allContactsEnabled; }
    bool allCalendarEnabled() const { return _allCalendarEnabled; }
    // The tree's fold for a kind (class 5, 3 or 2): -2 disables the box and keeps its value.
    void setKindState(std::int32_t containerClass, std::int32_t state);

    // Always 1: convert into a folder the user chooses.
    std::int32_t actionOption() const { return 1; }
    bool actionOptionEnabled() const { return _actionOptionEnabled; }
    bool destinationTypeOptionEnabled() const { return _actionOptionEnabled; }
    bool startButtonEnabled() const { return _actionOptionEnabled; }

    // The targets for the selected kinds, and the position of the chosen one in that list.
    const std::vector<OptionMenuItem>& selectedOptionsArray() const { return _selectedOptionsArray; }
    std::int32_t destinationTypeOptions() const;
    void setDestinationTypeOptions(std::int32_t position);
    // The chosen target; null while no target can be chosen.
    const OptionMenuItem* chosenOption() const;
    // Mails, contacts, calendar: each when its box is enabled and not unticked (some ticked counts).
    SelectedKinds selectedKinds() const;

    // The switches with their values and whether the chosen target takes them.
    const OptionSwitches& switches() const { return _switches; }
    void setSaveReadUnread(bool on);
    void setMergeContacts(bool on);
    void setMergeCalendarEvents(bool on);
    void setSplitMBOXFiles(bool on);
    // A whole number above 0; other values are refused (false).
    bool setMaxMBOXSize(std::int64_t megabytes);
    bool ignoreEmptyFolders() const { return _ignoreEmptyFolders; }
    void setIgnoreEmptyFolders(bool on);

private:
    void ReadSettings();
    void Reevaluate();
    void Changed();
    void Store(std::string_view key, std::int64_t value);

    platform::settings_store& _settings;
    std::vector<platform::settings_store::observer_id> _observers;
    std::vector<ChangeHandler> _changeHandlers;

    std::int32_t _allMails = 0, _allContacts = 0, _allCalendar = 0;
    bool _allMailsEnabled = false, _allContactsEnabled = false, _allCalendarEnabled = false;
    bool _actionOptionEnabled = false;
    std::int32_t _storedDestination = 0;  // the user's choice, kept while the list is too short to show it
    std::vector<OptionMenuItem> _selectedOptionsArray;
    OptionSwitches _switches;
    bool _ignoreEmptyFolders = false;
};

}  // namespace mailferry
