#include "writers/mime_mail_writer.h"

#include <atomic>
#include <ctime>
#include <exception>

#include "encoding/code_page_table.h"
#include "pstcore/messaging/guid.h"
#include "pstcore/messaging/message.h"
#include "pstcore/messaging/pst.h"
#include "writers/mime_parts_internal.h"

namespace mailferry {

namespace {

// Shared by every writer of the process, so that boundaries never repeat within a run, even when several files
// are converted at once.
std::atomic<std::uint32_t> nextBoundaryNumber{0};

void SeedBoundaryNumber() {
    std::uint32_t expected = 0;
    nextBoundaryNumber.compare_exchange_strong(expected, static_cast<std::uint32_t>(std::time(nullptr)));
}

}  // namespace

struct MIMEMailWriter::State {
    WriterContext context;
    detail::MailSettings settings;
};

MIMEMailWriter::MIMEMailWriter(bool writeFromLine, bool mboxMode, bool unicodeStore, std::int32_t defaultCodePage,
                               WriterContext context)
    : _state(std::make_unique<State>()) {
    _state->context = std::move(context);
    detail::MailSettings& settings = _state->settings;
    settings.writeFromLine = writeFromLine;
    settings.mboxMode = mboxMode;
    settings.unicodeStore = unicodeStore;
    settings.sessionCodePage = defaultCodePage;
    settings.context = &_state->context;
    settings.messageIdHost = _state->context.newUuid();
    SeedBoundaryNumber();
}

MIMEMailWriter::~MIMEMailWriter() = default;

void MIMEMailWriter::LookUpContentTypeProperty(pstcore::pst& pst) {
    try {
        _state->settings.contentTypePropId =
            pst.lookup_prop_id(pstcore::property_sets::ps_internet_headers, L"content-type");
    } catch (const std::exception&) {
        // A file without the named property, or with a damaged name map, has no opaque content types to copy.
        _state->settings.contentTypePropId = 0;
    }
}

int MIMEMailWriter::Write(OutputSink& out, pstcore::message* message) {
    if (message == nullptr) return -1;
    detail::MimeOutput output(out, _state->settings.mboxMode);
    detail::WriteMail(_state->settings, output, *message, std::nullopt);
    output.Flush();
    return 0;
}

int MIMEMailWriter::Write(OutputSink& out, pstcore::message* message, std::u16string_view subjectPrefix) {
    if (message == nullptr) return -1;
    detail::MimeOutput output(out, _state->settings.mboxMode);
    detail::WriteMail(_state->settings, output, *message, subjectPrefix);
    output.Flush();
    return 0;
}

void MIMEMailWriter::SetNextBoundaryNumber(std::uint32_t next) {
    nextBoundaryNumber.store(next);
}

namespace detail {

std::uint32_t TakeBoundaryNumber() {
    return nextBoundaryNumber.fetch_add(1);
}

void WriteMail(const MailSettings& settings, MimeOutput& out, pstcore::message& message,
               std::optional<std::u16string_view> subjectPrefix) {
    const std::uint32_t boundaryNumber = TakeBoundaryNumber();
    message.get_property_bag().set_text_encoding(find_text_encoding(settings.sessionCodePage));
    if (settings.mboxMode && settings.writeFromLine) WriteFromLine(out, settings, message);
    MessageRenderer renderer(settings, out, message, subjectPrefix, boundaryNumber);
    switch (renderer.ClassifySecureMessage()) {
        case SecureKind::opaque:
            renderer.WriteOpaqueMessage();
            break;
        case SecureKind::clearSigned:
            renderer.WriteSignedMessage();
            break;
        case SecureKind::ordinary:
            renderer.WriteMessage();
            break;
    }
}

MessageRenderer::MessageRenderer(const MailSettings& settings, MimeOutput& out, pstcore::message& message,
                                 std::optional<std::u16string_view> subjectPrefix, std::uint32_t boundaryNumber)
    : _settings(settings),
      _out(out),
      _message(message),
      _subjectPrefix(subjectPrefix),
      _sessionEncoding(message.get_property_bag().get_text_encoding()),
      _boundaryNumber(boundaryNumber) {}

void MessageRenderer::WriteMessage() {
    _boundaryNumber = TakeBoundaryNumber();
    if (const auto codePage = FindInt32(_message.get_property_bag(), kPropInternetCodepage)) {
        _textCodePage = *codePage;
        _htmlCodePage = *codePage;
    }
    AnalyseBody();
    WriteHeaderBlock();
    WriteStructureOpening();
    WriteTextParts();
    if (_structure != kAlternative && (_structureFlags & kAlternative) != 0) {
        _out.Put(_out.Eol());
        WriteClosingDelimiter(Boundary::alternative);
        _out.Line("");
    }
    if (_message.get_attachment_count() > 0) WriteAttachments();
    if (!_rtf.rtfImages.empty()) WriteRtfImages();
    WriteStructureClosing();
}

std::string MessageRenderer::BoundaryText(Boundary kind) const {
    std::string text;
    switch (kind) {
        case Boundary::mixed:
            text = "----=_mixed_next_part_";
            break;
        case Boundary::related:
            text = "----=_related_next_part_";
            break;
        case Boundary::alternative:
            text = "----=_alternate_next_part_";
            break;
    }
    return text.append(std::to_string(_boundaryNumber));
}

void MessageRenderer::WriteDelimiter(Boundary kind) {
    _out.Line("--", BoundaryText(kind));
}

void MessageRenderer::WriteClosingDelimiter(Boundary kind) {
    _out.Line("--", BoundaryText(kind), "--");
}

void MessageRenderer::WriteStructureOpening() {
    switch (_structure) {
        case kMixed:
            _out.Line("Content-Type: multipart/mixed;");
            _out.Line(" boundary=\"", BoundaryText(Boundary::mixed), "\"");
            break;
        case kRelated:
            _out.Line("Content-Type: multipart/related;");
            _out.Line(" boundary=\"", BoundaryText(Boundary::related), "\"");
            break;
        case kAlternative:
            _out.Line("Content-Type: multipart/alternative;");
            _out.Line(" boundary=\"", BoundaryText(Boundary::alternative), "\"");
            break;
        case kHtml: {
            if (_htmlEncoding != nullptr)
                _out.Line("Content-Type: text/html;charset=\"", _htmlEncoding->charsetName, "\"");
            else
                _out.Line("Content-Type: text/html");
            _out.Line("");
            return;
        }
        default: {
            if (_plainTarget != nullptr)
                _out.Line("Content-Type: text/plain;charset=\"", _plainTarget->charsetName, "\"");
            else
                _out.Line("Content-Type: text/plain");
            _out.Line("");
            return;
        }
    }
    _out.Line("");
    _out.Line("This is a multi-part message in MIME 1.0 format");
    _out.Line("");
    if (_structure == kRelated) WriteDelimiter(Boundary::related);
    if (_structure == kMixed) WriteDelimiter(Boundary::mixed);
    if (_structure != kRelated && (_structureFlags & kRelated) != 0) {
        // Quoted like every other boundary: "=" may not stand in a bare parameter value, and a reader that
        // keeps to the rule finds no boundary at all and loses the part's pictures.
        _out.Line("Content-Type: multipart/related;");
        _out.Line(" boundary=\"", BoundaryText(Boundary::related), "\"");
        _out.Line("");
        WriteDelimiter(Boundary::related);
        _relatedOpen = true;
    }
    if (_structure == kAlternative) return;
    if ((_structureFlags & kAlternative) != 0) {
        _out.Line("Content-Type: multipart/alternative;");
        _out.Line(" boundary=\"", BoundaryText(Boundary::alternative), "\"");
        _out.Line("Content-Disposition: inline;");
    }
}

void MessageRenderer::WriteStructureClosing() {
    switch (_structure) {
        case kMixed:
        case kRelated:
        case kAlternative:
            _out.Put(_out.Eol());
            WriteClosingDelimiter(_structure == kMixed     ? Boundary::mixed
                                  : _structure == kRelated ? Boundary::related
                                                           : Boundary::alternative);
            _out.Line("");
            _out.Line("");
            break;
        default:
            _out.Line("");
            break;
    }
}

}  // namespace detail
}  // namespace mailferry
