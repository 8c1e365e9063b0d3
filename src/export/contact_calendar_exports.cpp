// The exporters of contact and calendar folders. Until they exist such folders are passed over like journal
// folders: nothing is written, and their items stay in the run's total.

#include "export/export_agent.h"

namespace mailferry {

ExportResult RuzorizUvezazExportAgent::ExportFolderToVCFWithFolder(MAPIFolder&, IProgressPresenter&, ILogger&) {
    return ExportResult{};
}

ExportResult RuzorizUvezazExportAgent::ExportAppointmentFolderToICSWithFolder(MAPIFolder&, IProgressPresenter&,
                                                                              ILogger&) {
    return ExportResult{};
}

}  // namespace mailferry
