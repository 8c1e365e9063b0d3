#pragma once
// contact_calendar_exporters.h: the exporters of contact and calendar folders. Contacts become vCards: one file
// the whole run shares (Apple, Thunderbird), one file per folder or per contact (separate files), or the Outlook
// archive's numbered item files. Appointments become iCalendar events in the run's shared calendar file, a
// folder's calendar file, a file per event or the archive's numbered files; what an event cannot hold goes into
// a calendar reference mail (a mailbox, or an EML file each), which the event's description names. Both run on
// the item loop of FolderExporter: a failed item leaves nothing in any of its files.

#include <memory>
#include <string>
#include <vector>

#include "export/folder_exporter.h"
#include "writers/ical_writer.h"
#include "writers/vcard_writer.h"

namespace mailferry {

class VCardFolderExporter final : public FolderExporter {
public:
    using FolderExporter::FolderExporter;

private:
    void SetUp() override;
    void ExportItem(Message& item) override;
    void CloseFiles() override;
    std::string OutputLocation() const override { return _location; }
    std::u16string_view KindWord() const override;
    void LogSkippedItem(Message* item, const std::exception& error) override;
    void StoreCount(std::uint32_t written) override { _result.ContactCount = written; }

    std::string _location;
    std::unique_ptr<OutputFile> _merged;  // null: a file per contact
    std::unique_ptr<VCardWriter> _writer;
};

class ICalFolderExporter final : public FolderExporter {
public:
    using FolderExporter::FolderExporter;

private:
    void SetUp() override;
    void ExportItem(Message& item) override;
    void CloseFiles() override;
    std::string OutputLocation() const override { return _eventLocation; }
    std::u16string_view KindWord() const override;
    void LogSkippedItem(Message* item, const std::exception& error) override;
    void WriteSavedIn() override;
    void StoreCount(std::uint32_t written) override { _result.CalendarItemCount = written; }

    void SetUpSharedCalendar();
    // Writes the events of one appointment outside a shared calendar file; `created` receives the files made.
    void WriteEventFiles(const Message& item, const std::vector<std::string>& texts, std::vector<std::string>& created);

    std::string _eventLocation;                     // where the events go
    std::string _referenceLocation;                 // where the reference mails go
    std::u16string _noteLocation;                   // how the events' notes name that place
    std::unique_ptr<OutputFile> _calendar;          // null: a file per event
    bool _endsCalendar = false;                     // the folder's own calendar file gets its end here
    std::unique_ptr<OutputFile> _referenceMailbox;  // null: an EML file per reference mail
    std::unique_ptr<ICalWriter> _writer;
};

}  // namespace mailferry
