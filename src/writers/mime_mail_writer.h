#pragma once
// mime_mail_writer.h: one PST message as Internet mail text — the header block (stored transport headers or
// composed from properties), the body structure (plain, HTML, alternative, related, mixed), the text parts, the
// attachments, attached messages to any depth, pictures taken out of RTF bodies, and signed or encrypted mail.
// EML form: CR LF line ends. MBOX form: LF line ends, body lines beginning "From " escaped, and for a top-level
// message a "From - " separator line first. One writer serves one folder (or one calendar writer); it keeps no
// state from one message to the next but the constructor's values. Not thread-safe; the boundary counter shared
// by all writers is.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "writers/output_sink.h"
#include "writers/writer_context.h"

namespace pstcore {
class message;
class pst;
}  // namespace pstcore

namespace mailferry {

class MIMEMailWriter {
public:
    // `defaultCodePage` is the session's code page (decodes 8-bit strings of ANSI files). The context's zone is
    // used for every date the writer formats; its UUID source names the Message-ID host once, here.
    MIMEMailWriter(bool writeFromLine, bool mboxMode, bool unicodeStore, std::int32_t defaultCodePage,
                   WriterContext context);
    virtual ~MIMEMailWriter();
    MIMEMailWriter(const MIMEMailWriter&) = delete;
    MIMEMailWriter& operator=(const MIMEMailWriter&) = delete;

    // Finds the file's id of the named property "content-type" (PS_INTERNET_HEADERS); 0 when it has none or the
    // lookup fails. Call once after construction.
    void LookUpContentTypeProperty(pstcore::pst& pst);

    // Appends one complete message to `out`; returns -1 (writing nothing) when `message` is null, else 0.
    // `subjectPrefix` goes before the subject, and stored transport headers are then never used. Errors of the
    // reader and of code-page conversion pass to the caller with the message partly written (the exporter cuts
    // it back out); a damaged attachment only loses its own part. OutputError from `out` passes unchanged.
    virtual int Write(OutputSink& out, pstcore::message* message);
    virtual int Write(OutputSink& out, pstcore::message* message, std::u16string_view subjectPrefix);

    // The next boundary number all writers of the process share; tests set it to compare exact bytes. Left at 0,
    // the first writer made seeds it with the current time.
    static void SetNextBoundaryNumber(std::uint32_t next);

private:
    struct State;
    std::unique_ptr<State> _state;
};

}  // namespace mailferry
