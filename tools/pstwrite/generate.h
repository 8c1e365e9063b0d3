#pragma once
// generate.h: the synthetic store behind `pstwrite generate` (mail with plain, HTML and RTF bodies, recipients
// and attachments; contacts; a calendar with recurring appointments), written with flat memory so very large
// files are practical. The same options always give the same bytes.

#include <cstdint>
#include <filesystem>

#include "pstwrite/ndb_writer.h"

namespace pstwrite {

struct generate_options {
    format fmt = format::unicode;
    crypt enc = crypt::permute;
    std::uint32_t folders = 3;        // mail folders under the IPM subtree
    std::uint64_t messages = 100;     // mail messages in all, spread over the folders
    std::uint64_t body_bytes = 2000;  // size of each plain-text body
    std::uint32_t attachments_per_message = 1;
    std::uint64_t attachment_bytes = 20000;  // size of each attachment
    std::uint64_t seed = 1;
};

// Writes the store to `out`; throws std::runtime_error when the file cannot be written.
void generate(const generate_options& options, const std::filesystem::path& out);

}  // namespace pstwrite
