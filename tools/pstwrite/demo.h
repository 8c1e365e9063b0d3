#pragma once
// demo.h: the small, friendly store that `scripts/run` shows by default — a few mail folders with mail,
// attachments and one embedded message, some contacts, and a calendar with a weekly meeting. Always the same bytes.

#include <filesystem>

namespace pstwrite {

// Writes the demo store (Unicode, permutation encoding) to `out`; throws std::runtime_error when it cannot.
void write_demo(const std::filesystem::path& out);

}  // namespace pstwrite
