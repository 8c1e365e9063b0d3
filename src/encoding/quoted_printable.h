#pragma once
// quoted_printable.h: the quoted-printable of vCard text values (the note). Besides the RFC 2045 escapes it puts
// a backslash before ",", ";" and "\", as vCard values need. The soft line break is always "=" CR LF, whatever the
// caller's line ending. Pure functions; output is appended to the caller's string.
//
//   EncodeQuotedPrintable("a=b\tc", out);   // "a=3Db\tc"
//   EncodeQuotedPrintable("x,y", out);      // "x\\,y"

#include <string>
#include <string_view>

#include "encoding/byte_source.h"

namespace mailferry {

// Appends the encoding of `bytes`, already in the target code page. Control bytes other than TAB and space,
// "=", DEL and bytes from 128 become "=" and two upper-case hex digits; a soft break follows an escape that
// reaches column 72 and precedes a plain byte at column 75.
void EncodeQuotedPrintable(std::string_view bytes, std::string& out);

// The same over a stream read in chunks of 512 bytes, each converted by `convert` (ConvertCodePage to the target
// encoding). The column runs on across chunks; an escape at column 75 or more is preceded by a soft break. An
// empty stream appends "=0D=0A". Exceptions of `convert` pass to the caller.
void WriteQuotedPrintableStream(byte_source& stream, const chunk_converter& convert, std::string& out);

// The same, converting from the stream's code page to the target one.
void WriteQuotedPrintableStream(byte_source& stream, const TextEncodingItem* streamEncoding, std::string& out,
                                const TextEncodingItem* targetEncoding);

}  // namespace mailferry
