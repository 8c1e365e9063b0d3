#pragma once
// export_fixture.h: what the export tests share — an output folder per test, stores written by pstwrite and
// opened as sessions, a presenter that records the labels it is shown (and presses Cancel when told), the
// diagnostic lines of a run, a stand-in mail writer with short, predictable output that fails on purpose, and a
// file system whose writes fail past a size.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "export/export_agent.h"
#include "export/export_interfaces.h"
#include "export/folder_selection.h"
#include "export/mail_item_writer.h"
#include "platform/file_system.h"
#include "platform/path_text.h"
#include "pstcore/messaging/message.h"
#include "session/mapi_folder.h"
#include "session/message_store.h"
#include "session/session_fixture.h"
#include "support/test_helpers.h"

namespace mftest {

class RecordingPresenter final : public mailferry::SilentProgressPresenter {
public:
    void updateOverallItemsLabel(std::u16string_view label) override {
        itemLabels.emplace_back(label);
        if (cancelAfterItems && cancelable() && label.starts_with(u"Total Progress : ") &&
            label.substr(17).starts_with(mailferry::platform::text_of_path(std::to_string(*cancelAfterItems) + " ")))
            cancelable()->Cancel();
    }

    std::vector<std::u16string> itemLabels;
    std::optional<int> cancelAfterItems;  // presses Cancel once this many items are written
};

// MBOX: "From - <subject>\n" and a line; EML: "Subject: <subject>\r\n\r\n". A subject starting "Fail" throws
// after writing part of the message; a stored size (0x0E08) of 100,000 or more (only tests set one so large)
// adds that many filler bytes first.
class StandInMailWriter final : public mailferry::MailItemWriter {
public:
    explicit StandInMailWriter(bool mbox) : _mbox(mbox) {}
    void Write(mailferry::OutputSink& out, pstcore::message& message) override {
        const std::wstring wide = message.has_subject() ? message.get_subject() : std::wstring();
        std::string subject;
        for (wchar_t c : wide) subject.push_back(c < 0x80 ? static_cast<char>(c) : '?');
        out.Append(_mbox ? "From - " + subject + "\n" : "Subject: " + subject + "\r\n\r\n");
        const std::int32_t size = message.size() >= 100000 ? message.size() : 0;
        for (std::int32_t left = size; left > 0; left -= 1000) out.Append(std::string(std::min(left, 1000), 'x'));
        if (subject.starts_with("Fail")) throw std::runtime_error("stand-in failure");
        out.Append(_mbox ? "body\n\n" : "body\r\n");
    }

private:
    bool _mbox;
};

inline mailferry::MailWriterFactory StandInWriters() {
    return [](const mailferry::MailWriterOptions& options) {
        return std::make_unique<StandInMailWriter>(options.mboxMode);
    };
}

// The real file system, except that writes to files whose path ends in `suffix` fail once the file would grow
// past `limit` bytes (what reaches the file before that stays, as with a full disk).
class FailingFileSystem final : public mailferry::platform::file_system {
public:
    FailingFileSystem(std::unique_ptr<mailferry::platform::file_system> real, std::string suffix, std::uint64_t limit)
        : _real(std::move(real)), _suffix(std::move(suffix)), _limit(limit) {}

    std::unique_ptr<mailferry::platform::writable_file> open_append(const std::string& path,
                                                                    std::error_code& error) override {
        return Wrap(path, _real->open_append(path, error));
    }
    std::unique_ptr<mailferry::platform::writable_file> create_exclusive(const std::string& path,
                                                                         std::error_code& error) override {
        return Wrap(path, _real->create_exclusive(path, error));
    }
    bool exists(const std::string& path) override { return _real->exists(path); }
    std::error_code create_directory(const std::string& path) override { return _real->create_directory(path); }
    std::error_code create_directories(const std::string& path) override { return _real->create_directories(path); }
    std::error_code rename(const std::string& from, const std::string& to) override { return _real->rename(from, to); }
    std::error_code remove(const std::string& path) override { return _real->remove(path); }
    std::error_code copy_in(const std::string& source, const std::string& destination) override {
        return _real->copy_in(source, destination);
    }

private:
    class LimitedFile final : public mailferry::platform::writable_file {
    public:
        LimitedFile(std::unique_ptr<mailferry::platform::writable_file> real, std::uint64_t limit)
            : _real(std::move(real)), _limit(limit) {}
        std::error_code write(std::string_view bytes) override {
            const std::uint64_t room = _limit > _real->size() ? _limit - _real->size() : 0;
            if (bytes.size() <= room) return _real->write(bytes);
            (void)_real->write(bytes.substr(0, static_cast<std::size_t>(room)));
            return std::make_error_code(std::errc::file_too_large);
        }
        std::error_code truncate(std::uint64_t length) override { return _real->truncate(length); }
        std::uint64_t size() const override { return _real->size(); }

    private:
        std::unique_ptr<mailferry::platform::writable_file> _real;
        std::uint64_t _limit;
    };

    std::unique_ptr<mailferry::platform::writable_file> Wrap(const std::string& path,
                                                             std::unique_ptr<mailferry::platform::writable_file> file) {
        if (!file || !path.ends_with(_suffix)) return file;
        return std::make_unique<LimitedFile>(std::move(file), _limit);
    }

    std::unique_ptr<mailferry::platform::file_system> _real;
    std::string _suffix;
    std::uint64_t _limit;
};

// Every entry below `folder`, relative, folders marked with a trailing "/".
inline std::set<std::string> Listing(const std::filesystem::path& folder) {
    std::set<std::string> entries;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        entries.insert(std::filesystem::relative(entry.path(), folder).string() + (entry.is_directory() ? "/" : ""));
    return entries;
}

class ExportTest : public SessionTest {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        m_settings = settings("defaultCodePage=1252\n");
        m_out = m_dir / "out";
        std::filesystem::create_directories(m_out);
    }

    // Opens a store written to `name` (a path relative to the test folder).
    std::shared_ptr<mailferry::PSTSession> OpenStore(const std::vector<std::byte>& bytes,
                                                     const std::string& name = "store.pst") {
        std::filesystem::create_directories((m_dir / name).parent_path());
        auto session = std::make_shared<mailferry::PSTSession>(write_pst(bytes, name), *m_settings);
        m_sessions.push_back(session);
        return session;
    }

    // The tree folders of the session whose path is `path` or lies below it.
    std::vector<mailferry::MAPIFolder*> Folders(mailferry::PSTSession& session, std::u16string_view path = u"") {
        std::vector<mailferry::MAPIFolder*> all, chosen;
        mailferry::CollectTreeFolders(session.GetRootStore().GetSubTreeFolder(), all);
        for (auto* folder : all)
            if (path.empty() || mailferry::FolderPathSelects(path, folder->fullFolderPath())) chosen.push_back(folder);
        return chosen;
    }

    // Settings for a target in the output folder, as the separate-files set-up makes them.
    mailferry::_ExportSettings Settings(std::int32_t packing, std::int32_t format,
                                        const std::vector<mailferry::MAPIFolder*>& folders) {
        mailferry::_ExportSettings settings;
        settings.ExportPacking = packing;
        settings.MailFormat = format;
        settings.OutputFolderPath = settings.MailsOutputFolderPath = settings.ContactsOutputFolderPath =
            settings.CalendarOutputFolderPath = m_out.string();
        settings.ExtendedLogReportPath = (m_out / "log.txt").string();
        m_items.clear();
        for (auto* folder : folders) m_items.push_back(std::make_unique<mailferry::FolderExportItem>(*folder));
        for (auto& item : m_items) settings.ExportItems.push_back(item.get());
        return settings;
    }

    // Runs one export through `files` (the output folder's own file system when null).
    mailferry::ExportResult Run(mailferry::_ExportSettings& settings,
                                mailferry::platform::file_system* files = nullptr) {
        auto own = mailferry::platform::open_output_root(m_out.string());
        mailferry::ExportServices services;
        services.zone = mailferry::time_zone::gmt();
        services.now = [] { return std::int64_t{1700000000}; };
        services.mailWriters = StandInWriters();
        mailferry::RuzorizUvezazExportAgent agent(settings, files ? *files : *own, services);
        m_presenter.setCancelable(&agent);
        m_log = mailferry::StringLogger();
        const mailferry::ExportResult result = agent.DoExportWithProgressPresenter(m_presenter, nullptr, m_log);
        m_presenter.setCancelable(nullptr);
        return result;
    }

    std::string Log() const { return mailferry::platform::path_of_text(m_log.getLogString()); }

    std::filesystem::path m_out;
    captured_log m_diagnostics_log;
    RecordingPresenter m_presenter;
    mailferry::StringLogger m_log;
    std::vector<std::shared_ptr<mailferry::PSTSession>> m_sessions;
    std::vector<std::unique_ptr<mailferry::FolderExportItem>> m_items;
};

}  // namespace mftest
