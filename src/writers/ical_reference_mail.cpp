#include <memory>

#include "writers/ical_writer.h"
#include "writers/mime_mail_writer.h"

namespace mailferry {

ReferenceMailWriter MakeReferenceMailWriter(pstcore::pst& pst, bool mboxForm, bool unicodeStore,
                                            std::int32_t defaultCodePage, const WriterContext& context) {
    // Shared, so that the returned function can be copied; the mail writer itself is not.
    auto writer = std::make_shared<MIMEMailWriter>(true, mboxForm, unicodeStore, defaultCodePage, context);
    writer->LookUpContentTypeProperty(pst);
    return [writer](OutputSink& out, pstcore::message& message, std::u16string_view subjectPrefix) {
        writer->Write(out, &message, subjectPrefix);
    };
}

}  // namespace mailferry
