#pragma once
// mail_folder_exporters.h: the two exporters of mail folders. MBOX: one mailbox file per folder (two with read
// and unread mail apart), laid out for the target, split into parts for the separate-files target when a size
// limit is set. EML: one file per message, named after its subject, in the folder's own folder.

#include <memory>
#include <string>

#include "export/folder_exporter.h"

namespace mailferry {

class MboxFolderExporter final : public FolderExporter {
public:
    using FolderExporter::FolderExporter;

private:
    struct Mailbox {
        std::string path;  // the name the file started with; its parts are named after it
        std::unique_ptr<OutputFile> file;
        int partCounter = 0;
    };

    void SetUp() override;
    void ExportItem(Message& item) override;
    void CloseFiles() override;
    std::string OutputLocation() const override { return _folderPath; }
    std::u16string_view KindWord() const override;
    void LogSkippedItem(Message* item, const std::exception& error) override;
    void StoreCount(std::uint32_t written) override { _result.MailCount = written; }

    void OpenMailbox(Mailbox& mailbox, std::string path);
    // Renames the file to its part 0 (when it has no parts yet) and goes on in the next part.
    void SplitFile(Mailbox& mailbox);

    std::string _folderPath;
    Mailbox _read;    // all mail, or the read mail
    Mailbox _unread;  // unread mail when read and unread are kept apart
    std::unique_ptr<MailItemWriter> _writer;
};

class EmlFolderExporter final : public FolderExporter {
public:
    using FolderExporter::FolderExporter;

private:
    void SetUp() override;
    void ExportItem(Message& item) override;
    void CloseFiles() override {}
    std::string OutputLocation() const override { return _folderPath; }
    std::u16string_view KindWord() const override;
    void StoreCount(std::uint32_t written) override { _result.MailCount = written; }

    std::string _folderPath;
    std::string _readFolder;
    std::string _unreadFolder;
    std::unique_ptr<MailItemWriter> _writer;
};

}  // namespace mailferry
