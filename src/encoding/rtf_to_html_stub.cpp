// Stands in for the RTF-to-HTML converter until it lands; delete this file when it does.
#include "encoding/rtf_to_html.h"

namespace mailferry {

bool ConvertRtfToHtml(std::string_view, std::string&) {
    return false;
}

}  // namespace mailferry
