#include "export/mail_folder_exporters.h"

#include <stdexcept>

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
#include "writers/mbox_split.h"

namespace mailferry {

namespace rt = report_text;

namespace {

// Bounds the search for a free part name; a folder never holds that many parts.
constexpr int kMaxParts = 1000000;

std::unique_ptr<MailItemWriter> MakeWriter(ExportRun& run, MAPIFolder& folder, bool mboxMode) {
    PSTSession* session = folder.ownerStore() ? folder.ownerStore()->ownerSession() : nullptr;
    if (!session) throw std::runtime_error("the folder belongs to no PST file");
    if (!run._services.mailWriters) throw std::runtime_error("no mail writer");
    return run._services.mailWriters(MailWriterOptions{mboxMode, session, run.Context()});
}

std::u16string MailItemText(const Message& item) {
    return rt::Format(rt::kMailItem, {item.senderName(), item.sentOn(), item.subject()});
}

}  // namespace

void MboxFolderExporter::SetUp() {
    const _ExportSettings& settings = _run._settings;
    platform::file_system& files = _run._files;
    _folderPath = settings.MailsOutputFolderPath;
    if (settings.PreserveFolderHierarchy) {
        if (settings.ExportPacking == kApplePacking)
            _folderPath = AppleMailboxLayout(files, _folderPath, _folder, _run._lastPSTSuffix);
        else if (settings.ExportPacking == kThunderbirdPacking)
            _folderPath = ThunderbirdLayout(files, _folderPath, _folder, _run._lastPSTSuffix);
        else
            _folderPath = PlainLayout(files, _folderPath, _folder, _run._lastPSTSuffix);
    }
    if (settings.ReadUnreadSeparated) {
        OpenMailbox(_read, JoinPath(_folderPath, "Read Mails.mbox"));
        OpenMailbox(_unread, JoinPath(_folderPath, "Unread Mails.mbox"));
    } else {
        const std::string name = platform::path_of_text(SafeName(_folder.folderName()));
        if (settings.ExportPacking == kThunderbirdPacking)
            OpenMailbox(_read, JoinPath(_folderPath, name));
        else if (settings.ExportPacking == kApplePacking)
            OpenMailbox(_read, JoinPath(_folderPath, "mbox"));
        else
            OpenMailbox(_read, JoinPath(_folderPath, name + ".mbox"));
    }
    _writer = MakeWriter(_run, _folder, true);
}

void MboxFolderExporter::OpenMailbox(Mailbox& mailbox, std::string path) {
    mailbox.file = OpenAppend(path);
    mailbox.path = std::move(path);
}

void MboxFolderExporter::ExportItem(Message& item) {
    Announce(MailItemText(item));
    const _ExportSettings& settings = _run._settings;
    Mailbox& mailbox = settings.ReadUnreadSeparated && !item.isRead() ? _unread : _read;
    if (settings.ExportPacking == kSeparateFilesPacking &&
        MboxNeedsSplit(mailbox.file->Length(), item.messageSize(), settings.MaxMBOXSizeInMB))
        SplitFile(mailbox);
    AppendItem(*mailbox.file, [&](OutputFile& file) { _writer->Write(file, item.GetMessage()); });
}

void MboxFolderExporter::SplitFile(Mailbox& mailbox) {
    platform::file_system& files = _run._files;
    mailbox.file->Close();
    // Part names already taken (by a sibling folder of the same name) are stepped over, never renamed over.
    if (mailbox.partCounter == 0) {
        int first = 0;
        while (first < kMaxParts && files.exists(MboxPartPath(mailbox.path, first))) ++first;
        if (files.rename(mailbox.path, MboxPartPath(mailbox.path, first)))
            platform::log_diagnostic(rt::kSplitRenameFailed);
        mailbox.partCounter = first;
    }
    ++mailbox.partCounter;
    while (mailbox.partCounter < kMaxParts && files.exists(MboxPartPath(mailbox.path, mailbox.partCounter)))
        ++mailbox.partCounter;
    const std::string partPath = MboxPartPath(mailbox.path, mailbox.partCounter);
    std::error_code error;
    auto handle = files.open_append(partPath, error);
    if (!handle) platform::log_diagnostic(rt::kSplitOpenFailed);
    mailbox.file = std::make_unique<OutputFile>(partPath, std::move(handle));
}

void MboxFolderExporter::CloseFiles() {
    bool failed = false;
    for (Mailbox* mailbox : {&_read, &_unread}) {
        if (!mailbox->file) continue;
        try {
            mailbox->file->Close();
        } catch (const OutputError&) {
            failed = true;
        }
    }
    if (failed) throw OutputError("output file cannot be written");
}

std::u16string_view MboxFolderExporter::KindWord() const {
    return rt::kEmailsWord;
}

void MboxFolderExporter::LogSkippedItem(Message* item, const std::exception& error) {
    // A message the writer failed on keeps its own diagnostic, which names it.
    if (item && dynamic_cast<const std::runtime_error*>(&error)) {
        platform::log_diagnostic(rt::Format(
            rt::kMailWriterError, {error.what(), platform::path_of_text(item->senderName()),
                                   platform::path_of_text(item->sentOn()), platform::path_of_text(item->subject())}));
        return;
    }
    FolderExporter::LogSkippedItem(item, error);
}

void EmlFolderExporter::SetUp() {
    const _ExportSettings& settings = _run._settings;
    _folderPath = settings.MailsOutputFolderPath;
    if (settings.PreserveFolderHierarchy)
        _folderPath = PlainLayout(_run._files, _folderPath, _folder, _run._lastPSTSuffix);
    _readFolder = _unreadFolder = _folderPath;
    if (settings.ReadUnreadSeparated) {
        _readFolder = JoinPath(_folderPath, "Read Mails");
        _unreadFolder = JoinPath(_folderPath, "Unread Mails");
        (void)_run._files.create_directory(_readFolder);
        (void)_run._files.create_directory(_unreadFolder);
    }
    _writer = MakeWriter(_run, _folder, false);
}

void EmlFolderExporter::ExportItem(Message& item) {
    Announce(MailItemText(item));
    const std::string& folder = _run._settings.ReadUnreadSeparated && !item.isRead() ? _unreadFolder : _readFolder;
    WriteItemFile(folder, SafeText(item.subject()), ".eml",
                  [&](OutputFile& file) { _writer->Write(file, item.GetMessage()); });
}

std::u16string_view EmlFolderExporter::KindWord() const {
    return rt::kEmailsWord;
}

}  // namespace mailferry
