#include "export/targets.h"

#include "export/output_naming.h"
#include "platform/path_text.h"

namespace mailferry {

namespace {

constexpr std::u16string_view kSaveButton = u"Save";
constexpr std::u16string_view kAskExported = u"Select a folder to save exported data:";
constexpr std::u16string_view kAskConverted = u"Select a folder to save converted data:";

// Makes a folder below the chosen one under a name no entry has yet.
std::string CreateUnique(platform::file_system& files, const std::string& folder, std::string_view base) {
    const std::string path = UniquePath(files, folder, base);
    (void)files.create_directory(path);
    return path;
}

// Apple and Thunderbird: each kind gets its own top folder beside the others.
void SetUpKindFolders(_ExportSettings& settings, platform::file_system& files, const std::string& chosen,
                      const SelectedKinds& kinds) {
    if (kinds.mails || kinds.calendar) settings.MailsOutputFolderPath = CreateUnique(files, chosen, "Mails");
    if (kinds.contacts) settings.ContactsOutputFolderPath = CreateUnique(files, chosen, "Contacts");
    if (kinds.calendar) settings.CalendarOutputFolderPath = CreateUnique(files, chosen, "Calendar Events");
}

// The package's three parts are our own files; no public description of the archive format exists.
void WritePackageParts(platform::file_system& files, const std::string& package,
                       const std::filesystem::path& resources) {
    (void)files.copy_in((resources / "Archive.xml").string(), JoinPath(package, "Archive.xml"));
    const std::string contents = JoinPath(package, "Contents");
    (void)files.create_directory(contents);
    (void)files.copy_in((resources / "Contents" / "Info.plist").string(), JoinPath(contents, "Info.plist"));
    (void)files.copy_in((resources / "Contents" / "PkgInfo").string(), JoinPath(contents, "PkgInfo"));
}

}  // namespace

std::vector<OptionMenuItem> BuildConvertMenu(const SelectedKinds& kinds) {
    const bool mails = kinds.mails, contacts = kinds.contacts, calendar = kinds.calendar;
    const bool mailOutput = mails || calendar;  // calendar export writes a mailbox of references too
    const bool any = mails || contacts || calendar;
    std::vector<OptionMenuItem> options;

    std::u16string apple = u"Apple ";
    if (mailOutput) apple += u"Mail";
    if (contacts) apple += mailOutput ? u", Address Book" : u"Address Book";
    if (calendar) apple += u", Calendar (iCal)";
    options.push_back({kApplePacking, kMboxFormat, apple});

    if (any) options.push_back({kArchivePacking, kMboxFormat, u"Microsoft Outlook 2011/Entourage Archive"});

    std::u16string extras;
    if (contacts) extras += u", *.vcf";
    if (calendar) extras += u", *.ics";
    if (mailOutput) options.push_back({kThunderbirdPacking, kEmlFormat, u"Thunderbird/Postbox Emails" + extras});
    if (any) options.push_back({kSeparateFilesPacking, kMboxFormat, mailOutput ? u"*.mbox" + extras : u"*.vcf"});
    if (mailOutput) options.push_back({kSeparateFilesPacking, kEmlFormat, u"*.eml" + extras});
    return options;
}

void ApplySwitchRules(const SelectedKinds& kinds, const OptionMenuItem* option, OptionSwitches& switches) {
    const bool separate = option && option->packingType == kSeparateFilesPacking;
    switches.saveReadUnreadEnabled = kinds.mails && separate;
    switches.mergeContactsEnabled = kinds.contacts && separate;
    switches.mergeCalendarEventsEnabled = kinds.calendar && separate;
    switches.splitMBOXFilesEnabled = (kinds.mails || kinds.calendar) && separate && option->mailFormat == kMboxFormat;
}

_ExportSettings FillExportSettings(const OptionMenuItem& option, const OptionSwitches& switches,
                                   std::vector<IExportItemMAPIFolder*> items) {
    _ExportSettings settings;
    settings.ExportPacking = option.packingType;
    settings.MailFormat = option.mailFormat;
    settings.MergeContacts = switches.mergeContactsEnabled && switches.mergeContacts;
    settings.MergeCalendarEvents = switches.mergeCalendarEventsEnabled && switches.mergeCalendarEvents;
    settings.MaxMBOXSizeInMB = switches.splitMBOXFiles ? switches.maxMBOXSize : 0;
    settings.PreserveFolderHierarchy = true;
    settings.ReadUnreadSeparated = switches.saveReadUnreadEnabled && switches.saveReadUnread;
    settings.ExportItems = std::move(items);
    settings.ExportAction = 1;
    return settings;
}

std::optional<PreparedExport> StartExport(std::vector<IExportItemMAPIFolder*> items, const OptionMenuItem& option,
                                          const OptionSwitches& switches, const SelectedKinds& kinds,
                                          const ChooseOutputFolder& chooseOutputFolder,
                                          const std::filesystem::path& resources, std::time_t now) {
    PreparedExport prepared{FillExportSettings(option, switches, std::move(items)), nullptr};
    _ExportSettings& settings = prepared.settings;
    const std::int32_t packing = settings.ExportPacking;
    if (packing == kApplePacking || packing == kThunderbirdPacking) {
        settings.MaxMBOXSizeInMB = 0;
        settings.MergeContacts = true;
        settings.MergeCalendarEvents = true;
        settings.ReadUnreadSeparated = false;
    } else if (packing == kArchivePacking) {
        settings.MergeContacts = false;
        settings.MergeCalendarEvents = false;
        settings.ReadUnreadSeparated = false;
    }

    const std::optional<std::string> chosen =
        chooseOutputFolder(packing == kThunderbirdPacking ? kAskConverted : kAskExported, kSaveButton);
    if (!chosen) return std::nullopt;
    prepared.files = platform::open_output_root(*chosen);
    platform::file_system& files = *prepared.files;

    settings.OutputFolderPath = *chosen;
    if (packing == kApplePacking || packing == kThunderbirdPacking) {
        SetUpKindFolders(settings, files, *chosen, kinds);
    } else if (packing == kArchivePacking) {
        const std::string package = UniquePath(files, *chosen, "Outlook PST Export", "rge");
        (void)files.create_directories(package);
        settings.OutputFolderPath = package;
        settings.MailsOutputFolderPath = JoinPath(package, "Mail");
        settings.ContactsOutputFolderPath = JoinPath(package, "Contacts");
        settings.CalendarOutputFolderPath = JoinPath(package, "Calendar");
        for (const std::string* folder :
             {&settings.MailsOutputFolderPath, &settings.ContactsOutputFolderPath, &settings.CalendarOutputFolderPath})
            (void)files.create_directory(*folder);
        WritePackageParts(files, package, resources);
    } else {
        settings.MailsOutputFolderPath = settings.ContactsOutputFolderPath = settings.CalendarOutputFolderPath =
            *chosen;
    }
    // Beside the output (for the archive, beside the package).
    settings.ExtendedLogReportPath = ExtendedLogFileName(files, *chosen, now);
    return prepared;
}

std::pair<std::u16string, std::u16string> ReportFooters(const _ExportSettings& settings) {
    std::u16string_view first, second;
    switch (settings.ExportPacking) {
        case kArchivePacking:
            first = u"Exported RGE Archive is available at following path:\n";
            second = u"A Detailed Log Report is available at  following path:\n";
            break;
        case kApplePacking:
            first = u"Converted data is available at following path:\n";
            second = u"An Detailed Log Report is available at  following path:\n";
            break;
        case kThunderbirdPacking:
            first = u"Converted Thunderbird Email Database is available at following path:\n";
            second = u"A Detailed Log Report is available at  following path:\n";
            break;
        default:
            first = u"Exported items are available at following path:\n";
            second = u"An Detaild Log Report is available at following path:\n";
            break;
    }
    return {std::u16string(first) + platform::text_of_path(settings.OutputFolderPath),
            std::u16string(second) + platform::text_of_path(settings.ExtendedLogReportPath)};
}

}  // namespace mailferry
