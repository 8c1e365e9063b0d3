#pragma once
// export_report.h: the texts and images the front end shows around a load and an export run — the loading
// message, the alert for a file that cannot be opened, the report's heading and image by result code, and the
// import guide that goes with a target.

#include <cstdint>
#include <string>
#include <string_view>

namespace mailferry {

// "Loading: <file name>".
std::u16string LoadingMessage(const std::string& path);
// The alert for a file that failed to open, naming it in full.
std::u16string LoadFailureMessage(const std::string& path);

struct ReportLook {
    std::u16string_view heading;
    std::string_view imageName;  // "Success", "Error" or "FatalError"
};
ReportLook ReportLookForResultCode(std::int32_t resultCode);

// The guide shipped for the target's client ("Apple Import Guide.pdf" ...); empty for plain files.
std::string_view ImportGuideForPacking(std::int32_t exportPacking);

}  // namespace mailferry
