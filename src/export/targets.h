#pragma once
// targets.h: from the user's choices to a run that can start — the list of target options the front end offers,
// which option switches each option enables, the settings record filled from them, and the set-up of each
// target's output folders (asking the user for a folder is the one thing the front end supplies). Afterwards,
// the two footer lines of the report. Shared by the command line and the desktop front end.
//
//   auto options = BuildConvertMenu({.mails = true});     // Apple, Outlook archive, Thunderbird, *.mbox, *.eml
//   auto prepared = StartExport(items, options[3], switches, kinds, chooseFolder, resources, std::time(nullptr));
//   if (prepared) { RuzorizUvezazExportAgent agent(prepared->settings, *prepared->files, services); ... }

#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "export/export_settings.h"
#include "platform/file_system.h"

namespace mailferry {

// Which kinds of items the selection holds: each true when its folders are present and (partly) selected.
struct SelectedKinds {
    bool mails = false;
    bool contacts = false;
    bool calendar = false;
};

// A target as the target menu shows it.
struct OptionMenuItem {
    std::int32_t packingType = kSeparateFilesPacking;
    std::int32_t mailFormat = kMboxFormat;
    std::u16string description;
};

// The options in menu order: Apple (always), Outlook archive, Thunderbird, separate MBOX, separate EML, each
// when the kinds call for it.
std::vector<OptionMenuItem> BuildConvertMenu(const SelectedKinds& kinds);

// The option switches of the main window: their values and whether the chosen target takes them.
struct OptionSwitches {
    bool saveReadUnread = false;
    bool saveReadUnreadEnabled = false;
    bool mergeContacts = false;
    bool mergeContactsEnabled = false;
    bool mergeCalendarEvents = false;
    bool mergeCalendarEventsEnabled = false;
    bool splitMBOXFiles = false;
    bool splitMBOXFilesEnabled = false;
    std::int32_t maxMBOXSize = 0;  // the stored "maxMBOXSize", used when splitting is on
};

// Sets the four `...Enabled` flags for the kinds and the chosen option (null when no target can be chosen).
void ApplySwitchRules(const SelectedKinds& kinds, const OptionMenuItem* option, OptionSwitches& switches);

// The settings for the option and switches (no paths yet).
_ExportSettings FillExportSettings(const OptionMenuItem& option, const OptionSwitches& switches,
                                   std::vector<IExportItemMAPIFolder*> items);

// Asks the user for a folder with a message and a button title; nothing when the user cancels. The folder
// exists when one is returned (or its failures show later as output errors).
using ChooseOutputFolder =
    std::function<std::optional<std::string>(std::u16string_view message, std::u16string_view button)>;

// A run ready to start: its settings and the file system of the chosen folder, which the run writes through.
struct PreparedExport {
    _ExportSettings settings;
    std::unique_ptr<platform::file_system> files;
};

// Fills the settings and sets up the target: asks for the output folder, creates the target's folders (and the
// Outlook archive package, from the parts in `resources`) and names the log file after `now`. Nothing when the
// user cancelled the question. Failures to create folders are left for the run to report.
std::optional<PreparedExport> StartExport(std::vector<IExportItemMAPIFolder*> items, const OptionMenuItem& option,
                                          const OptionSwitches& switches, const SelectedKinds& kinds,
                                          const ChooseOutputFolder& chooseOutputFolder,
                                          const std::filesystem::path& resources, std::time_t now);

// The report's two footer lines: where the output is, and where the detailed log is.
std::pair<std::u16string, std::u16string> ReportFooters(const _ExportSettings& settings);

}  // namespace mailferry
