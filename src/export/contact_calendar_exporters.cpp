#include "export/contact_calendar_exporters.h"

#include <functional>
#include <optional>
#include <stdexcept>
#include <vector>

#include "export/folder_layouts.h"
#include "export/output_naming.h"
#include "export/report_text.h"
#include "platform/diagnostic_log.h"
#include "platform/file_system.h"
#include "platform/path_text.h"
#include "session/mapi_folder.h"
#include "session/message.h"
#include "session/message_store.h"
#include "session/pst_session.h"
#include "writers/ical_calendar.h"
#include "writers/ical_writer.h"
#include "writers/vcard_writer.h"

namespace mailferry {

namespace rt = report_text;

namespace {

constexpr std::string_view kMergedItemEnd = "\r\n\r\n";
constexpr std::u16string_view kImportedMails = u"[Imported Mails]/";

PSTSession& SessionOf(MAPIFolder& folder) {
    PSTSession* session = folder.ownerStore() ? folder.ownerStore()->ownerSession() : nullptr;
    if (!session) throw std::runtime_error("the folder belongs to no PST file");
    return *session;
}

// The archive's item file number `sequence` in `folder`. A run that has used up the eight digits cannot name
// another file: the item fails like a file that cannot be written.
std::string SequencePath(const std::string& folder, std::string_view prefix, std::int32_t sequence) {
    const std::optional<std::string> name = ArchiveSequenceName(prefix, sequence);
    if (!name) throw OutputError("no archive file name is left");
    return JoinPath(folder, *name);
}

// The folder's own output folder below `base`, or `base` itself when the tree is not rebuilt.
std::string OwnFolder(ExportRun& run, const std::string& base, const MAPIFolder& folder) {
    if (!run._settings.PreserveFolderHierarchy) return base;
    return PlainLayout(run._files, base, folder, run._lastPSTSuffix);
}

std::string LastComponent(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The reference mail's own file, made when the writer first writes to it: an appointment without one leaves no
// file behind.
class DeferredFile final : public OutputSink {
public:
    using Opener = std::function<std::unique_ptr<OutputFile>()>;
    explicit DeferredFile(Opener open) : _open(std::move(open)) {}
    void Append(std::string_view bytes) override {
        if (!_file) _file = _open();
        _file->Append(bytes);
    }
    OutputFile* File() { return _file.get(); }
    void Discard() { _file.reset(); }

private:
    Opener _open;
    std::unique_ptr<OutputFile> _file;
};

}  // namespace

// ---- contacts ----

void VCardFolderExporter::SetUp() {
    const _ExportSettings& settings = _run._settings;
    PSTSession& session = SessionOf(_folder);
    const std::int32_t packing = settings.ExportPacking;
    const VCardTarget target = packing == kArchivePacking ? VCardTarget::Archive
                               : packing == kApplePacking ? VCardTarget::Apple
                                                          : VCardTarget::Plain;
    _writer =
        std::make_unique<VCardWriter>(target, session.pstDefaultCodePage(), session.isUnicodePST(), _run.Context());
    _writer->LookUpNamedProperties(session.pstSession());

    _location = settings.ContactsOutputFolderPath;
    if (packing == kApplePacking || packing == kThunderbirdPacking) {
        _merged = OpenAppend(RunSharedPath(_run._files, _location, "Contacts", ".vcf", _run._mergeContactSuffixValue));
    } else if (packing == kSeparateFilesPacking) {
        _location = OwnFolder(_run, _location, _folder);
        if (settings.MergeContacts)
            _merged = OpenAppend(JoinPath(_location, platform::path_of_text(SafeName(_folder.folderName())) + ".vcf"));
    }
}

void VCardFolderExporter::ExportItem(Message& item) {
    Announce(rt::Format(rt::kContactItem, {item.subject()}));
    const auto card = [&](OutputFile& file) { _writer->WriteContact(file, item.GetMessage()); };
    if (_merged) {
        AppendItem(*_merged, [&](OutputFile& file) {
            card(file);
            file.Append(kMergedItemEnd);
        });
    } else if (_run._settings.ExportPacking == kArchivePacking) {
        AppendItemFile(SequencePath(_location, "OUTLOOKEXPORTEDADR", _run._contactSuffix), card);
        ++_run._contactSuffix;
    } else {
        WriteItemFile(_location, SafeText(item.subject()), ".vcf", card);
    }
}

void VCardFolderExporter::CloseFiles() {
    if (_merged) _merged->Close();
}

std::u16string_view VCardFolderExporter::KindWord() const {
    return rt::kContactsWord;
}

void VCardFolderExporter::LogSkippedItem(Message*, const std::exception&) {
    platform::log_diagnostic(rt::kCorruptContact);
}

// ---- appointments ----

void ICalFolderExporter::SetUp() {
    _ExportSettings& settings = _run._settings;
    platform::file_system& files = _run._files;
    PSTSession& session = SessionOf(_folder);
    const std::int32_t packing = settings.ExportPacking;
    // The archive names one file per appointment; its events never share one.
    if (packing == kArchivePacking) settings.MergeCalendarEvents = false;
    bool mailboxReferences = settings.MailFormat == kMboxFormat;
    const std::u16string folderName = SafeName(_folder.folderName());
    const std::string folderFile = platform::path_of_text(folderName);

    if (packing == kArchivePacking) {
        mailboxReferences = true;
        _eventLocation = settings.CalendarOutputFolderPath;
        _referenceLocation = OwnFolder(_run, settings.MailsOutputFolderPath, _folder);
        _referenceMailbox = OpenAppend(JoinPath(_referenceLocation, folderFile + ".mbox"));
        _noteLocation = std::u16string(kImportedMails) + folderName;
    } else if (packing == kSeparateFilesPacking) {
        const std::string own = OwnFolder(_run, settings.CalendarOutputFolderPath, _folder);
        if (settings.MergeCalendarEvents) {
            _eventLocation = own;
            _calendar = OpenAppend(JoinPath(own, "Calendar Events.ics"));
            _endsCalendar = true;
            try {
                WriteCalendarHeader(*_calendar, _run._services.zone);
            } catch (const OutputError&) {
                _result.ResultCode = kExportFailed;
            }
        } else {
            _eventLocation = JoinPath(own, "Events");
            (void)files.create_directory(_eventLocation);
        }
        if (mailboxReferences) {
            _referenceLocation = own;
            _referenceMailbox = OpenAppend(JoinPath(own, folderFile + ".mbox"));
            _noteLocation = folderName + u".mbox";
        } else {
            _referenceLocation = JoinPath(own, "Calendar References");
            (void)files.create_directory(_referenceLocation);
            _noteLocation = u"Calendar References Folder";
        }
    } else {
        SetUpSharedCalendar();
        const std::string& mails = settings.MailsOutputFolderPath;
        std::int32_t& suffix = _run._mergeCalendarMailRefSuffixValue;
        if (packing == kApplePacking) {
            // Apple Mail's mailbox form: a folder NAME.mbox holding the file "mbox".
            _referenceLocation = RunSharedPath(files, mails, "Calendar References", ".mbox", suffix);
            (void)files.create_directories(_referenceLocation);
            _referenceMailbox = OpenAppend(JoinPath(_referenceLocation, "mbox"));
            mailboxReferences = true;
        } else if (mailboxReferences) {
            // Thunderbird's mailbox form: a file without extension beside the other top mailboxes.
            _referenceLocation = RunSharedPath(files, mails, "Calendar References", "", suffix);
            _referenceMailbox = OpenAppend(_referenceLocation);
        } else {
            _referenceLocation = RunSharedPath(files, mails, "Calendar References", "", suffix);
            (void)files.create_directories(_referenceLocation);
        }
        _noteLocation = std::u16string(kImportedMails) + platform::text_of_path(LastComponent(_referenceLocation));
    }

    const WriterContext context = _run.Context();
    _writer = std::make_unique<ICalWriter>(
        session.pstSession(), session.pstDefaultCodePage(), context,
        MakeReferenceMailWriter(session.pstSession(), mailboxReferences, session.isUnicodePST(),
                                session.pstDefaultCodePage(), context));
}

// Apple and Thunderbird: one calendar file for the whole run. Its header comes with the first calendar folder,
// its end from the driver after the last one.
void ICalFolderExporter::SetUpSharedCalendar() {
    _eventLocation = _run._settings.CalendarOutputFolderPath;
    _run._calendarFileFullPath =
        RunSharedPath(_run._files, _eventLocation, "Calendar", ".ics", _run._mergeCalendarEventSuffixValue);
    _calendar = OpenAppend(_run._calendarFileFullPath);
    if (_run._extendedVCalendarScope) return;
    _run._extendedVCalendarScope = true;
    try {
        WriteCalendarHeader(*_calendar, _run._services.zone);
    } catch (const OutputError&) {
        _result.ResultCode = kExportFailed;
    }
}

void ICalFolderExporter::ExportItem(Message& item) {
    Announce(rt::Format(rt::kCalendarItem, {item.senderName(), item.subject()}));
    const CalendarReference reference = MakeCalendarReference(
        static_cast<std::uint32_t>(_run._refUID), static_cast<std::uint32_t>(_run._calendarSuffix), _noteLocation);
    DeferredFile referenceFile([&] {
        const std::u16string name = reference.subjectPrefix + u"-" + SafeText(item.subject()) + u".eml";
        return OpenAppend(JoinPath(_referenceLocation, platform::path_of_text(name)));
    });
    OutputSink* referenceSink = _referenceMailbox ? static_cast<OutputSink*>(_referenceMailbox.get()) : &referenceFile;

    // Nothing of an appointment that fails may stay: neither in the shared files nor as files of its own.
    const std::uint64_t calendarStart = _calendar ? _calendar->Length() : 0;
    const std::uint64_t mailboxStart = _referenceMailbox ? _referenceMailbox->Length() : 0;
    std::vector<std::string> created;
    bool referenceWritten = false;
    try {
        const AppointmentEvents events =
            _writer->WriteAppointment(item.GetMessage(), referenceSink, &reference, _calendar != nullptr, true);
        referenceWritten = events.referenceWritten;
        if (_calendar) {
            for (const std::string& text : events.texts) {
                _calendar->Append(text);
                _calendar->Append(kMergedItemEnd);
            }
            _calendar->Flush();
        } else {
            WriteEventFiles(item, events.texts, created);
        }
        if (_referenceMailbox) _referenceMailbox->Flush();
        if (OutputFile* file = referenceFile.File()) {
            created.push_back(file->Path());
            file->Close();
        }
    } catch (...) {
        if (_calendar) _calendar->TruncateTo(calendarStart);
        if (_referenceMailbox) _referenceMailbox->TruncateTo(mailboxStart);
        if (OutputFile* file = referenceFile.File()) created.push_back(file->Path());
        referenceFile.Discard();
        for (const std::string& path : created) (void)_run._files.remove(path);
        throw;
    }
    if (referenceWritten) ++_result.MailCount;
    ++_run._calendarSuffix;
}

void ICalFolderExporter::WriteEventFiles(const Message& item, const std::vector<std::string>& texts,
                                         std::vector<std::string>& created) {
    const auto calendar = [&](const std::string& text) {
        return [&](OutputFile& file) {
            WriteCalendarHeader(file, _run._services.zone);
            file.Append(text);
            WriteCalendarEnd(file);
        };
    };
    if (_run._settings.ExportPacking == kArchivePacking) {
        // Every text of the appointment, the master and its exceptions, goes into the one numbered file.
        const std::string path = SequencePath(_eventLocation, "OUTLOOKEXPORTEDCAL", _run._calendarSuffix);
        const bool existed = _run._files.exists(path);
        AppendItemFile(path, [&](OutputFile& file) {
            for (const std::string& text : texts) calendar(text)(file);
        });
        if (!existed) created.push_back(path);
        return;
    }
    for (const std::string& text : texts) {
        WriteItemFile(_eventLocation, SafeText(item.subject()), ".ics", [&](OutputFile& file) {
            created.push_back(file.Path());
            calendar(text)(file);
        });
    }
}

void ICalFolderExporter::CloseFiles() {
    bool failed = false;
    const auto close = [&failed](OutputFile& file) {
        try {
            file.Close();
        } catch (const OutputError&) {
            failed = true;
        }
    };
    if (_referenceMailbox) close(*_referenceMailbox);
    if (!_calendar) {
        if (failed) throw OutputError("output file cannot be written");
        return;
    }
    const bool written = _calendar->Length() > 0;
    close(*_calendar);
    // The folder's own calendar ends here. It is opened afresh: after a write failed, the file was cut back to
    // its last whole event, and the end may still fit where the failed event did not.
    if (_endsCalendar && written) {
        std::unique_ptr<OutputFile> end = OpenAppend(_calendar->Path());
        try {
            WriteCalendarEnd(*end);
            end->Close();
        } catch (const OutputError&) {
            failed = true;
        }
    }
    if (failed) throw OutputError("output file cannot be written");
}

std::u16string_view ICalFolderExporter::KindWord() const {
    return rt::kCalendarEventsWord;
}

void ICalFolderExporter::LogSkippedItem(Message*, const std::exception&) {
    platform::log_diagnostic(rt::kCorruptCalendarEvent);
}

void ICalFolderExporter::WriteSavedIn() {
    const std::u16string events = rt::Format(rt::kEventsSavedIn, {platform::text_of_path(_eventLocation)});
    const std::u16string references = rt::Format(rt::kReferencesSavedIn, {platform::text_of_path(_referenceLocation)});
    _logger.WriteLog(events);
    _logger.WriteLog(references);
    _run._logFile.Write(events);
    _run._logFile.Write(references);
}

}  // namespace mailferry
