#include "encoding/utf16_internal.h"

#include <unicode/ustring.h>

#include <climits>

namespace mailferry::detail {

bool append_utf8(std::u16string_view text, std::string& out) {
    if (text.empty()) return true;
    if (text.size() > INT32_MAX / 3) return false;
    const auto length = static_cast<int32_t>(text.size());
    const std::size_t start = out.size();
    out.resize(start + text.size() * 3);
    int32_t written = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strToUTF8(out.data() + start, static_cast<int32_t>(text.size() * 3), &written,
                reinterpret_cast<const UChar*>(text.data()), length, &status);
    if (U_FAILURE(status)) {
        out.resize(start);
        return false;
    }
    out.resize(start + static_cast<std::size_t>(written));
    return true;
}

}  // namespace mailferry::detail
