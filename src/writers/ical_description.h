#pragma once
// ical_description.h: an event's DESCRIPTION — the appointment's plain body, escaped and folded, and the note
// that names the calendar reference mail — and the decision whether the appointment needs that mail (a body,
// or an attachment that is not a modified occurrence). Internal to the writers module.

#include <cstdint>
#include <string>

namespace pstcore {
class message;
}

namespace mailferry {

// Appends "\r\nDESCRIPTION:..." when there is a body or `note` is given, and returns whether the appointment
// needs a reference mail. The body's 8-bit text is in the message's internet code page, or else in
// `defaultCodePage`; a code page without a converter logs a line and leaves the body out. Read errors pass.
bool WriteDescription(std::string& out, pstcore::message& message, std::int32_t defaultCodePage,
                      const std::string* note);

}  // namespace mailferry
