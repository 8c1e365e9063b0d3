#include "platform/diagnostic_log.h"

#include <syslog.h>

#include <cstdio>
#include <string>
#include <utility>

namespace mailferry::platform {

namespace {

DiagnosticSink& CurrentSink() {
    static DiagnosticSink sink;
    return sink;
}

void WriteToSystem(std::string_view line) {
    std::fprintf(stderr, "mailferry: %.*s\n", static_cast<int>(line.size()), line.data());
    const std::string text(line);
    syslog(LOG_NOTICE, "%s", text.c_str());
}

}  // namespace

void LogDiagnostic(std::string_view line) {
    if (const auto& sink = CurrentSink()) {
        sink(line);
        return;
    }
    WriteToSystem(line);
}

DiagnosticSink SetDiagnosticSink(DiagnosticSink sink) { return std::exchange(CurrentSink(), std::move(sink)); }

}  // namespace mailferry::platform
