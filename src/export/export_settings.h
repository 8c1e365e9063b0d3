#pragma once
// export_settings.h: the record that describes one conversion run (filled by a front end through targets.h,
// read by the export agent) and the result every run and every folder exporter returns. Plain values; the
// selected folders are borrowed and must outlive the run.

#include <cstdint>
#include <string>
#include <vector>

namespace mailferry {

class MAPIFolder;

// A selected folder as the front end holds it.
class IExportItemMAPIFolder {
public:
    virtual ~IExportItemMAPIFolder() = default;
    // The folder; null when the selection no longer has one (the element is then skipped).
    virtual MAPIFolder* getFolder() = 0;
};

// ExportPacking: the target.
enum ExportPackingValue : std::int32_t {
    kArchivePacking = 0,        // Outlook for Mac 2011 / Entourage archive package (".rge")
    kApplePacking = 1,          // Apple Mail, Address Book, Calendar
    kThunderbirdPacking = 2,    // Mozilla Thunderbird
    kSeparateFilesPacking = 3,  // plain files in one folder
};

// MailFormat.
enum MailFormatValue : std::int32_t { kEmlFormat = 0, kMboxFormat = 1 };

// The leading underscore is the record's established name.
struct _ExportSettings {
    std::string OutputFolderPath;  // paths are absolute, in the file system's own bytes (UTF-8)
    std::string MailsOutputFolderPath;
    std::string ContactsOutputFolderPath;
    std::string CalendarOutputFolderPath;
    std::string ExtendedLogReportPath;  // empty: no log file
    std::int32_t MailFormat = kMboxFormat;
    std::int32_t ExportPacking = kSeparateFilesPacking;
    std::vector<IExportItemMAPIFolder*> ExportItems;  // in export order; not owned, null elements are skipped
    bool ReadUnreadSeparated = false;
    bool PreserveFolderHierarchy = true;
    bool MergeContacts = false;
    bool MergeCalendarEvents = false;
    bool MergeTasks = false;           // never set; read by nothing
    bool MergeNotes = false;           // never set; read by nothing
    bool ExportEML = false;            // never set; read by nothing
    bool WriteBEContacts = false;      // never set; read by nothing
    std::int32_t MaxMBOXSizeInMB = 0;  // 0: MBOX files are not split
    std::int32_t ExportAction = 1;     // always 1: convert into a chosen folder
};

enum ExportResultCode : std::int32_t {
    kExportSucceeded = 0,
    kExportCancelled = 1,
    kExportFailed = 2,
    kExportSucceededWithErrors = 3,  // items were skipped
};

struct ExportResult {
    std::int32_t ResultCode = kExportSucceeded;
    std::uint32_t MailCount = 0;  // the calendar exporter counts its calendar reference mails here
    std::uint32_t ContactCount = 0;
    std::uint32_t CalendarItemCount = 0;
};

}  // namespace mailferry
