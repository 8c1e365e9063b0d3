#include "writers/vcard_writer.h"

#include <vector>

#include "encoding/base64.h"
#include "platform/diagnostic_log.h"
#include "pstcore/messaging/message.h"
#include "writers/vcard_internal.h"

namespace mailferry {

namespace {

// The photo's base64 lines are folded continuation lines of the photo property.
constexpr std::string_view kPhotoLineSeparator = "\r\n ";
// Whole base64 lines per read, so that the pieces join without a short line between them.
constexpr std::size_t kPhotoChunk = base64_line_bytes * 256;

enum AttachMethod : std::int32_t { kByValue = 1, kByReference = 4, kEmbeddedMessage = 5, kOle = 6 };

// The photo line, then the data of a by-value photo, read and appended a chunk at a time: a picture of any size
// passes through without being held whole.
void WritePhoto(const detail::Photo& photo, OutputSink& out) {
    out.Append("\r\nphoto;ENCODING=b;type=jpeg:");
    out.Append(kPhotoLineSeparator);
    switch (photo.method) {
        case kByValue:
            break;
        case kByReference:
            platform::log_diagnostic("UNHANDLED ATTACH BY REF");
            return;
        case kEmbeddedMessage:
            platform::log_diagnostic("UNHANDLED EMBEDED MSG");
            return;
        case kOle:
            platform::log_diagnostic("UNHANDLED OLE ATTACH");
            return;
        default:
            return;
    }
    if (!photo.byValue) return;
    detail::PropertySource source(photo.byValue->open_byte_stream());
    std::vector<char> chunk(kPhotoChunk);
    std::string text;
    for (bool first = true;; first = false) {
        const std::size_t got = read_full(source, chunk);
        if (got == 0) return;
        text.clear();
        if (!first) text.append(kPhotoLineSeparator);
        WriteBase64Buffer(std::string_view(chunk.data(), got), text, kPhotoLineSeparator);
        out.Append(text);
        if (got < chunk.size()) return;
    }
}

}  // namespace

VCardWriter::VCardWriter(VCardTarget target, std::int32_t defaultCodePage, bool unicodeStore, WriterContext context)
    : _target(target),
      _defaultCodePage(defaultCodePage),
      _unicodeStore(unicodeStore),
      _context(std::move(context)),
      _namedIds(std::make_unique<detail::NamedContactIds>()) {}

VCardWriter::~VCardWriter() = default;

void VCardWriter::LookUpNamedProperties(pstcore::pst& pst) {
    *_namedIds = detail::LookUpNamedContactIds(pst);
}

void VCardWriter::WriteContact(OutputSink& out, pstcore::message& contact) {
    detail::ContactFields fields =
        detail::ReadContactFields(contact, {_target, _defaultCodePage, _unicodeStore}, *_namedIds, *_context.dates);
    // The card's text is whole before any of it reaches `out`: a contact that cannot be read leaves nothing.
    std::string text;
    detail::RenderContact(fields, _target, _context.newUuid(), text);
    out.Append(text);
    if (fields.photo) WritePhoto(*fields.photo, out);
    out.Append("\r\nend:vcard");
}

}  // namespace mailferry
