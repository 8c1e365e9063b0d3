// The mail writers of a real run: the MIME writer of the writers module behind the exporters' seam.

#include <memory>

#include "export/export_run.h"
#include "export/mail_item_writer.h"
#include "session/pst_session.h"
#include "writers/mime_mail_writer.h"

namespace mailferry {

namespace {

class MimeMailItemWriter final : public MailItemWriter {
public:
    explicit MimeMailItemWriter(const MailWriterOptions& options)
        : _writer(options.mboxMode, options.mboxMode, options.session->isUnicodePST(),
                  options.session->pstDefaultCodePage(), options.context) {
        _writer.LookUpContentTypeProperty(options.session->pstSession());
    }

    void Write(OutputSink& out, pstcore::message& message) override { _writer.Write(out, &message); }

private:
    MIMEMailWriter _writer;
};

}  // namespace

MailWriterFactory MimeMailWriters() {
    return [](const MailWriterOptions& options) { return std::make_unique<MimeMailItemWriter>(options); };
}

ExportServices StandardExportServices(std::optional<time_zone> zone) {
    ExportServices services;
    if (zone) services.zone = *zone;
    services.mailWriters = MimeMailWriters();
    return services;
}

}  // namespace mailferry
