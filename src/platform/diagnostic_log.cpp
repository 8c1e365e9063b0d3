#include "platform/diagnostic_log.h"

#include <syslog.h>

#include <cstdio>
#include <string>
#include <utility>

namespace mailferry::platform {

namespace {

diagnostic_sink& current_sink() {
    static diagnostic_sink sink;
    return sink;
}

void write_to_system(std::string_view line) {
    std::fprintf(stderr, "mailferry: %.*s\n", static_cast<int>(line.size()), line.data());
    const std::string text(line);
    syslog(LOG_NOTICE, "%s", text.c_str());
}

}  // namespace

void log_diagnostic(std::string_view line) {
    if (const auto& sink = current_sink()) {
        sink(line);
        return;
    }
    write_to_system(line);
}

diagnostic_sink set_diagnostic_sink(diagnostic_sink sink) { return std::exchange(current_sink(), std::move(sink)); }

}  // namespace mailferry::platform
