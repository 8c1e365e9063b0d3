#pragma once
// export_agent.h: one conversion run. The agent counts the items of the selected folders, refuses a run whose
// output paths would grow too long, walks the folders in the order given and hands each to the exporter of its
// kind, reports progress, notices a cancel between items, and writes the report twice: into the front end's log
// and into the detailed log file beside the output. A damaged file ends the run with its own text; a failed
// write ends it as failed; whatever was written stays.
//
//   RuzorizUvezazExportAgent agent(settings, *files, StandardExportServices());
//   StringLogger log;
//   ExportResult result = agent.DoExportWithProgressPresenter(presenter, nullptr, log);
//
// An agent runs once, on one thread; Cancel may be called from any thread or from a signal handler.

#include <cstdint>

#include "export/export_interfaces.h"
#include "export/export_run.h"
#include "export/export_settings.h"

namespace mailferry {

class MAPIFolder;
namespace platform {
class file_system;
}

class RuzorizUvezazExportAgent final : public IExportAgent, public ICancelable {
public:
    // initWithExportSettings:. The settings and the output folder's files outlive the agent.
    RuzorizUvezazExportAgent(_ExportSettings& exportSettings, platform::file_system& files, ExportServices services);

    ExportResult DoExportWithProgressPresenter(IProgressPresenter& progressPresenter,
                                               IExportItemHandler* exportItemHandler, ILogger& logger) override;
    void Cancel() override;

    // Progress after the item at zero-based position `folderCount` of a folder of `sourceContentCount` items.
    void UpdateProgressPresenterWithPresenter(IProgressPresenter& progressPresenter, std::uint32_t folderCount,
                                              std::int64_t sourceContentCount);

    // The exporters by folder kind; each returns the folder's result.
    ExportResult ExportFolderToMBOXWithFolder(MAPIFolder& folder, IProgressPresenter& progressPresenter,
                                              ILogger& logger);
    ExportResult ExportFolderToEMLWithFolder(MAPIFolder& folder, IProgressPresenter& progressPresenter,
                                             ILogger& logger);
    ExportResult ExportFolderToVCFWithFolder(MAPIFolder& folder, IProgressPresenter& progressPresenter,
                                             ILogger& logger);
    ExportResult ExportAppointmentFolderToICSWithFolder(MAPIFolder& folder, IProgressPresenter& progressPresenter,
                                                        ILogger& logger);

private:
    // Step by step, as the report shows them.
    bool CountItems(ILogger& logger);
    // Adds each folder's counts to `run` as it goes, so they stay when a damaged file ends the walk.
    void Walk(IProgressPresenter& progressPresenter, ILogger& logger, ExportResult& run);
    ExportResult ExportFolder(MAPIFolder& folder, IProgressPresenter& progressPresenter, ILogger& logger);
    void EndSharedCalendar();
    void WriteTail(const ExportResult& result, ILogger& logger);
    void WriteBoth(ILogger& logger, std::u16string_view text);

    ExportRun _run;
};

}  // namespace mailferry
