#pragma once
// calendar_fixture.h: a store of recurring and single appointments for the independent-reader checks of the
// calendar writer — daily, weekly, monthly on a day, on the nth weekday and at month end, yearly, all-day, ending by
// count, by date and never, with deleted and moved occurrences — each series in a zone of its own. The manifest
// (JSON) names each appointment's node, its zone and its recurrence blob in hex, from which a reader can expand
// the occurrences the blob describes without this program.

#include <filesystem>
#include <string>

namespace pstwrite {

// Writes the store to `out` and returns the manifest.
std::string write_calendar_fixture(const std::filesystem::path& out);

}  // namespace pstwrite
