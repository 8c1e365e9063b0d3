#include "export/folder_exporter.h"

#include <array>

#include "export/output_naming.h"
#include "export/report_text.h"
#include "platform/diagnostic_log.h"
#include "platform/file_system.h"
#include "platform/path_text.h"
#include "pstcore/ndb/exceptions.h"
#include "session/mapi_folder.h"
#include "session/message.h"

namespace mailferry {

namespace rt = report_text;

namespace {
// Enough to step past every name a folder can already hold.
constexpr int kMaxNameTries = 1000000;
constexpr std::u16string_view kFallbackStem = u"--------";
}  // namespace

bool IsDamagedFileIndex(const std::exception& error) {
    if (dynamic_cast<const pstcore::unexpected_page*>(&error)) return true;
    if (!dynamic_cast<const pstcore::database_corrupt*>(&error)) return false;
    // The reader's texts for a B-tree page that fails its checks.
    static constexpr std::array<std::string_view, 3> kPageFailures{"page sig mismatch", "ptype != ptype repeat?",
                                                                   "page entry count exceeds page"};
    const std::string_view what = error.what();
    for (const std::string_view failure : kPageFailures)
        if (what == failure) return true;
    return false;
}

FolderExporter::FolderExporter(ExportRun& run, MAPIFolder& folder, IProgressPresenter& progressPresenter,
                               ILogger& logger)
    : _run(run), _folder(folder), _progressPresenter(progressPresenter), _logger(logger) {}

FolderExporter::~FolderExporter() = default;

ExportResult FolderExporter::Export() {
    _result = ExportResult{};
    _result.ResultCode = _run.Canceled() ? kExportCancelled : kExportSucceeded;
    SetUp();
    _progressPresenter.updateCurrentProgressLabel(rt::Format(rt::kProcessingFolder, {_folder.folderName()}));
    if (_result.ResultCode == kExportSucceeded) RunItemLoop();
    try {
        CloseFiles();
    } catch (const OutputError&) {
        _result.ResultCode = kExportFailed;
    }
    StoreCount(_processed);
    WriteClosingLines();
    return _result;
}

void FolderExporter::RunItemLoop() {
    const std::int64_t count = _folder.contentCount();
    std::uint32_t position = 0;
    // Bounded by the contents table: every call moves the cursor one row, whether the item can be read or not.
    while (_result.ResultCode == kExportSucceeded) {
        std::unique_ptr<Message> item;
        try {
            item = _folder.QueryMessage();
            if (!item) break;
            ExportItem(*item);
            ++_run._numberOfItemsExported;
            ++_processed;
        } catch (const OutputError&) {
            _result.ResultCode = kExportFailed;
        } catch (const std::exception& error) {
            if (IsDamagedFileIndex(error)) throw;
            SkipItem(item.get(), error);
            // A cancel is noticed after a skipped item too, so a run of damaged items cannot hold it off.
            if (_run.Canceled()) _result.ResultCode = kExportCancelled;
            continue;
        }
        _run.UpdateProgressPresenter(_progressPresenter, position++, count);
        if (_run.Canceled() && _result.ResultCode == kExportSucceeded) _result.ResultCode = kExportCancelled;
    }
}

void FolderExporter::SkipItem(Message* item, const std::exception& error) {
    _run._logFile.Write(rt::kItemSkipped);
    LogSkippedItem(item, error);
    ++_skipped;
}

void FolderExporter::LogSkippedItem(Message*, const std::exception&) {
    platform::log_diagnostic(rt::kCorruptMessage);
}

void FolderExporter::WriteClosingLines() {
    const std::u16string processed = rt::Format(rt::kProcessedItems, {rt::Number(_processed), u""});
    _logger.WriteLog(processed);
    _run._logFile.Write(std::u16string(u"\r\n").append(rt::kSeparatorLine));
    _run._logFile.Write(processed);
    if (_skipped > 0) WriteLine(rt::Format(rt::kCorruptItems, {KindWord(), rt::Number(_skipped)}));
    if (_result.ResultCode == kExportFailed)
        WriteLine(rt::Format(rt::kFolderFailed, {rt::kFileStreamFail}));
    else
        WriteSavedIn();
    if (_skipped > 0 && _result.ResultCode == kExportSucceeded) _result.ResultCode = kExportSucceededWithErrors;
}

void FolderExporter::WriteSavedIn() {
    WriteLine(rt::Format(rt::kSavedIn, {platform::text_of_path(OutputLocation())}));
}

void FolderExporter::Announce(std::u16string_view text) {
    _progressPresenter.updateProgressMessage(text);
    _run._logFile.Write(std::u16string(text).append(rt::kItemLogEnd));
}

void FolderExporter::WriteLine(std::u16string_view text) {
    _logger.WriteLog(text);
    _run._logFile.Write(text);
}

std::unique_ptr<OutputFile> FolderExporter::OpenAppend(const std::string& path) {
    std::error_code error;
    auto file = _run._files.open_append(path, error);
    if (!file) platform::log_diagnostic(rt::Format(rt::kFileOpeningFailed, {path}));
    return std::make_unique<OutputFile>(path, std::move(file));
}

void FolderExporter::AppendItem(OutputFile& file, const std::function<void(OutputFile&)>& write) {
    const std::uint64_t start = file.Length();
    try {
        write(file);
        // Each item reaches the disk before it counts, so a full disk fails the item it happened in.
        file.Flush();
    } catch (...) {
        file.TruncateTo(start);
        throw;
    }
}

void FolderExporter::WriteItemFile(const std::string& folder, std::u16string_view stem, std::string_view extension,
                                   const std::function<void(OutputFile&)>& write) {
    std::string path;
    std::unique_ptr<platform::writable_file> handle;
    // A name already taken (a sibling folder of the same name wrote there) moves on to the next number, so no
    // two items ever share a file.
    auto create = [&](std::u16string_view name) {
        std::error_code error;
        for (int tries = 0; tries < kMaxNameTries; ++tries) {
            path = JoinPath(folder,
                            platform::path_of_text(name) + "_" + std::to_string(_fileCounter) + std::string(extension));
            handle = _run._files.create_exclusive(path, error);
            if (handle || error != std::errc::file_exists) return;
            ++_fileCounter;
        }
    };
    create(stem);
    if (!handle) {
        platform::log_diagnostic(rt::Format(rt::kFileOpeningFailed, {path}));
        create(kFallbackStem);
        if (!handle) platform::log_diagnostic(rt::Format(rt::kFileOpeningFailed, {path}));
    }
    ++_fileCounter;
    const bool created = handle != nullptr;
    auto file = std::make_unique<OutputFile>(path, std::move(handle));
    try {
        write(*file);
        file->Close();
    } catch (...) {
        file.reset();
        if (created) (void)_run._files.remove(path);
        throw;
    }
}

void FolderExporter::AppendItemFile(const std::string& path, const std::function<void(OutputFile&)>& write) {
    const bool existed = _run._files.exists(path);
    std::unique_ptr<OutputFile> file = OpenAppend(path);
    try {
        AppendItem(*file, write);
        file->Close();
    } catch (...) {
        file.reset();
        if (!existed) (void)_run._files.remove(path);
        throw;
    }
}

}  // namespace mailferry
