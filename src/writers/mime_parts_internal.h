#pragma once
// mime_parts_internal.h: the pieces MIMEMailWriter is made of, for the writer's own files only: the buffered
// output with its line ending, the MBOX escaping of bodies, a property stream read as a byte source, and the
// renderer of one message (headers, structure, text parts, attachments, signed and encrypted mail), whose
// member functions live in one file per concern. A renderer serves one message and is then dropped.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "encoding/byte_source.h"
#include "encoding/rtf_body.h"
#include "pstcore/tables/hnid_stream.h"
#include "pstcore/tables/property_object.h"
#include "writers/output_sink.h"
#include "writers/property_source.h"
#include "writers/writer_context.h"

namespace pstcore {
class attachment;
class message;
}  // namespace pstcore

namespace mailferry {

struct TextEncodingItem;

namespace detail {

// The properties the mail writer reads.
inline constexpr pstcore::prop_id kPropImportance = 0x0017;
inline constexpr pstcore::prop_id kPropMessageClass = 0x001A;
inline constexpr pstcore::prop_id kPropPriority = 0x0026;
inline constexpr pstcore::prop_id kPropSubject = 0x0037;
inline constexpr pstcore::prop_id kPropClientSubmitTime = 0x0039;
inline constexpr pstcore::prop_id kPropSentRepresentingName = 0x0042;
inline constexpr pstcore::prop_id kPropReplyRecipientNames = 0x0050;
inline constexpr pstcore::prop_id kPropSentRepresentingAddressType = 0x0064;
inline constexpr pstcore::prop_id kPropSentRepresentingEmail = 0x0065;
inline constexpr pstcore::prop_id kPropTransportHeaders = 0x007D;
inline constexpr pstcore::prop_id kPropRecipientType = 0x0C15;
inline constexpr pstcore::prop_id kPropSenderName = 0x0C1A;
inline constexpr pstcore::prop_id kPropSenderAddressType = 0x0C1E;
inline constexpr pstcore::prop_id kPropSenderEmail = 0x0C1F;
inline constexpr pstcore::prop_id kPropMessageDeliveryTime = 0x0E06;
inline constexpr pstcore::prop_id kPropMessageFlags = 0x0E07;
inline constexpr pstcore::prop_id kPropBody = 0x1000;
inline constexpr pstcore::prop_id kPropRtfCompressed = 0x1009;
inline constexpr pstcore::prop_id kPropHtml = 0x1013;
inline constexpr pstcore::prop_id kPropInternetMessageId = 0x1035;
inline constexpr pstcore::prop_id kPropInternetReferences = 0x1039;
inline constexpr pstcore::prop_id kPropInReplyTo = 0x1042;
inline constexpr pstcore::prop_id kPropReturnPath = 0x1046;
inline constexpr pstcore::prop_id kPropDisplayName = 0x3001;
inline constexpr pstcore::prop_id kPropAddressType = 0x3002;
inline constexpr pstcore::prop_id kPropEmailAddress = 0x3003;
inline constexpr pstcore::prop_id kPropLastModificationTime = 0x3008;
inline constexpr pstcore::prop_id kPropAttachData = 0x3701;
inline constexpr pstcore::prop_id kPropAttachFilename = 0x3704;
inline constexpr pstcore::prop_id kPropAttachMethod = 0x3705;
inline constexpr pstcore::prop_id kPropAttachLongFilename = 0x3707;
inline constexpr pstcore::prop_id kPropAttachMimeTag = 0x370E;
inline constexpr pstcore::prop_id kPropAttachContentId = 0x3712;
inline constexpr pstcore::prop_id kPropAttachContentLocation = 0x3713;
inline constexpr pstcore::prop_id kPropSmtpAddress = 0x39FE;
inline constexpr pstcore::prop_id kPropInternetCodepage = 0x3FDE;
inline constexpr pstcore::prop_id kPropReplyRecipientEmails = 0x3FFC;
inline constexpr pstcore::prop_id kPropRecipientAlternateAddress = 0x403E;
inline constexpr pstcore::prop_id kPropAttachmentFlags = 0x7FFD;

// PidTagAttachmentFlags afException: a recurrence's exception, not a file to attach.
inline constexpr std::int32_t kAttachmentFlagHidden = 2;

// Appends to a small buffer that goes to the sink whenever it passes a few dozen KB, and when asked. Owns the
// line ending: LF for MBOX, CR LF for EML. Bytes still buffered when a read fails are dropped with the item.
class MimeOutput {
public:
    MimeOutput(OutputSink& sink, bool mbox) : _sink(sink), _eol(mbox ? "\n" : "\r\n") {}

    std::string_view Eol() const { return _eol; }
    void Put(std::string_view text) {
        _buffer.append(text);
        Settle();
    }
    // The parts one after another, then the line ending.
    template <typename... Parts>
    void Line(const Parts&... parts) {
        (_buffer.append(std::string_view(parts)), ...);
        _buffer.append(_eol);
        Settle();
    }
    // For encoders that append to a string; call Settle() after each bounded append.
    std::string& Buffer() { return _buffer; }
    void Settle() {
        if (_buffer.size() >= kFlushSize) Flush();
    }
    void Flush();

private:
    static constexpr std::size_t kFlushSize = 64 * 1024;
    OutputSink& _sink;
    std::string_view _eol;
    std::string _buffer;
};

// The escaping of one body in MBOX text: every line end (CR LF, lone CR, lone LF) becomes LF, a line that
// begins with any number of ">" and then "From " gets one more ">", and a line end that is the body's last
// byte is dropped (the writer's own line end follows). The state carries across chunks, so a chunk may end
// anywhere; what is held back is at most the start of a line that may still become a "From " line.
class MboxEscaper {
public:
    void Escape(std::string_view chunk, std::string& out);
    // Writes what is held back; call once at the end of the body.
    void Finish(std::string& out);

private:
    void EndLine(std::string& out);

    std::string _pending;      // the line's start while it may still turn into a "From " line
    bool _atLineStart = true;  // the line so far is ">"s and a beginning of "From"
    bool _lineEnded = false;   // a line end was seen; its LF goes out before the next byte
    char _previous = '\n';
};

// Copies one body to the output: escaped in MBOX text, as it is in EML. Call Finish() after the last bytes.
class BodyOutput {
public:
    BodyOutput(MimeOutput& out, bool mbox) : _out(out), _mbox(mbox) {}
    void Append(std::string_view bytes) {
        if (_mbox)
            _escaper.Escape(bytes, _out.Buffer());
        else
            _out.Buffer().append(bytes);
        _out.Settle();
    }
    void Finish() {
        if (_mbox) _escaper.Finish(_out.Buffer());
    }

private:
    MimeOutput& _out;
    bool _mbox;
    MboxEscaper _escaper;
};

// What a writer keeps from its construction to the end; an attached message's writer gets a copy without the
// separator line and with a Message-ID host of its own.
struct MailSettings {
    bool writeFromLine = false;
    bool mboxMode = false;
    bool unicodeStore = false;
    std::int32_t sessionCodePage = 0;
    const WriterContext* context = nullptr;  // the writer's; never null, outlives every renderer
    std::string messageIdHost;
    pstcore::prop_id contentTypePropId = 0;  // the file's "content-type" internet header property; 0: none
};

// Writes one whole message (the Write operation): separator line, then an ordinary, clear-signed or opaque
// message. Attached messages recurse through it with their own settings.
void WriteMail(const MailSettings& settings, MimeOutput& out, pstcore::message& message,
               std::optional<std::u16string_view> subjectPrefix);

// The next number of the process-wide boundary counter.
std::uint32_t TakeBoundaryNumber();

enum class Boundary { mixed, related, alternative };
enum class SecureKind { ordinary, clearSigned, opaque };

// Body structures and the bits the body analysis finds.
enum Structure : std::uint32_t {
    kPlain = 1,
    kHtml = 2,
    kRelated = 4,
    kMixed = 8,
    kAlternative = 16,
};

// One message being written.
class MessageRenderer {
public:
    MessageRenderer(const MailSettings& settings, MimeOutput& out, pstcore::message& message,
                    std::optional<std::u16string_view> subjectPrefix, std::uint32_t boundaryNumber);

    SecureKind ClassifySecureMessage();
    void WriteMessage();
    void WriteSignedMessage();
    void WriteOpaqueMessage();

private:
    // Structure and boundaries (mime_mail_writer.cpp).
    std::string BoundaryText(Boundary kind) const;
    void WriteDelimiter(Boundary kind);
    void WriteClosingDelimiter(Boundary kind);
    void WriteStructureOpening();
    void WriteStructureClosing();

    // Header block (mime_headers.cpp).
    void WriteHeaderBlock();
    bool WriteStoredHeaders();
    void WriteComposedHeaders();
    void WriteDateLines();
    void WriteSubject();
    void WriteMessageId();
    void WritePriority();
    void WriteRecipients();
    void WriteReplyTo();

    // Body analysis and text parts (mime_text_parts.cpp).
    void AnalyseBody();
    void WriteTextParts();
    void WritePlainText();
    void WriteHtmlText();
    void ChoosePlainEncodings();
    void WriteBody(byte_source& body, const chunk_converter* convert);

    // Attachments (mime_attachments.cpp).
    void WriteAttachments();
    void WriteValueAttachment(pstcore::attachment& attachment);
    void WriteEmbeddedMessage(pstcore::attachment& attachment);
    void WriteRtfImages();

    // Secure mail (mime_secure.cpp).
    void WriteSignedEntity(PropertySource& entity);

    const MailSettings& _settings;
    MimeOutput& _out;
    pstcore::message& _message;
    std::optional<std::u16string_view> _subjectPrefix;
    const TextEncodingItem* _sessionEncoding;  // a row of the code-page table, or null

    std::uint32_t _boundaryNumber;
    std::uint32_t _structure = kPlain;
    std::uint32_t _structureFlags = 0;
    std::int32_t _textCodePage = 0;
    std::int32_t _htmlCodePage = 0;
    bool _relatedOpen = false;  // a nested related part is open and not yet closed
    // What the body analysis learnt of each attachment, in table order.
    struct AttachmentEntry {
        pstcore::node_id id;
        bool hidden;
        bool hasContentId;
    };
    std::vector<AttachmentEntry> _attachments;
    // The rows of the HTML body's code page and of the plain body's as stored and as written (or null).
    const TextEncodingItem* _htmlEncoding = nullptr;
    const TextEncodingItem* _plainSource = nullptr;
    const TextEncodingItem* _plainTarget = nullptr;
    rtf_body_fields _rtf;
};

// ---- Small helpers shared by the parts ----

// The whole stream as base64 lines (each full one followed by the line ending), read and written a piece at a
// time so that data of any size passes through bounded memory.
void WriteBase64Pieces(byte_source& data, MimeOutput& out);

// A string property as UTF-8, or nothing when absent. A value of a type that holds no text throws.
std::optional<std::string> FindString(const pstcore::const_property_object& object, pstcore::prop_id id);
// The same, empty when absent.
std::string StringOrEmpty(const pstcore::const_property_object& object, pstcore::prop_id id);
// A 32-bit property, or nothing when absent.
std::optional<std::int32_t> FindInt32(const pstcore::const_property_object& object, pstcore::prop_id id);
// A time property as seconds since 1970, or nothing when absent.
std::optional<std::int64_t> FindTime(const pstcore::const_property_object& object, pstcore::prop_id id);

// EncodeHeaderText of UTF-8 (or UTF-16) text into a fresh string. Line breaks in the value become spaces: a header
// value must not end its line, let alone the header block or (in MBOX text) the message.
std::string HeaderText(std::string_view utf8, bool quote);
std::string HeaderText(std::u16string_view text, bool quote);

// An address for From, Sender, Reply-To and the recipient lists: the quoted display name (or encoded word) and
// the address in angle brackets. The e-mail address counts when its type is SMTP or empty; otherwise the first
// alternative, or the second when it looks like an e-mail address; without any, " <>".
std::string FormatAddress(std::string_view displayName, std::string_view email, std::string_view addressType,
                          std::string_view firstAlternative, std::string_view secondAlternative);

// Case-insensitive ASCII comparisons.
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
bool EqualsNoCase(std::string_view text, std::string_view ascii);

// An attachment's name as a parameter: `name= "x.pdf"` with `afterEquals` " ". A name with other than ASCII
// characters is an encoded word, which mail readers take only between quotes, followed by the RFC 2231 form that
// every modern reader decodes: `name= "=?utf-8?B?...?="; name*=UTF-8''%C3%BC.pdf`.
std::string NameParameter(std::string_view parameter, std::string_view afterEquals, std::string_view name);

// The "From - " separator line of an MBOX entry.
void WriteFromLine(MimeOutput& out, const MailSettings& settings, pstcore::message& message);

}  // namespace detail
}  // namespace mailferry
