#include <ostream>

#include "cli/show_kinds.h"
#include "session/pst_session.h"
#include "writers/mime_mail_writer.h"
#include "writers/output_sink.h"

namespace mailferry {

namespace {

class StreamSink final : public OutputSink {
public:
    explicit StreamSink(std::ostream& out) : _out(out) {}
    void Append(std::string_view bytes) override {
        if (!_out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())))
            throw OutputError("standard output cannot be written");
    }

private:
    std::ostream& _out;
};

}  // namespace

int ShowMail(const ShowOptions& options, PSTSession& session, pstcore::message& message, std::ostream& out,
             std::ostream& err) {
    WriterContext context{.dates = &session.DateFormatter()};
    if (options.timeZone) {
        std::optional<time_zone> zone = time_zone::named(*options.timeZone);
        if (!zone) {
            err << "mailferry show: unknown time zone " << *options.timeZone << "\n";
            return 64;
        }
        context.zone = *zone;
    }
    MIMEMailWriter writer(options.mbox, options.mbox, session.isUnicodePST(), session.pstDefaultCodePage(),
                          std::move(context));
    writer.LookUpContentTypeProperty(session.pstSession());
    StreamSink sink(out);
    writer.Write(sink, &message);
    out.flush();
    return 0;
}

}  // namespace mailferry
