#pragma once
// mail_item_writer.h: what the mail exporters need of a mail writer — one message into an output sink — so that
// the engine's tests can put a writer of their own in its place. The real one wraps the MIME writer
// (MimeMailWriters); front ends pass it in through ExportServices (StandardExportServices does).

#include <functional>
#include <memory>

#include "writers/output_sink.h"
#include "writers/writer_context.h"

namespace pstcore {
class message;
}

namespace mailferry {

class PSTSession;

class MailItemWriter {
public:
    virtual ~MailItemWriter() = default;
    // Appends one message. Reading the message may throw (the exporter cuts what was written back out);
    // OutputError from `out` passes unchanged.
    virtual void Write(OutputSink& out, pstcore::message& message) = 0;
};

struct MailWriterOptions {
    bool mboxMode = true;           // MBOX form ("From - " line, LF) or EML form (CR LF)
    PSTSession* session = nullptr;  // the folder's file: Unicode flag, code page, named properties; never null
    WriterContext context;
};

// Makes one writer for one folder; may throw (the folder then fails).
using MailWriterFactory = std::function<std::unique_ptr<MailItemWriter>(const MailWriterOptions&)>;

// Writers that are the MIME writer of the writers module.
MailWriterFactory MimeMailWriters();

}  // namespace mailferry
