#include "app/model/node_data.h"

#include <filesystem>
#include <string>

#include "encoding/code_page_table.h"
#include "platform/path_text.h"
#include "session/pst_session.h"

namespace mailferry {

namespace {

std::u16string Widened(std::string_view ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

std::u16string FileName(const PSTSession& session) {
    return platform::text_of_path(std::filesystem::path(session.pstFilePath()).filename().string());
}

std::u16string EncodingName(std::int32_t codePage) {
    if (const auto name = text_encoding_display_name(codePage)) return Widened(*name);
    return Widened(std::to_string(codePage));
}

}  // namespace

SessionNodeData::SessionNodeData(std::shared_ptr<PSTSession> session) : _session(std::move(session)) {}

SessionNodeData::~SessionNodeData() = default;

std::u16string SessionNodeData::title() const {
    if (_session->isUnicodePST()) return FileName(*_session);
    return FileName(*_session) + u" - [Text Encoding: " + EncodingName(_session->pstDefaultCodePage()) + u"]";
}

std::u16string SessionNodeData::toolTip(bool) const {
    const std::u16string path = platform::text_of_path(_session->pstFilePath());
    if (_session->isUnicodePST())
        return u"PST File Path: " + path + u"\n\nClick on Close Button to close this PST file.";
    return u"PST File Path: " + path +
           u"\n\nRight click (or Ctrl + Click) to Change Text Encoding. Click on Close Button to close this PST file";
}

std::u16string FolderNodeData::toolTip(bool hasChildren) const {
    // Alt is the PC keyboard's name for the key that selects one folder alone.
    if (hasChildren) return u"Alt + Click to check/uncheck only this folder but not subfolders.";
    return {};
}

std::string_view IconNameForContainerClass(std::int32_t containerClass) {
    switch (containerClass) {
        case kSessionContainer:
            return "SessionHome";
        case kStoreRootContainer:
            return "Store";
        case kCalendarContainer:
            return "Calendar";
        case kContactsContainer:
            return "Contact";
        default:
            return "Folder";
    }
}

}  // namespace mailferry
