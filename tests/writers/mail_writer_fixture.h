#pragma once
// mail_writer_fixture.h: a store written with pstwrite in memory, its messages opened with the reader and written
// by MIMEMailWriter with a fixed zone (GMT), fixed UUIDs ("UUID-1", "UUID-2", ... for each writer) and boundary
// numbers from 101 on, so that tests compare exact text. Diagnostic lines are captured.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "pstcore/messaging/message.h"
#include "pstcore/messaging/pst.h"
#include "pstcore/ndb/database.h"
#include "pstwrite/store_builder.h"
#include "pstwrite/store_items.h"
#include "support/test_helpers.h"
#include "writers/mime_mail_writer.h"

namespace mftest {

class MailWriterTest : public ::testing::Test {
protected:
    explicit MailWriterTest(pstwrite::format format = pstwrite::format::unicode)
        : _store(format, pstwrite::crypt::none), _folder(_store.ipm_subtree().add_folder(u"Inbox", "IPF.Note")) {}

    pstwrite::folder_builder& Folder() { return _folder; }

    // A message with a sender, one recipient and a date, as most tests want it.
    pstwrite::message_builder& AddMail(std::u16string_view subject) {
        auto& m = _folder.add_message("IPM.Note");
        m.set_subject(subject);
        m.set_text(0x0042, u"Anna Berg");
        m.set_text(0x0065, u"anna@example.com");
        m.set_text(0x0064, u"SMTP");
        m.set(0x0039, pstwrite::prop::time(pstwrite::filetime(2024, 5, 1, 9, 30)));
        m.add_recipient({u"Ben Cole", u"ben@example.com", pstwrite::recipient_kind::to});
        return m;
    }

    // The message as EML, or as an MBOX entry; the store is written on the first call.
    std::string Mail(std::uint32_t nid, bool mbox = false, std::int32_t codePage = 1252) {
        mailferry::MIMEMailWriter writer = Writer(mbox, codePage);
        mailferry::MIMEMailWriter::SetNextBoundaryNumber(101);
        std::string text;
        mailferry::StringSink sink(text);
        pstcore::message message = Message(nid);
        writer.Write(sink, &message);
        return text;
    }

    pstcore::message Message(std::uint32_t nid) { return pstcore::message(Pst().get_db()->lookup_node(nid)); }

    // Each writer made here starts its UUIDs from 1 again.
    mailferry::MIMEMailWriter Writer(bool mbox, std::int32_t codePage = 1252) {
        _uuids = 0;
        return mailferry::MIMEMailWriter(
            mbox, mbox, _store.fmt() == pstwrite::format::unicode, codePage,
            mailferry::WriterContext{.dates = &_dates, .zone = mailferry::time_zone::gmt(), .newUuid = [this] {
                                         return "UUID-" + std::to_string(++_uuids);
                                     }});
    }

    pstcore::pst& Pst() {
        if (!_pst) _pst = std::make_unique<pstcore::pst>(pstcore::open_database(_store.write_to_memory()));
        return *_pst;
    }

    const std::vector<std::string>& Diagnostics() const { return _log.lines; }

private:
    pstwrite::store_builder _store;
    pstwrite::folder_builder& _folder;
    std::unique_ptr<pstcore::pst> _pst;
    mailferry::date_formatter _dates;
    int _uuids = 0;
    captured_log _log;
};

// The structure of `text` in short: each part's content type without the field name, "mixed[" for a multipart
// one, "|mixed" for a delimiter and "mixed]" for the closing one (boundaries named by their kind).
inline std::string Skeleton(const std::string& text) {
    std::string out;
    for (std::size_t start = 0, end; start < text.size(); start = end + 1) {
        end = std::min(text.find('\n', start), text.size());
        std::string line = text.substr(start, end - start);
        if (line.ends_with('\r')) line.pop_back();
        if (line.starts_with("Content-Type: multipart/"))
            line = line.substr(24, line.find(';') - 24) + "[";
        else if (line.starts_with("Content-Type: "))
            line = line.substr(14);
        else if (line.starts_with("------=_"))
            line = line.ends_with("--") ? line.substr(8, line.find("_next") - 8) + "]"
                                        : "|" + line.substr(8, line.find("_next") - 8);
        else
            continue;
        out += (out.empty() ? "" : " ") + line;
    }
    return out;
}

}  // namespace mftest
