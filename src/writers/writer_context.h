#pragma once
// writer_context.h: what every item writer is handed instead of reaching for it: the run's date formatter, the
// zone local times are written in, and the source of new UUIDs. The same context and input give the same bytes,
// so tests pass a fixed zone and a fixed UUID sequence.

#include <functional>
#include <string>

#include "encoding/dates.h"
#include "platform/uuid.h"

namespace mailferry {

// Returns a new UUID in the 36-character upper-case form.
using UuidSource = std::function<std::string()>;

struct WriterContext {
    date_formatter* dates = nullptr;          // the run's formatter; never null when a writer uses the context
    time_zone zone = time_zone::system();     // the exporting machine's zone unless the caller chose one
    UuidSource newUuid = platform::new_uuid;  // random UUIDs; tests hand in a fixed sequence
};

}  // namespace mailferry
