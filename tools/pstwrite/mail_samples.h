#pragma once
// mail_samples.h: the mail that real sample files lack, for the mail writer's checks — body lines beginning
// "From ", non-ASCII names, every attachment method, inline pictures, attached messages three levels deep,
// stored transport headers with and without a date, signed and encrypted mail, an RTF body with a picture,
// Exchange addresses, a subject with line breaks and text the message's code page cannot hold. Written by
// `pstwrite mail-samples`; the same options always give the same bytes.

#include <filesystem>

#include "store_builder.h"

namespace pstwrite {

// Adds the folder "Mail samples" under the IPM subtree, filled with the sample messages, and returns it.
folder_builder& add_mail_samples(store_builder& store);

// Writes a store holding only the samples.
void write_mail_samples(format f, crypt c, const std::filesystem::path& out);

}  // namespace pstwrite
