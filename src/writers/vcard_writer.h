#pragma once
// vcard_writer.h: one PST contact as a vCard 3.0 text, for three targets: plain cards (Thunderbird, CardDAV and
// separate files), the Apple Address Book with its "item" lines and X-AB labels, and the Outlook archive with
// its "X-" lines. What vCard has no property for goes into the note. One writer serves one contact folder: it
// keeps the named-property ids it looked up and its creation values, and nothing from one contact to the next.
// Not thread-safe.
//
//   VCardWriter writer(VCardTarget::Apple, session.pstDefaultCodePage(), session.isUnicodePST(), context);
//   writer.LookUpNamedProperties(session.pstSession());
//   writer.WriteContact(sink, contact);   // "begin:vcard\r\nversion:3.0\r\nUID:…\r\n…\r\nend:vcard"

#include <cstdint>
#include <memory>

#include "writers/output_sink.h"
#include "writers/writer_context.h"

namespace pstcore {
class message;
class pst;
}  // namespace pstcore

namespace mailferry {

namespace detail {
struct NamedContactIds;
}

// The export targets' forms of a card, by the numbers the exporter uses.
enum class VCardTarget : std::int32_t {
    Plain = 0,    // RFC 2426 text values throughout, the note included
    Apple = 1,    // Apple Address Book: related names, dates and extra phones as "itemN." lines
    Archive = 2,  // Outlook for Mac archive: "X-" lines for the personal fields
};

class VCardWriter {
public:
    // `defaultCodePage` decodes the 8-bit strings of an ANSI file and, without a better one, its note.
    // The context's formatter formats the dates and its UUID source gives every card a new UID.
    VCardWriter(VCardTarget target, std::int32_t defaultCodePage, bool unicodeStore, WriterContext context);
    virtual ~VCardWriter();
    VCardWriter(const VCardWriter&) = delete;
    VCardWriter& operator=(const VCardWriter&) = delete;

    // Finds the file's ids of the named contact properties (addresses, e-mail addresses, categories, ...). Call
    // once per folder before the first contact; a name the file does not know, and every name before this is
    // called, counts as an absent property.
    void LookUpNamedProperties(pstcore::pst& pst);

    // Appends one card, "begin:vcard" through "end:vcard" with no line break after it. Attaches the default code
    // page to the contact's bag. Errors reading the contact pass to the caller with nothing appended, except
    // those that reading the photo's data meets: by then the card's text is in `out`, and the exporter cuts it
    // back out as for any failed item. OutputError from `out` passes unchanged.
    virtual void WriteContact(OutputSink& out, pstcore::message& contact);

private:
    VCardTarget _target;
    std::int32_t _defaultCodePage;
    bool _unicodeStore;
    WriterContext _context;
    std::unique_ptr<detail::NamedContactIds> _namedIds;  // never null; all 0 until looked up
};

}  // namespace mailferry
