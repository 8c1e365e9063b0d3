#include "export/export_agent.h"

#include <chrono>
#include <filesystem>

#include "export/contact_calendar_exporters.h"
#include "export/mail_folder_exporters.h"
#include "export/output_naming.h"
#include "export/report_text.h"
#include "platform/diagnostic_log.h"
#include "platform/file_system.h"
#include "platform/path_text.h"
#include "pstcore/ndb/exceptions.h"
#include "session/mapi_folder.h"
#include "session/message_store.h"
#include "session/pst_session.h"
#include "writers/ical_calendar.h"

namespace mailferry {

namespace rt = report_text;

namespace {

// An output path of this many UTF-16 code units or more is refused before anything is written.
constexpr std::size_t kMaxOutputPath = 1025;

std::int64_t Now(const ExportServices& services) {
    if (services.now) return services.now();
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

PSTSession* SessionOf(const MAPIFolder& folder) {
    return folder.ownerStore() ? folder.ownerStore()->ownerSession() : nullptr;
}

}  // namespace

RuzorizUvezazExportAgent::RuzorizUvezazExportAgent(_ExportSettings& exportSettings, platform::file_system& files,
                                                   ExportServices services)
    : _run(exportSettings, files, std::move(services)) {}

void RuzorizUvezazExportAgent::Cancel() {
    _run._canceled.store(true, std::memory_order_relaxed);
}

void RuzorizUvezazExportAgent::UpdateProgressPresenterWithPresenter(IProgressPresenter& progressPresenter,
                                                                    std::uint32_t folderCount,
                                                                    std::int64_t sourceContentCount) {
    _run.UpdateProgressPresenter(progressPresenter, folderCount, sourceContentCount);
}

ExportResult RuzorizUvezazExportAgent::DoExportWithProgressPresenter(IProgressPresenter& progressPresenter,
                                                                     IExportItemHandler*, ILogger& logger) {
    _run._dates = std::make_unique<date_formatter>();
    _run._logFile.Open(_run._files, _run._settings.ExtendedLogReportPath);
    _run.Reset(Now(_run._services));

    ExportResult result;
    if (!CountItems(logger)) {
        result.ResultCode = kExportFailed;
    } else {
        progressPresenter.updateOverallItemsLabel(
            rt::Format(rt::kOverallItems, {rt::Number(static_cast<std::int64_t>(_run._totalItemsToExport))}));
        try {
            try {
                Walk(progressPresenter, logger, result);
            } catch (const pstcore::database_corrupt&) {
                // The calendar written so far stays readable.
                EndSharedCalendar();
                throw;
            }
            EndSharedCalendar();
            WriteTail(result, logger);
            progressPresenter.updateCurrentProgressLabel(u"");
            progressPresenter.updateCurrentProgressValue(0);
            progressPresenter.updateOverallFoldersLabel(u"");
            progressPresenter.updateOverallProgressValue(0);
            progressPresenter.updateOverallItemsLabel(u"");
        } catch (const pstcore::database_corrupt&) {
            // The counts of the folders done stay; the tail is not written.
            result.ResultCode = kExportFailed;
            WriteBoth(logger, rt::kSeparatorLine);
            WriteBoth(logger, rt::kCorruptPst);
        }
    }
    _run._logFile.Close();
    _run._dates.reset();
    return result;
}

bool RuzorizUvezazExportAgent::CountItems(ILogger& logger) {
    const std::u16string outputFolder = platform::text_of_path(_run._settings.OutputFolderPath);
    for (IExportItemMAPIFolder* item : _run._settings.ExportItems) {
        MAPIFolder* folder = item ? item->getFolder() : nullptr;
        if (!folder) continue;
        if (folder->contentCount() > 0) _run._totalItemsToExport += static_cast<std::uint64_t>(folder->contentCount());
        std::u16string path;
        for (const MAPIFolder* at = folder; at != nullptr; at = at->parentFolder())
            path.insert(0, u"/" + SafeName(at->folderName()));
        path.insert(0, outputFolder);
        if (path.size() >= kMaxOutputPath) {
            logger.WriteLog(rt::kPathTooLongHead);
            logger.WriteLog(rt::Format(rt::kPathTooLong, {path}));
            logger.WriteLog(rt::kPathTooLongAdvice);
            return false;
        }
    }
    return true;
}

void RuzorizUvezazExportAgent::Walk(IProgressPresenter& progressPresenter, ILogger& logger, ExportResult& run) {
    const _ExportSettings& settings = _run._settings;
    bool first = true;
    const PSTSession* lastSession = nullptr;
    const MessageStore* lastStore = nullptr;
    std::int64_t ordinal = 1;
    for (IExportItemMAPIFolder* item : settings.ExportItems) {
        MAPIFolder* folder = item ? item->getFolder() : nullptr;
        if (!folder) continue;
        const MessageStore* store = folder->ownerStore();
        PSTSession* session = SessionOf(*folder);
        if (first || session != lastSession) {
            WriteBoth(logger, rt::kSeparatorLine);
            WriteBoth(logger, session ? rt::Format(rt::kConvertingPst, {platform::text_of_path(session->pstFilePath())})
                                      : std::u16string(rt::kConvertingOutlook));
            if (!settings.MailsOutputFolderPath.empty()) {
                _run._lastPSTSuffix = -1;
                if (session) {
                    const std::string fileName = std::filesystem::path(session->pstFilePath()).filename().string();
                    _run._lastPSTSuffix =
                        CollisionSuffix(_run._files, JoinPath(settings.MailsOutputFolderPath, fileName));
                }
            }
        }
        if (first || store != lastStore) {
            logger.WriteLog(rt::kSeparatorLine);
            _run._logFile.Write(std::u16string(rt::kSeparatorLine).append(u"\r\n"));
        }

        progressPresenter.updateProgressMessage(rt::kQueryingContent);
        progressPresenter.updateCurrentProgressValue(-1);
        progressPresenter.updateCurrentProgressLabel(rt::Format(rt::kProcessingFolder, {folder->folderName()}));
        progressPresenter.updateOverallFoldersLabel(
            rt::Format(rt::kFoldersLabel,
                       {rt::Number(ordinal), rt::Number(static_cast<std::int64_t>(settings.ExportItems.size()))}));
        progressPresenter.setFilePath(session ? session->pstFilePath() : std::string());
        ++ordinal;

        const std::u16string folderLine =
            rt::Format(rt::kFolderLine, {folder->fullFolderPath(), rt::Number(folder->contentCount())});
        logger.WriteLog(folderLine);
        _run._logFile.Write(rt::kSeparatorLine);
        _run._logFile.Write(folderLine);
        _run._logFile.Write(rt::kSeparatorLine);

        ExportResult folderResult;
        try {
            folder->ResetQuery();
            folderResult = ExportFolder(*folder, progressPresenter, logger);
        } catch (const pstcore::database_corrupt&) {
            throw;
        } catch (const std::exception& error) {
            WriteBoth(logger, rt::Format(rt::kExporterAborted, {platform::text_of_path(error.what())}));
            folderResult = ExportResult{};
            folderResult.ResultCode = kExportFailed;
        }

        run.MailCount += folderResult.MailCount;
        run.ContactCount += folderResult.ContactCount;
        run.CalendarItemCount += folderResult.CalendarItemCount;
        lastStore = store;
        lastSession = session;
        first = false;
        if (run.ResultCode != kExportSucceededWithErrors) run.ResultCode = folderResult.ResultCode;
        if (folderResult.ResultCode == kExportCancelled || folderResult.ResultCode == kExportFailed) {
            run.ResultCode = folderResult.ResultCode;
            break;
        }
    }
}

ExportResult RuzorizUvezazExportAgent::ExportFolder(MAPIFolder& folder, IProgressPresenter& progressPresenter,
                                                    ILogger& logger) {
    switch (folder.defaultItemType()) {
        case kStoreTopFolder:
        case kMailFolder:
            return _run._settings.MailFormat == kMboxFormat
                       ? ExportFolderToMBOXWithFolder(folder, progressPresenter, logger)
                       : ExportFolderToEMLWithFolder(folder, progressPresenter, logger);
        case kContactsFolder:
            return ExportFolderToVCFWithFolder(folder, progressPresenter, logger);
        case kCalendarFolder:
            return ExportAppointmentFolderToICSWithFolder(folder, progressPresenter, logger);
        default:
            // Journal, notes and tasks: nothing is written; their items still count in the total.
            return ExportResult{};
    }
}

ExportResult RuzorizUvezazExportAgent::ExportFolderToMBOXWithFolder(MAPIFolder& folder,
                                                                    IProgressPresenter& progressPresenter,
                                                                    ILogger& logger) {
    return MboxFolderExporter(_run, folder, progressPresenter, logger).Export();
}

ExportResult RuzorizUvezazExportAgent::ExportFolderToEMLWithFolder(MAPIFolder& folder,
                                                                   IProgressPresenter& progressPresenter,
                                                                   ILogger& logger) {
    return EmlFolderExporter(_run, folder, progressPresenter, logger).Export();
}

ExportResult RuzorizUvezazExportAgent::ExportFolderToVCFWithFolder(MAPIFolder& folder,
                                                                   IProgressPresenter& progressPresenter,
                                                                   ILogger& logger) {
    return VCardFolderExporter(_run, folder, progressPresenter, logger).Export();
}

ExportResult RuzorizUvezazExportAgent::ExportAppointmentFolderToICSWithFolder(MAPIFolder& folder,
                                                                              IProgressPresenter& progressPresenter,
                                                                              ILogger& logger) {
    return ICalFolderExporter(_run, folder, progressPresenter, logger).Export();
}

void RuzorizUvezazExportAgent::EndSharedCalendar() {
    if (!_run._extendedVCalendarScope || _run._calendarFileFullPath.empty()) return;
    std::error_code error;
    auto handle = _run._files.open_append(_run._calendarFileFullPath, error);
    OutputFile file(_run._calendarFileFullPath, std::move(handle));
    try {
        WriteCalendarEnd(file);
        file.Close();
    } catch (const OutputError&) {
        platform::log_diagnostic(rt::Format(rt::kFileOpeningFailed, {_run._calendarFileFullPath}));
    }
}

void RuzorizUvezazExportAgent::WriteTail(const ExportResult& result, ILogger& logger) {
    const std::u16string opening = std::u16string(u"\r\n").append(rt::kSeparatorLine).append(u"\r\n");
    _run._logFile.Write(opening);
    logger.WriteLog(opening);
    const std::pair<std::u16string_view, std::uint32_t> totals[] = {
        {rt::kTotalEmails, result.MailCount},
        {rt::kTotalContacts, result.ContactCount},
        {rt::kTotalCalendarItems, result.CalendarItemCount}};
    for (const auto& [format, count] : totals) {
        if (count == 0) continue;
        const std::u16string line = rt::Format(format, {rt::Number(count)});
        _run._logFile.Write(line);
        logger.WriteLog(line);
    }
    if (result.ResultCode == kExportFailed) {
        const std::u16string line = rt::Format(rt::kRunFailed, {rt::kRunFailedReason});
        logger.WriteLog(line);
        _run._logFile.Write(line);
    } else if (result.ResultCode == kExportCancelled) {
        _run._logFile.Write(rt::kRunCancelled);
        logger.WriteLog(rt::kRunCancelled);
    } else {
        logger.WriteLog(rt::kRunSucceeded);
        _run._logFile.Write(rt::kRunSucceeded);
        _run._logFile.Write(rt::Format(rt::kOutputPath, {platform::text_of_path(_run._settings.OutputFolderPath)}));
    }
    _run._logFile.Write(rt::kSeparatorLine);
    _run._logFile.Close();
    logger.WriteLog(u"\r\n");
    logger.WriteLog(rt::kSeparatorLine);
}

void RuzorizUvezazExportAgent::WriteBoth(ILogger& logger, std::u16string_view text) {
    logger.WriteLog(text);
    _run._logFile.Write(text);
}

}  // namespace mailferry
