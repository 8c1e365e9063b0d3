// Whole stores from the builder, read back through the reader's node database: every node and subnode opens and
// reads, and the property contexts, tables and name map above them say what the builder was told.
#include <gtest/gtest.h>

#include <functional>
#include <tuple>

#include "ltp_check.h"
#include "ndb_check.h"
#include "pstcore/ndb/database.h"
#include "pstcore/ndb/node.h"
#include "pstwrite/store_builder.h"

namespace {

using ltpcheck::bytes;
using pstwrite::crypt;
using pstwrite::format;
namespace prop = pstwrite::prop;

using mftest::read_all;

using ltpcheck::heap_of;

// One object (message, folder, attachment …) as the reader sees it: its node, heap and property records.
struct object {
    pstcore::node node;
    ltpcheck::heap heap;
    std::map<std::uint16_t, ltpcheck::pc_record> props;
    explicit object(pstcore::node n) : node(std::move(n)), heap(heap_of(node)), props(ltpcheck::read_pc(heap)) {}
    bytes value(std::uint16_t id) const {
        const auto hnid = props.at(id).hnid;
        if (hnid == 0) return {};
        if ((hnid & 0x1F) == 0) return heap.item(hnid);
        return read_all(node.lookup(hnid));
    }
    std::uint32_t i32(std::uint16_t id) const { return props.at(id).hnid; }
};

// Rows of a table node: row id → (tag → cell bytes as stored, HNIDs resolved).
std::map<std::uint32_t, std::map<std::uint32_t, bytes>> rows_of(const pstcore::node& n) {
    const auto h = heap_of(n);
    const auto info = ltpcheck::read_tcinfo(h);
    const auto index = ltpcheck::read_bth(h, info.hid_row_index);
    bytes matrix;
    if (info.hnid_rows != 0)
        matrix = (info.hnid_rows & 0x1F) == 0 ? h.item(info.hnid_rows) : read_all(n.lookup(info.hnid_rows));
    const std::size_t size = info.rgib[3];
    const std::size_t block = n.get_db()->is_unicode() ? 8176 : 8180, per_block = block / size;
    std::map<std::uint32_t, std::map<std::uint32_t, bytes>> rows;
    for (const auto& [id, rec] : index.records) {
        const std::size_t r = ltpcheck::le(rec, 0, static_cast<unsigned>(rec.size()));
        const std::size_t at = (info.hnid_rows & 0x1F) ? (r / per_block) * block + (r % per_block) * size : r * size;
        auto& row = rows[static_cast<std::uint32_t>(id)];
        for (const auto& c : info.columns) {
            if ((std::to_integer<unsigned>(matrix.at(at + info.rgib[2] + c.ibit / 8)) & (0x80u >> (c.ibit % 8))) == 0)
                continue;
            bytes cell(matrix.begin() + at + c.ib, matrix.begin() + at + c.ib + c.cb);
            const auto type = c.tag & 0xFFFF;
            const bool variable = type == 0x1F || type == 0x1E || type == 0x102 || type == 0x48 || (type & 0x1000);
            if (variable) {
                const auto hnid = static_cast<std::uint32_t>(ltpcheck::le(cell, 0, 4));
                cell = hnid == 0 ? bytes{} : (hnid & 0x1F) == 0 ? h.item(hnid) : read_all(n.lookup(hnid));
            }
            row[c.tag] = cell;
        }
    }
    return rows;
}

bytes text(format f, std::u16string_view s) {
    if (f == format::unicode) return ltpcheck::u16_bytes(s);
    bytes b;
    for (char16_t c : s) b.push_back(static_cast<std::byte>(c));
    return b;
}
std::uint32_t str_tag(format f, std::uint16_t id) {
    return (std::uint32_t{id} << 16) | (f == format::unicode ? 0x1F : 0x1E);
}

using ndbcheck::pattern;

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
    auto& contact = contacts.add_message("IPM.Contact");
    contact.set(0x3001, contact.text(u"Carol"));

    const bytes file = store.write_to_memory();
    const auto& where = store.where();
    auto db = pstcore::open_database(file);
    EXPECT_GT(read_everything(*db, where), 30u);

    // Store: name, entry ids of the special folders.
    object st(db->lookup_node(0x21));
    EXPECT_EQ(st.value(0x3001), text(f, u"Fixture"));
    const bytes ipm = st.value(0x35E0);
    ASSERT_EQ(ipm.size(), 24u);
    EXPECT_EQ(ltpcheck::le(ipm, 20, 4), 0x8022u);
    EXPECT_EQ(bytes(ipm.begin() + 4, ipm.begin() + 20), st.value(0x0FF9));
    EXPECT_EQ(ltpcheck::le(st.value(0x35E3), 20, 4), store.deleted_items().nid());
    EXPECT_EQ(ltpcheck::le(st.value(0x35E7), 20, 4), 0x8042u);

    // Folders: NBT parents, hierarchy rows, counts.
    EXPECT_EQ(db->lookup_node_info(0x122).parent_id, 0x122u);
    EXPECT_EQ(db->lookup_node_info(inbox.nid()).parent_id, 0x8022u);
    EXPECT_EQ(db->lookup_node_info(search.nid()).parent_id, 0x8042u);
    EXPECT_EQ(search.nid() & 0x1F, 3u);
    const auto root_rows = rows_of(db->lookup_node(0x12D));
    EXPECT_EQ(root_rows.size(), 2u);
    EXPECT_TRUE(root_rows.contains(0x8022) && root_rows.contains(0x8042));
    const auto ipm_rows = rows_of(db->lookup_node(0x802D));
    ASSERT_EQ(ipm_rows.size(), 3u);
    EXPECT_EQ(ipm_rows.at(inbox.nid()).at(str_tag(f, 0x3001)), text(f, u"Inbox"));
    EXPECT_EQ(ipm_rows.at(inbox.nid()).at(0x36020003), ltpcheck::hex("02000000"));
    EXPECT_EQ(ipm_rows.at(inbox.nid()).at(0x36030003), ltpcheck::hex("01000000"));
    EXPECT_EQ(ipm_rows.at(inbox.nid()).at(0x360A000B), ltpcheck::hex("01"));
    EXPECT_EQ(ipm_rows.at(contacts.nid()).at(str_tag(f, 0x3613)), text(f, u"IPF.Contact"));
    object inbox_pc(db->lookup_node(inbox.nid()));
    EXPECT_EQ(inbox_pc.i32(0x3602), 2u);
    EXPECT_EQ(inbox_pc.i32(0x3603), 1u);
    const auto contents = rows_of(db->lookup_node((inbox.nid() & ~0x1Fu) | 0x0E));
    ASSERT_EQ(contents.size(), 2u);
    EXPECT_EQ(contents.at(m1.nid()).at(str_tag(f, 0x0037)), text(f, u"Hello"));
    EXPECT_EQ(contents.at(m2.nid()).at(str_tag(f, 0x001A)), text(f, u"IPM.Note"));

    // Message: properties, recipients, attachments.
    object msg(db->lookup_node(m1.nid()));
    EXPECT_EQ(msg.node.get_parent_id(), inbox.nid());
    EXPECT_EQ(msg.value(0x0037), text(f, u"Hello"));
    EXPECT_EQ(msg.value(0x1000), text(f, u"Body text"));
    EXPECT_EQ(msg.value(0x0E04), text(f, u"Ann Example"));
    EXPECT_EQ(msg.i32(0x0E07) & 0x10, 0x10u);
    EXPECT_EQ(msg.i32(tag_id), 7u);
    const auto recips = rows_of(msg.node.lookup(0x692));
    ASSERT_EQ(recips.size(), 2u);
    const auto& bob = recips.at(pstwrite::message_builder::first_recipient_row_id + 1);
    EXPECT_EQ(bob.at(str_tag(f, 0x3003)), text(f, u"bob@example.com"));
    EXPECT_EQ(bob.at(0x0C150003), ltpcheck::hex("02000000"));
    const auto atts = rows_of(msg.node.lookup(0x671));
    ASSERT_EQ(atts.size(), 2u);
    EXPECT_EQ(atts.at(a2.nid()).at(0x0E200003), ltpcheck::hex("A0860100"));
    EXPECT_EQ(atts.at(a1.nid()).at(str_tag(f, 0x3704)), text(f, u"note.txt"));
    object att1(msg.node.lookup(a1.nid()));
    EXPECT_EQ(att1.value(0x3701), small);
    EXPECT_EQ(att1.i32(0x3705), 1u);
    object att2(msg.node.lookup(a2.nid()));
    EXPECT_EQ(att2.value(0x3701), big);  // a subnode of the attachment, through an XBLOCK

    // Embedded messages three deep, each inside its attachment's subnodes.
    object outer(db->lookup_node(m2.nid()));
    pstcore::node at = outer.node;
    for (int depth = 1; depth <= 3; ++depth) {
        object attachment(at.lookup(chain[2 * depth - 2]));
        EXPECT_EQ(attachment.i32(0x3705), 5u);
        EXPECT_EQ(attachment.props.at(0x3701).type, 0x000D);
        const bytes ref = attachment.value(0x3701);
        ASSERT_EQ(ref.size(), 8u);
        EXPECT_EQ(ltpcheck::le(ref, 0, 4), chain[2 * depth - 1]);
        object inner(attachment.node.lookup(chain[2 * depth - 1]));
        EXPECT_EQ(ltpcheck::le(ref, 4, 4), inner.node.size());
        EXPECT_EQ(inner.value(0x0037), text(f, u"Depth " + std::u16string(1, static_cast<char16_t>(u'0' + depth))));
        at = inner.node;
    }

    // 8-bit text keeps its bytes; the code page is recorded.
    object m3pc(db->lookup_node(m3.nid()));
    EXPECT_EQ(m3pc.props.at(0x1000).type, 0x001E);
    EXPECT_EQ(m3pc.value(0x1000), ltpcheck::hex("636166E9"));
    EXPECT_EQ(m3pc.i32(0x3FFD), 1252u);

    // The name map resolves the ids the message used.
    object names(db->lookup_node(0x61));
    const bytes entries = names.value(0x0003);
    ASSERT_EQ(entries.size(), 16u);
    EXPECT_EQ(ltpcheck::le(entries, 6, 2) + 0x8000, tag_id);
    EXPECT_EQ(ltpcheck::le(entries, 8, 4), 0x8580u);
}

INSTANTIATE_TEST_SUITE_P(Formats, store_test,
                         ::testing::Combine(::testing::Values(format::unicode, format::ansi),
                                            ::testing::Values(crypt::none, crypt::permute, crypt::cyclic)));

TEST(StoreBuilder, OleAndByReferenceAttachments) {
    pstwrite::store_builder store(format::ansi, crypt::none);
    auto& msg = store.ipm_subtree().add_folder(u"Inbox").add_message();
    auto& ole = msg.add_attachment().set_ole(u"Picture", pattern(500, 3));
    auto& ref = msg.add_attachment().set_by_reference(u"C:\\share\\plan.doc");
    auto db = pstcore::open_database(store.write_to_memory());
    auto node = db->lookup_node(msg.nid());
    object o(node.lookup(ole.nid()));
    EXPECT_EQ(o.i32(0x3705), 6u);
    EXPECT_EQ(o.props.at(0x3701).type, 0x000D);
    const bytes r = o.value(0x3701);
    EXPECT_EQ(read_all(o.node.lookup(static_cast<std::uint32_t>(ltpcheck::le(r, 0, 4)))), pattern(500, 3));
    object b(node.lookup(ref.nid()));
    EXPECT_EQ(b.i32(0x3705), 2u);
    EXPECT_EQ(b.value(0x3704), text(format::ansi, u"plan.doc"));
    EXPECT_FALSE(b.props.contains(0x3701));
}

TEST(StoreBuilder, AssociatedMessagesHaveTheirOwnTable) {
    pstwrite::store_builder store(format::unicode, crypt::permute);
    auto& inbox = store.ipm_subtree().add_folder(u"Inbox");
    inbox.add_message().set_subject(u"Normal");
    auto& view = inbox.add_associated_message();
    view.set_text(0x3001, u"My view");
    auto db = pstcore::open_database(store.write_to_memory());
    EXPECT_EQ(view.nid() & 0x1F, 0x08u);
    EXPECT_EQ(db->lookup_node_info(view.nid()).parent_id, inbox.nid());
    const auto fai = rows_of(db->lookup_node((inbox.nid() & ~0x1Fu) | 0x0F));
    ASSERT_EQ(fai.size(), 1u);
    EXPECT_EQ(fai.at(view.nid()).at(0x3001001F), ltpcheck::u16_bytes(u"My view"));
    EXPECT_EQ(rows_of(db->lookup_node((inbox.nid() & ~0x1Fu) | 0x0E)).size(), 1u);
    object folder(db->lookup_node(inbox.nid()));
    EXPECT_EQ(folder.i32(0x3602), 1u);
    EXPECT_EQ(folder.i32(0x3617), 1u);
}

TEST(StoreBuilder, StreamedAttachmentNeverPassesThroughTheBuilder) {
    pstwrite::store_builder store(format::unicode, crypt::cyclic);
    auto& msg = store.ipm_subtree().add_folder(u"Inbox").add_message();
    const bytes data = pattern(3 * 10000 + 7, 4);
    auto stream = store.writer().begin_data();
    for (std::size_t at = 0; at < data.size(); at += 10000)
        stream.append(std::span<const std::byte>(data).subspan(at, std::min<std::size_t>(10000, data.size() - at)));
    auto& att = msg.add_attachment().set_streamed_data(u"stream.bin", store.writer().end_data(stream));
    auto db = pstcore::open_database(store.write_to_memory());
    object a(db->lookup_node(msg.nid()).lookup(att.nid()));
    EXPECT_EQ(a.value(0x3701), data);
    EXPECT_EQ(a.props.at(0x3701).type, 0x0102);
    EXPECT_EQ(a.i32(0x0E20), data.size());
    const auto rows = rows_of(db->lookup_node(msg.nid()).lookup(0x671));
    EXPECT_EQ(ltpcheck::le(rows.at(att.nid()).at(0x0E200003), 0, 4), data.size());
}

}  // namespace
