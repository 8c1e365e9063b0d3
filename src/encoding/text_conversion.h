#pragma once
// text_conversion.h: every conversion between a code page of the table and Unicode. Each call opens its own
// converters by the row's charset name and closes them before it returns, so calls may run on several threads at
// once. The decoders throw std::runtime_error with a fixed text (most after writing it to the diagnostic log) and
// never return a partial result; unicode_to_codepage never throws and may return a partial result.

#include "encoding/code_page_table.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace mailferry {

// Decodes bytes in the row's code page to UTF-32. Empty input gives an empty string even without a row.
std::wstring bytes_to_wstring(std::span<const std::byte> bytes, const TextEncodingItem* encoding);

// Decodes bytes in the row's code page to UTF-16. Empty input gives an empty string even without a row.
std::u16string bytes_to_unistring(std::span<const std::byte> bytes, const TextEncodingItem* encoding);

// Decodes bytes in the row's code page to UTF-8. Empty input gives an empty string even without a row.
std::string bytes_to_utf8string(std::span<const std::byte> bytes, const TextEncodingItem* encoding);

// The text as UTF-16LE bytes, low byte first: the form in which named-property names are hashed.
std::vector<std::byte> wstring_to_bytes(std::wstring_view text);

// Re-encodes `source_length` bytes from the source row's code page into `destination`, never writing past
// `destination_capacity` (output that does not fit is a failure). Returns the bytes written; no terminator.
std::size_t ConvertCodePage(const char* source, std::size_t source_length, const TextEncodingItem* source_encoding,
                            char* destination, std::size_t destination_capacity,
                            const TextEncodingItem* destination_encoding);

// Encodes UTF-16 text (`text_bytes` long, rounded down to whole code units) into the code page, never past
// `destination_capacity`. An unknown or unavailable code page logs a line and gives 0; a conversion failure logs
// "Conversion Error." and the bytes already written still count. Returns the bytes written; no terminator.
std::size_t unicode_to_codepage(std::int32_t codePage, const char16_t* text, std::size_t text_bytes, char* destination,
                                std::size_t destination_capacity);

}  // namespace mailferry
