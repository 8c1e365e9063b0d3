// Whole stores from the builder, read back through the reader: every node and subnode opens and reads, and the
// property contexts, tables and name map above them say what the builder was told.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <tuple>

#include "ndb_check.h"
#include "pstcore/ndb/database.h"
#include "pstcore/ndb/node.h"
#include "pstcore/tables/property_bag.h"
#include "pstcore/tables/table.h"
#include "pstwrite/store_builder.h"
#include "support/test_helpers.h"

namespace {

using bytes = std::vector<std::byte>;
using mftest::read_all;
using ndbcheck::pattern;
using pstcore::open_table;
using pstcore::property_bag;
using pstwrite::crypt;
using pstwrite::format;
namespace prop = pstwrite::prop;

constexpr auto hex = &mftest::hex_bytes;
constexpr auto le = &mftest::get_le;

bytes text(format f, std::u16string_view s) {
    if (f == format::unicode) return mftest::utf16(s);
    bytes b;
    for (char16_t c : s) b.push_back(static_cast<std::byte>(c));
    return b;
}

// The row a table keeps under `id`.
pstcore::const_table_row row(const pstcore::table& t, std::uint32_t id) {
    return t[t.lookup_row(id)];
}

// Visits every node the layout lists and every subnode below it, reading each whole.
std::size_t read_everything(pstcore::db_context& db, const pstwrite::layout& l) {
    std::size_t count = 0;
    std::function<void(const pstcore::node&, const pstwrite::node_place&)> walk = [&](const pstcore::node& n,
                                                                                      const pstwrite::node_place& p) {
        ++count;
        EXPECT_EQ(read_all(n).size(), n.size());
        for (const auto& s : p.subnodes) walk(n.lookup(s.nid), s);
    };
    for (const auto& p : l.nodes) {
        auto n = db.lookup_node(p.nid);
        EXPECT_EQ(n.get_parent_id(), p.parent_nid);
        walk(n, p);
    }
    return count;
}

class store_test : public ::testing::TestWithParam<std::tuple<format, crypt>> {};

TEST_P(store_test, StandardStoreReadsBackThroughTheNodeDatabase) {
    const auto [f, c] = GetParam();
    pstwrite::store_builder store(f, c);
    store.set_name(u"Fixture");
    auto& inbox = store.ipm_subtree().add_folder(u"Inbox", "IPF.Note");
    auto& sub = inbox.add_folder(u"Sub folder", "IPF.Note");
    auto& contacts = store.ipm_subtree().add_folder(u"Contacts", "IPF.Contact");
    auto& search = store.search_root().add_search_folder(u"Finder");

    auto& m1 = inbox.add_message("IPM.Note");
    m1.set_subject(u"Hello");
    m1.set(0x0E07, prop::i32(0));  // unread
    m1.set_body(u"Body text");
    m1.add_recipient({u"Ann Example", u"ann@example.com", pstwrite::recipient_kind::to});
    m1.add_recipient({u"Bob Example", u"bob@example.com", pstwrite::recipient_kind::cc});
    const bytes small = pattern(300, 1), big = pattern(100000, 2);
    auto& a1 = m1.add_attachment().set_data(u"note.txt", small, u"text/plain");
    auto& a2 = m1.add_attachment().set_data(u"big.bin", big);
    const auto tag_id = m1.set_named({pstwrite::PS_PUBLIC_STRINGS, std::u16string(u"x-fixture-tag")}, prop::i32(7))
                            .properties()
                            .values()
                            .rbegin()
                            ->first;
    m1.set_named({pstwrite::PSETID_Common, 0x8580u}, prop::i32(5));

    auto& m2 = inbox.add_message("IPM.Note");
    m2.set_subject(u"Nested");
    auto* level = &m2;
    std::vector<std::uint32_t> chain;  // attachment nid, embedded message nid, … three deep
    for (int depth = 1; depth <= 3; ++depth) {
        auto& att = level->add_attachment();
        auto& inner = att.set_embedded_message("IPM.Note");
        inner.set_subject(u"Depth " + std::u16string(1, static_cast<char16_t>(u'0' + depth)));
        chain.push_back(att.nid());
        chain.push_back(inner.nid());
        level = &inner;
    }
    auto& m3 = sub.add_message("IPM.Note");
    m3.set(0x1000, prop::string8("caf\xE9", 1252));
    auto& ole = m3.add_attachment().set_ole(u"Picture", pattern(500, 3));
    auto& by_ref = m3.add_attachment().set_by_reference(u"C:\\share\\plan.doc");
    const bytes streamed = pattern(3 * 10000 + 7, 4);  // never passes through the builder
    auto stream = store.writer().begin_data();
    for (std::size_t at = 0; at < streamed.size(); at += 10000)
        stream.append(std::span(streamed).subspan(at, std::min<std::size_t>(10000, streamed.size() - at)));
    auto& att3 = m3.add_attachment().set_streamed_data(u"stream.bin", store.writer().end_data(stream));
    auto& view = sub.add_associated_message();
    view.set_text(0x3001, u"My view");
    auto& contact = contacts.add_message("IPM.Contact");
    contact.set(0x3001, contact.text(u"Carol"));

    const bytes file = store.write_to_memory();
    const auto& where = store.where();
    auto db = pstcore::open_database(file);
    EXPECT_GT(read_everything(*db, where), 30u);

    // Store: name, entry ids of the special folders.
    const property_bag st(db->lookup_node(0x21));
    EXPECT_EQ(st.get_value_variable(0x3001), text(f, u"Fixture"));
    const bytes ipm = st.get_value_variable(0x35E0);
    ASSERT_EQ(ipm.size(), 24u);
    EXPECT_EQ(le(ipm, 20, 4), 0x8022u);
    EXPECT_EQ(bytes(ipm.begin() + 4, ipm.begin() + 20), st.get_value_variable(0x0FF9));
    EXPECT_EQ(le(st.get_value_variable(0x35E3), 20, 4), store.deleted_items().nid());
    EXPECT_EQ(le(st.get_value_variable(0x35E7), 20, 4), 0x8042u);

    // Folders: NBT parents, hierarchy rows, counts.
    EXPECT_EQ(db->lookup_node_info(0x122).parent_id, 0x122u);
    EXPECT_EQ(db->lookup_node_info(inbox.nid()).parent_id, 0x8022u);
    EXPECT_EQ(db->lookup_node_info(search.nid()).parent_id, 0x8042u);
    EXPECT_EQ(search.nid() & 0x1F, 3u);
    const auto root_rows = open_table(db->lookup_node(0x12D));
    ASSERT_EQ(root_rows.size(), 2u);
    EXPECT_EQ((std::set{root_rows.get_row_id(0), root_rows.get_row_id(1)}), (std::set<std::uint32_t>{0x8022, 0x8042}));
    const auto ipm_rows = open_table(db->lookup_node(0x802D));
    ASSERT_EQ(ipm_rows.size(), 3u);
    EXPECT_EQ(ipm_rows.get_prop_type(0x3001), f == format::unicode ? 0x001F : 0x001E);
    const auto inbox_row = row(ipm_rows, inbox.nid());
    EXPECT_EQ(inbox_row.get_value_variable(0x3001), text(f, u"Inbox"));
    EXPECT_EQ(inbox_row.get_value_4(0x3602), 2u);
    EXPECT_EQ(inbox_row.get_value_4(0x3603), 1u);
    EXPECT_EQ(inbox_row.get_value_1(0x360A), 1u);
    EXPECT_EQ(row(ipm_rows, contacts.nid()).get_value_variable(0x3613), text(f, u"IPF.Contact"));
    const auto contents = open_table(db->lookup_node((inbox.nid() & ~0x1Fu) | 0x0E));
    ASSERT_EQ(contents.size(), 2u);
    EXPECT_EQ(row(contents, m1.nid()).get_value_variable(0x0037), text(f, u"Hello"));
    EXPECT_EQ(row(contents, m2.nid()).get_value_variable(0x001A), text(f, u"IPM.Note"));

    // Message: properties, recipients, attachments.
    const property_bag msg(db->lookup_node(m1.nid()));
    EXPECT_EQ(msg.get_node().get_parent_id(), inbox.nid());
    EXPECT_EQ(msg.get_value_variable(0x0037), text(f, u"Hello"));
    EXPECT_EQ(msg.get_value_variable(0x1000), text(f, u"Body text"));
    EXPECT_EQ(msg.get_value_variable(0x0E04), text(f, u"Ann Example"));
    EXPECT_EQ(msg.get_value_4(0x0E07) & 0x10, 0x10u);
    EXPECT_EQ(msg.get_value_4(tag_id), 7u);
    const auto recips = open_table(msg.get_node().lookup(0x692));
    ASSERT_EQ(recips.size(), 2u);
    const auto bob = row(recips, pstwrite::message_builder::first_recipient_row_id + 1);
    EXPECT_EQ(bob.get_value_variable(0x3003), text(f, u"bob@example.com"));
    EXPECT_EQ(bob.get_value_4(0x0C15), 2u);
    const auto atts = open_table(msg.get_node().lookup(0x671));
    ASSERT_EQ(atts.size(), 2u);
    EXPECT_EQ(row(atts, a2.nid()).get_value_4(0x0E20), 100000u);
    EXPECT_EQ(row(atts, a1.nid()).get_value_variable(0x3704), text(f, u"note.txt"));
    const property_bag att1(msg.get_node().lookup(a1.nid()));
    EXPECT_EQ(att1.get_value_variable(0x3701), small);
    EXPECT_EQ(att1.get_value_4(0x3705), 1u);
    // A subnode of the attachment, through an XBLOCK.
    EXPECT_EQ(property_bag(msg.get_node().lookup(a2.nid())).get_value_variable(0x3701), big);

    // Embedded messages three deep, each inside its attachment's subnodes.
    pstcore::node at = db->lookup_node(m2.nid());
    for (int depth = 1; depth <= 3; ++depth) {
        const property_bag attachment(at.lookup(chain[2 * depth - 2]));
        EXPECT_EQ(attachment.get_value_4(0x3705), 5u);
        EXPECT_EQ(attachment.get_prop_type(0x3701), 0x000D);
        const bytes ref = attachment.get_value_variable(0x3701);
        ASSERT_EQ(ref.size(), 8u);
        EXPECT_EQ(le(ref, 0, 4), chain[2 * depth - 1]);
        const property_bag inner(attachment.get_node().lookup(chain[2 * depth - 1]));
        EXPECT_EQ(le(ref, 4, 4), inner.get_node().size());
        EXPECT_EQ(inner.get_value_variable(0x0037),
                  text(f, u"Depth " + std::u16string(1, static_cast<char16_t>(u'0' + depth))));
        at = inner.get_node();
    }

    // 8-bit text keeps its bytes; the code page is recorded.
    const property_bag m3pc(db->lookup_node(m3.nid()));
    EXPECT_EQ(m3pc.get_prop_type(0x1000), 0x001E);
    EXPECT_EQ(m3pc.get_value_variable(0x1000), hex("636166E9"));
    EXPECT_EQ(m3pc.get_value_4(0x3FFD), 1252u);

    // An OLE object, a file by reference, streamed data.
    const property_bag ole_pc(m3pc.get_node().lookup(ole.nid()));
    EXPECT_EQ(ole_pc.get_value_4(0x3705), 6u);
    EXPECT_EQ(ole_pc.get_prop_type(0x3701), 0x000D);
    const auto storage = static_cast<std::uint32_t>(le(ole_pc.get_value_variable(0x3701), 0, 4));
    EXPECT_EQ(read_all(ole_pc.get_node().lookup(storage)), pattern(500, 3));
    const property_bag ref_pc(m3pc.get_node().lookup(by_ref.nid()));
    EXPECT_EQ(ref_pc.get_value_4(0x3705), 2u);
    EXPECT_EQ(ref_pc.get_value_variable(0x3704), text(f, u"plan.doc"));
    EXPECT_FALSE(ref_pc.prop_exists(0x3701));
    const property_bag streamed_pc(m3pc.get_node().lookup(att3.nid()));
    EXPECT_EQ(streamed_pc.get_value_variable(0x3701), streamed);
    EXPECT_EQ(streamed_pc.get_prop_type(0x3701), 0x0102);
    EXPECT_EQ(streamed_pc.get_value_4(0x0E20), streamed.size());
    EXPECT_EQ(row(open_table(m3pc.get_node().lookup(0x671)), att3.nid()).get_value_4(0x0E20), streamed.size());

    // Associated messages have a table of their own.
    EXPECT_EQ(view.nid() & 0x1F, 0x08u);
    EXPECT_EQ(db->lookup_node_info(view.nid()).parent_id, sub.nid());
    const auto fai = open_table(db->lookup_node((sub.nid() & ~0x1Fu) | 0x0F));
    ASSERT_EQ(fai.size(), 1u);
    EXPECT_EQ(row(fai, view.nid()).get_value_variable(0x3001), text(f, u"My view"));
    EXPECT_EQ(open_table(db->lookup_node((sub.nid() & ~0x1Fu) | 0x0E)).size(), 1u);
    const property_bag sub_pc(db->lookup_node(sub.nid()));
    EXPECT_EQ(sub_pc.get_value_4(0x3602), 1u);
    EXPECT_EQ(sub_pc.get_value_4(0x3617), 1u);

    // The name map resolves the ids the message used.
    const bytes entries = property_bag(db->lookup_node(0x61)).get_value_variable(0x0003);
    ASSERT_EQ(entries.size(), 16u);
    EXPECT_EQ(le(entries, 6, 2) + 0x8000, tag_id);
    EXPECT_EQ(le(entries, 8, 4), 0x8580u);
}

INSTANTIATE_TEST_SUITE_P(Formats, store_test,
                         ::testing::Combine(::testing::Values(format::unicode, format::ansi),
                                            ::testing::Values(crypt::none, crypt::permute, crypt::cyclic)));

}  // namespace
