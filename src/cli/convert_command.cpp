#include "cli/convert_command.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <charconv>
#include <csignal>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <set>
#include <string_view>

#include "cli/command_help.h"
#include "cli/interrupt.h"
#include "cli/progress_bar.h"
#include "export/export_agent.h"
#include "export/folder_selection.h"
#include "export/targets.h"
#include "platform/path_text.h"
#include "platform/settings_store.h"
#include "platform/shipped_files.h"
#include "session/mapi_folder.h"
#include "session/message_store.h"
#include "session/pst_session.h"

namespace mailferry {

namespace {

struct Target {
    std::string_view name;
    std::int32_t packing;
    std::int32_t defaultFormat;  // the format the target's menu option gives
    bool takesEml;
};
constexpr Target kTargets[] = {
    {"apple", kApplePacking, kMboxFormat, false},
    {"thunderbird", kThunderbirdPacking, kEmlFormat, true},
    {"archive", kArchivePacking, kMboxFormat, false},
    {"files", kSeparateFilesPacking, kMboxFormat, true},
};

struct ConvertOptions {
    std::vector<std::string> files;
    std::string out;
    const Target* target = &kTargets[3];
    std::optional<std::int32_t> format;
    std::optional<std::int32_t> splitMB;
    bool readUnread = false;
    bool mergeContacts = false;
    bool mergeEvents = false;
    SelectedKinds only{true, true, true};  // the kinds of folders converted
    std::vector<std::u16string> folders;
    bool ignoreEmpty = false;
    std::optional<std::int32_t> codePage;
    std::optional<time_zone> zone;
    bool quiet = false;
};

struct UsageError {
    std::string message;  // empty: only the usage text
};

template <typename T>
std::optional<T> Whole(std::string_view text) {
    T value{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// "mail,contacts,calendar" or any of them.
SelectedKinds ParseKinds(std::string_view list) {
    SelectedKinds kinds;
    while (true) {
        const std::size_t comma = list.find(',');
        const std::string_view kind = list.substr(0, comma);
        if (kind == "mail")
            kinds.mails = true;
        else if (kind == "contacts")
            kinds.contacts = true;
        else if (kind == "calendar")
            kinds.calendar = true;
        else
            throw UsageError{"--only takes mail, contacts and calendar, separated by commas"};
        if (comma == std::string_view::npos) return kinds;
        list.remove_prefix(comma + 1);
    }
}

ConvertOptions ParseOptions(const std::vector<std::string>& args) {
    ConvertOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size()) throw UsageError{arg + " needs a value"};
            return args[++i];
        };
        if (arg == "--out") {
            options.out = value();
        } else if (arg == "--target") {
            const std::string& name = value();
            options.target = nullptr;
            for (const Target& target : kTargets)
                if (target.name == name) options.target = &target;
            if (!options.target) throw UsageError{"unknown target " + name};
        } else if (arg == "--format") {
            const std::string& name = value();
            if (name != "mbox" && name != "eml") throw UsageError{"unknown format " + name};
            options.format = name == "mbox" ? kMboxFormat : kEmlFormat;
        } else if (arg == "--split-mbox") {
            const auto size = Whole<std::int32_t>(value());
            if (!size || *size < 1) throw UsageError{"--split-mbox takes a whole number of MB above 0"};
            options.splitMB = size;
        } else if (arg == "--read-unread") {
            options.readUnread = true;
        } else if (arg == "--merge-contacts") {
            options.mergeContacts = true;
        } else if (arg == "--merge-events") {
            options.mergeEvents = true;
        } else if (arg == "--only") {
            options.only = ParseKinds(value());
        } else if (arg == "--folder") {
            options.folders.push_back(platform::text_of_path(value()));
        } else if (arg == "--ignore-empty") {
            options.ignoreEmpty = true;
        } else if (arg == "--codepage") {
            const auto codePage = Whole<std::int32_t>(value());
            if (!codePage || *codePage < 0) throw UsageError{"--codepage takes a code page number"};
            options.codePage = codePage;
        } else if (arg == "--timezone") {
            const std::string& name = value();
            options.zone = time_zone::named(name);
            if (!options.zone) throw UsageError{"unknown time zone " + name};
        } else if (arg == "--quiet") {
            options.quiet = true;
        } else if (arg.starts_with("--")) {
            throw UsageError{"unknown option " + arg};
        } else {
            options.files.push_back(arg);
        }
    }
    if (options.files.empty() || options.out.empty()) throw UsageError{};
    if (options.format == kEmlFormat && !options.target->takesEml)
        throw UsageError{"--format eml is not available for --target " + std::string(options.target->name)};
    return options;
}

struct LoadedFiles {
    std::vector<std::shared_ptr<PSTSession>> sessions;
    std::vector<MAPIFolder*> folders;  // the tree folders of every file, in order
    bool failed = false;
};

LoadedFiles LoadFiles(const ConvertOptions& options, const platform::settings_store& settings, std::ostream& err) {
    LoadedFiles loaded;
    std::set<std::string> seen;
    for (const std::string& file : options.files) {
        if (!seen.insert(PstFileKey(file)).second) continue;
        try {
            // The report names files in full, as the desktop front end does.
            auto session = std::make_shared<PSTSession>(std::filesystem::absolute(file).string(), settings);
            if (options.codePage) session->SetPstDefaultCodePage(*options.codePage);
            std::vector<MAPIFolder*> folders;
            CollectTreeFolders(session->GetRootStore().GetSubTreeFolder(), folders);
            loaded.folders.insert(loaded.folders.end(), folders.begin(), folders.end());
            loaded.sessions.push_back(std::move(session));
        } catch (const std::exception& error) {
            err << "Failed to load following PST file: " << file
                << ". This may happen if PST file is corrupt. Please repair this file using \"scanpst\" and try to "
                   "reload it. ("
                << error.what() << ")\n";
            loaded.failed = true;
        }
    }
    return loaded;
}

bool OfChosenKind(const MAPIFolder& folder, const SelectedKinds& only) {
    switch (folder.defaultItemType()) {
        case kStoreTopFolder:
        case kMailFolder:
            return only.mails;
        case kContactsFolder:
            return only.contacts;
        case kCalendarFolder:
            return only.calendar;
        default:
            return true;  // kinds that write nothing keep their place in the report
    }
}

std::vector<MAPIFolder*> SelectFolders(const ConvertOptions& options, const std::vector<MAPIFolder*>& folders) {
    std::vector<bool> used(options.folders.size(), false);
    std::vector<MAPIFolder*> selected;
    for (MAPIFolder* folder : folders) {
        bool chosen = options.folders.empty();
        for (std::size_t i = 0; i < options.folders.size(); ++i) {
            if (FolderPathSelects(options.folders[i], folder->fullFolderPath())) {
                chosen = true;
                used[i] = true;
            }
        }
        if (chosen && TakenForExport(*folder, options.ignoreEmpty) && OfChosenKind(*folder, options.only))
            selected.push_back(folder);
    }
    for (std::size_t i = 0; i < options.folders.size(); ++i)
        if (!used[i]) throw UsageError{"no folder matches --folder " + platform::path_of_text(options.folders[i])};
    return selected;
}

// Refuses the switches the chosen target does not take, as the main window would disable them.
OptionSwitches Switches(const ConvertOptions& options, const SelectedKinds& kinds, const OptionMenuItem& option) {
    OptionSwitches switches;
    switches.saveReadUnread = options.readUnread;
    switches.splitMBOXFiles = options.splitMB.has_value();
    switches.maxMBOXSize = options.splitMB.value_or(0);
    switches.mergeContacts = options.mergeContacts;
    switches.mergeCalendarEvents = options.mergeEvents;
    ApplySwitchRules(kinds, &option, switches);
    if (options.mergeContacts && !switches.mergeContactsEnabled)
        throw UsageError{"--merge-contacts needs --target files and contact folders"};
    if (options.mergeEvents && !switches.mergeCalendarEventsEnabled)
        throw UsageError{"--merge-events needs --target files and calendar folders"};
    if (options.readUnread && !switches.saveReadUnreadEnabled)
        throw UsageError{"--read-unread needs --target files and mail folders"};
    if (options.splitMB && !switches.splitMBOXFilesEnabled)
        throw UsageError{"--split-mbox needs --target files --format mbox and mail folders"};
    return switches;
}

std::string Printable(std::u16string_view text) {
    std::string out;
    for (char c : platform::path_of_text(text))
        if (c != '\r') out.push_back(c);
    return out;
}

int Convert(const ConvertOptions& options, std::ostream& out, std::ostream& err,
            const platform::settings_store& settings, std::ostream* progress, std::size_t progressWidth) {
    // A file-size limit makes writes fail (and the run report it) instead of ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    LoadedFiles loaded = LoadFiles(options, settings, err);
    if (loaded.sessions.empty()) return kExportFailed;
    std::vector<MAPIFolder*> selected = SelectFolders(options, loaded.folders);
    const SelectedKinds kinds = KindsOf(selected);
    const OptionMenuItem option{options.target->packing, options.format.value_or(options.target->defaultFormat), u""};
    const OptionSwitches switches = Switches(options, kinds, option);

    std::vector<std::unique_ptr<FolderExportItem>> items;
    std::vector<IExportItemMAPIFolder*> exportItems;
    for (MAPIFolder* folder : selected) {
        items.push_back(std::make_unique<FolderExportItem>(*folder));
        exportItems.push_back(items.back().get());
    }
    // --out plays the chosen folder: made when missing; a folder that cannot be made fails the run's writes.
    const std::string chosen = std::filesystem::absolute(options.out).lexically_normal().string();
    const auto choose = [&](std::u16string_view, std::u16string_view) -> std::optional<std::string> {
        std::error_code ignored;
        std::filesystem::create_directories(chosen, ignored);
        return chosen;
    };
    std::optional<PreparedExport> prepared =
        StartExport(std::move(exportItems), option, switches, kinds, choose,
                    platform::shipped_file_path("archive-package"), std::time(nullptr));

    RuzorizUvezazExportAgent agent(prepared->settings, *prepared->files, StandardExportServices(options.zone));
    std::unique_ptr<TerminalProgress> bar;
    SilentProgressPresenter silent;
    if (progress && progressWidth > 0 && !options.quiet)
        bar = std::make_unique<TerminalProgress>(*progress, progressWidth);
    IProgressPresenter& presenter = bar ? static_cast<IProgressPresenter&>(*bar) : silent;
    presenter.setCancelable(&agent);
    StringLogger log;
    ExportResult result;
    {
        CancelOnInterrupt interrupt(agent);
        result = agent.DoExportWithProgressPresenter(presenter, nullptr, log);
    }
    if (bar) bar->Finish();
    presenter.setCancelable(nullptr);

    const auto [first, second] = ReportFooters(prepared->settings);
    out << Printable(log.getLogString()) << "\n" << Printable(first) << "\n" << Printable(second) << "\n";
    return loaded.failed ? kExportFailed : result.ResultCode;
}

std::size_t TerminalWidth() {
    if (!::isatty(STDERR_FILENO)) return 0;
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

}  // namespace

int RunConvertCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    return RunConvertCommand(args, out, err, platform::standard_settings(), &std::cerr, TerminalWidth());
}

int RunConvertCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                      const platform::settings_store& settings, std::ostream* progress, std::size_t progressWidth) {
    try {
        return Convert(ParseOptions(args), out, err, settings, progress, progressWidth);
    } catch (const UsageError& usage) {
        if (!usage.message.empty()) err << "mailferry convert: " << usage.message << "\n";
        err << CommandUsage("convert");
        return kConvertUsageError;
    } catch (const std::exception& error) {
        // What the run cannot even start without (the platform's date formatter, memory).
        err << "mailferry convert: " << error.what() << "\n";
        return kExportFailed;
    }
}

}  // namespace mailferry
