#pragma once
// diagnostic_log.h: the program's diagnostic log, for lines that are not part of a conversion report
// ("Corrupt Message found.", "UNKNOWN CHARSET 1234"). Each line goes to stderr and to syslog.
// Tests can capture the lines instead. Not thread-safe by itself; the engine logs from one thread at a time.

#include <functional>
#include <string_view>

namespace mailferry::platform {

// Writes one line (no line ending needed).
void log_diagnostic(std::string_view line);

// Replaces where lines go, e.g. a test capturing them; an empty function restores stderr and syslog.
// Returns the previous sink.
using diagnostic_sink = std::function<void(std::string_view)>;
diagnostic_sink set_diagnostic_sink(diagnostic_sink sink);

}  // namespace mailferry::platform
