#pragma once
// code_page_table.h: the fixed table of Windows code pages that 8-bit PST text may be in, the start-up probe that
// finds which of them ICU can open, and the lookups by code page. Rows are static for the life of the process;
// bags, table rows and writers hold plain pointers to them (null: no text encoding attached). The table is
// written only by the probe, which runs once (std::call_once) before its first use; afterwards it is read-only
// and safe to read from any thread.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace mailferry {

// Wide strings read from a PST are UTF-32, one character per wchar_t, as on macOS.
static_assert(sizeof(wchar_t) == 4, "wide strings must hold one UTF-32 character per wchar_t");

// One row of the code-page table.
struct TextEncodingItem {
    std::int32_t codePage;    // Windows code-page number; 0 only in the terminating row
    const char* charsetName;  // converter name, handed unchanged to the converter library
    const char* displayName;  // the title the user sees (encoding menu, title of an ANSI file's row)
    bool available;           // the converter library can open charsetName; set by init_text_encodings
};

// Number of rows in the table, not counting the terminating row.
inline constexpr std::size_t text_encoding_count = 143;

// Opens a converter for each row in table order and marks the row available when it opens without a failure
// status. ICU answers some good aliases ("windows-1252", "shift_jis") with U_AMBIGUOUS_ALIAS_WARNING; those rows
// are available. Runs once per process; later calls return at once. Every lookup below calls it first.
void init_text_encodings();

// The rows in their fixed order (143 of them). The terminating row (codePage 0) follows the last one in storage.
std::span<const TextEncodingItem> text_encodings();

// The rows remembered for direct use: 65001 "UTF-8", 1200 "utf-16LE" and 12000 "utf-32". Never null, whether
// or not the row came out available.
const TextEncodingItem* utf8_encoding();
const TextEncodingItem* utf16le_encoding();
const TextEncodingItem* utf32_encoding();

// The first row with this code page, available or not. Code page 0 gives null silently; a code page the table
// lacks gives null after the diagnostic line "UNKNOWN CHARSET <code page>".
const TextEncodingItem* find_text_encoding(std::int32_t codePage);

// The row's display name, or nothing when no row has this code page (no diagnostic line).
std::optional<std::string_view> text_encoding_display_name(std::int32_t codePage);

// Maps between a code page and its position in the list of available rows, the list a code-page chooser shows.
class TextEncodingToIndexTransformer {
public:
    // The number of available rows before the first available row with this code page; 0 when no available row
    // has it.
    int transformed_value(std::int32_t codePage) const;
    // The code page of the available row at this position; 0 when there is none.
    std::int32_t reverse_transformed_value(int position) const;
};

}  // namespace mailferry
