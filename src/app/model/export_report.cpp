#include "app/model/export_report.h"

#include <filesystem>

#include "export/export_settings.h"
#include "platform/path_text.h"

namespace mailferry {

std::u16string LoadingMessage(const std::string& path) {
    return u"Loading: " + platform::text_of_path(std::filesystem::path(path).filename().string());
}

std::u16string LoadFailureMessage(const std::string& path) {
    return u"Failed to load following PST file:\n" + platform::text_of_path(path) +
           u".\n\nThis may happen if PST file is corrupt. Please repair this file using \"scanpst\" and try to "
           u"reload it.\nOr\nIf you are trying to load the PST file from a network shared volume then please copy "
           u"it onto this computer's local disk and try to reload it.";
}

ReportLook ReportLookForResultCode(std::int32_t resultCode) {
    switch (resultCode) {
        case kExportSucceeded:
            return {u"Operation Completed Successfully.", "Success"};
        case kExportCancelled:
            return {u"Operation Aborted. Data was partially exported.", "Error"};
        case kExportSucceededWithErrors:
            return {u"Operation Completed With Acceptable Errors.", "Error"};
        default:
            return {u"Operation Failed.", "FatalError"};
    }
}

std::string_view ImportGuideForPacking(std::int32_t exportPacking) {
    switch (exportPacking) {
        case kArchivePacking:
            return "Outlook Import Guide.pdf";
        case kApplePacking:
            return "Apple Import Guide.pdf";
        case kThunderbirdPacking:
            return "Thunderbird Import Guide EML.pdf";
        default:
            return {};
    }
}

}  // namespace mailferry
