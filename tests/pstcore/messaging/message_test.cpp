// Messages, attachments and recipients over stores made by the fixture writer: subjects, times, the tables
// in subnodes and their absence, every kind of attachment data, and how deep attached messages may nest.

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <typeinfo>
#include <vector>

#include "pstcore/messaging/messaging_format.h"
#include "pstcore/messaging/pst.h"
#include "pstcore/ndb/exceptions.h"
#include "pstwrite/store_builder.h"
#include "support/test_helpers.h"

namespace {

namespace prop = pstwrite::prop;

// The messages of the first folder under the store's top folder, in row order.
std::vector<pstcore::message> inbox_messages(pstwrite::store_builder& store) {
    pstcore::pst file(pstcore::open_database(store.write_to_memory()));
    const pstcore::folder top = file.open_top_folder();
    for (auto f = top.subfolder_begin(); f != top.subfolder_end(); ++f) {
        if (f->get_name() != L"Inbox") continue;
        return std::vector<pstcore::message>(f->message_begin(), f->message_end());
    }
    return {};
}

pstwrite::store_builder unicode_store() {
    return pstwrite::store_builder(pstwrite::format::unicode, pstwrite::crypt::permute);
}

TEST(Subject, PrefixMarkerIsDropped) {
    struct subject_case {
        std::u16string stored;
        std::wstring read;
    };
    const std::vector<subject_case> cases = {
        {u"\x01\x05Re: Hello", L"Re: Hello"},
        {u"\x01\x05", L""},
        {u"\x01", L""},  // the marker alone must not throw
        {u"Plain \x01 text", L"Plain \x01 text"},
        {u"", L""},
    };
    auto store = unicode_store();
    auto& inbox = store.ipm_subtree().add_folder(u"Inbox");
    for (const auto& c : cases) inbox.add_message().set(0x0037, prop::unicode(c.stored));
    const auto messages = inbox_messages(store);
    ASSERT_EQ(messages.size(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) EXPECT_EQ(messages[i].get_subject(), cases[i].read) << i;
}

TEST(Tables, AbsentSubnodesAreEmptyRangesButTheTablesThemselvesThrow) {
    auto store = unicode_store();
    store.ipm_subtree().add_folder(u"Inbox").add_message().set_subject(u"bare");
    const auto messages = inbox_messages(store);
    ASSERT_EQ(messages.size(), 1u);
    const pstcore::message& m = messages[0];
    EXPECT_EQ(m.get_attachment_count(), 0u);
    EXPECT_EQ(m.get_recipient_count(), 0u);
    EXPECT_TRUE(m.attachment_begin() == m.attachment_end());
    EXPECT_TRUE(m.recipient_begin() == m.recipient_end());
    EXPECT_THROW(m.get_attachment_table(), pstcore::key_not_found<unsigned int>);
    EXPECT_THROW(m.get_recipient_table(), pstcore::key_not_found<unsigned int>);
    EXPECT_FALSE(m.has_body());
    EXPECT_EQ(m.get_time(0x0E06), std::nullopt);
    EXPECT_THROW(m.open_body_stream(), pstcore::key_not_found<pstcore::prop_id>);
}

TEST(Recipients, RowsReadInOrderWithoutAnSmtpColumn) {
    auto store = unicode_store();
    auto& msg = store.ipm_subtree().add_folder(u"Inbox").add_message();
    msg.add_recipient({u"Ann", u"ann@example.com", pstwrite::recipient_kind::to});
    msg.add_recipient({u"Bob", u"bob@example.com", pstwrite::recipient_kind::bcc});
    const auto messages = inbox_messages(store);
    ASSERT_EQ(messages.size(), 1u);
    const pstcore::message& m = messages[0];
    ASSERT_EQ(m.get_recipient_count(), 2u);
    std::vector<std::pair<std::u16string, std::uint32_t>> seen;
    for (auto it = m.recipient_begin(); it != m.recipient_end(); ++it) {
        const pstcore::recipient r = *it;
        EXPECT_EQ(pstcore::get_smtp_address(r), std::nullopt);
        EXPECT_EQ(r.read_unistring(0x3003),
                  r.read_unistring(0x3001) == u"Ann" ? u"ann@example.com" : u"bob@example.com");
        seen.emplace_back(r.read_unistring(0x3001), pstcore::get_recipient_type(r));
    }
    EXPECT_EQ(seen, (std::vector<std::pair<std::u16string, std::uint32_t>>{{u"Ann", 1}, {u"Bob", 3}}));
}

TEST(Attachments, EveryKindOfDataReadsWholeAndStreamed) {
    std::string big(20000, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>('a' + i % 26);
    auto store = unicode_store();
    auto& msg = store.ipm_subtree().add_folder(u"Inbox").add_message();
    msg.set_body(u"body text");
    msg.add_attachment().set_data(u"small.txt", mftest::ascii("hello"));
    msg.add_attachment().set_data(u"big.bin", mftest::ascii(big));
    msg.add_attachment().set_ole(u"Picture", mftest::ascii("OLE storage bytes"));
    msg.add_attachment().set_by_reference(u"C:\\file.doc");
    msg.add_attachment().set_embedded_message().set_subject(u"inner");
    const auto messages = inbox_messages(store);
    ASSERT_EQ(messages.size(), 1u);
    const pstcore::message& m = messages[0];

    pstcore::prop_stream body(m.open_body_stream());
    std::string body_bytes((std::istreambuf_iterator<char>(body)), std::istreambuf_iterator<char>());
    EXPECT_EQ(body_bytes, std::string("b\0o\0d\0y\0 \0t\0e\0x\0t\0", 18));

    const std::vector<pstcore::attachment> atts(m.attachment_begin(), m.attachment_end());
    ASSERT_EQ(atts.size(), 5u);
    const std::vector<std::string> expected = {"hello", big, "OLE storage bytes"};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        ASSERT_TRUE(atts[i].has_data()) << i;
        EXPECT_FALSE(atts[i].is_message());
        EXPECT_EQ(atts[i].get_data_size(), expected[i].size()) << i;
        EXPECT_EQ(atts[i].get_bytes(), mftest::ascii(expected[i])) << i;
        pstcore::prop_stream in(atts[i].open_byte_stream());
        std::string streamed((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(streamed, expected[i]) << i;
        EXPECT_THROW(atts[i].open_as_message(), std::bad_cast);
    }
    EXPECT_EQ(atts[3].get_method(), 2);
    EXPECT_FALSE(atts[3].has_data());
    EXPECT_THROW(atts[3].get_bytes(), pstcore::key_not_found<pstcore::prop_id>);

    ASSERT_TRUE(atts[4].is_message());
    const pstcore::message inner = atts[4].open_as_message();
    EXPECT_EQ(inner.get_depth(), 1u);
    EXPECT_EQ(inner.get_subject(), L"inner");
}

TEST(Attachments, AttachedMessagesNestOnlySoDeep) {
    auto store = unicode_store();
    pstwrite::message_builder* level = &store.ipm_subtree().add_folder(u"Inbox").add_message();
    constexpr unsigned kLevels = pstcore::k_max_embedded_depth + 2;
    for (unsigned i = 1; i <= kLevels; ++i) {
        level = &level->add_attachment().set_embedded_message();
        level->set_subject(u"level " + std::u16string(1, static_cast<char16_t>(u'0' + i % 10)));
    }
    const auto messages = inbox_messages(store);
    ASSERT_EQ(messages.size(), 1u);
    pstcore::message m = messages[0];
    for (unsigned depth = 1; depth <= pstcore::k_max_embedded_depth; ++depth) {
        ASSERT_EQ(m.get_attachment_count(), 1u);
        m = m.attachment_begin()->open_as_message();
        EXPECT_EQ(m.get_depth(), depth);
    }
    EXPECT_EQ(mftest::failure_of<pstcore::database_corrupt>([&] { m.attachment_begin()->open_as_message(); }),
              "embedded messages nested too deep");
}

}  // namespace
