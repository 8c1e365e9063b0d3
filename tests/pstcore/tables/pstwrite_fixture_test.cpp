// Stores written by the test-fixture writer for what the sample files lack: ANSI files with 8-bit strings in
// several code pages, tables whose rows span several blocks with 16- and 32-bit row indexes, heaps over many pages,
// B-trees with index levels, subnode values.

#include <gtest/gtest.h>

#include "encoding/code_page_table.h"
#include "pstcore/ndb/database.h"
#include "pstcore/tables/property_bag.h"
#include "pstcore/tables/table.h"
#include "pstwrite/store_builder.h"
#include "support/test_helpers.h"

namespace {

namespace prop = pstwrite::prop;
using mftest::failure_of;
using pstwrite::format;

std::shared_ptr<pstcore::db_context> open(pstwrite::store_builder& store) {
    return pstcore::open_database(store.write_to_memory());
}

class Written : public ::testing::TestWithParam<format> {};

// 8-bit strings read by the code page the bag carries, and again after it changes.
TEST(WrittenAnsi, EightBitStringsInFourCodePages) {
    pstwrite::store_builder store(format::ansi, pstwrite::crypt::permute);
    auto& folder = store.ipm_subtree().add_folder(u"Inbox");
    auto& m = folder.add_message();
    m.set(0x0037, prop::string8("caf\xE9", 1252));
    m.set(0x0C1A, prop::string8("\xCF\xF0\xE8\xE2\xE5\xF2", 1251));  // Привет
    m.set(0x0E04, prop::string8("\x93\xfa\x96\x7b\x8c\xea", 932));   // 日本語
    m.set(0x0E03, prop::string8("\xd6\xd0\xce\xc4", 936));           // 中文
    m.set(0x8000, prop::mv_string8({"\xE9t\xE9", "", "x"}, 1252));
    m.set(0x3001, prop::unicode(u"caf\u00e9"));
    const auto nid = m.nid();
    const auto db = open(store);
    ASSERT_FALSE(db->is_unicode());
    pstcore::property_bag bag(db->lookup_node(nid));
    EXPECT_EQ(bag.get_prop_type(0x0037), pstcore::prop_types::string8);
    bag.set_text_encoding(mailferry::find_text_encoding(1252));
    EXPECT_EQ(bag.read_wstring(0x0037), L"caf\u00e9");
    EXPECT_EQ(bag.read_unistring_array(0x8000), (std::vector<std::u16string>{u"\u00e9t\u00e9", u"", u"x"}));
    bag.set_text_encoding(mailferry::find_text_encoding(1251));
    EXPECT_EQ(bag.read_wstring(0x0C1A), L"\u041f\u0440\u0438\u0432\u0435\u0442");
    EXPECT_EQ(bag.read_wstring(0x0037), L"caf\u0439");
    EXPECT_EQ(bag.read_wstring(0x3001), L"caf\u00e9");  // UTF-16 text ignores the code page
    bag.set_text_encoding(mailferry::find_text_encoding(932));
    EXPECT_EQ(bag.read_unistring(0x0E04), u"\u65e5\u672c\u8a9e");
    bag.set_text_encoding(mailferry::find_text_encoding(936));
    EXPECT_EQ(bag.read_utf8string(0x0E03), "\xe4\xb8\xad\xe6\x96\x87");
}

// A folder of 300 messages: the contents table's rows fill several blocks of a subnode. ANSI files index rows
// with 16-bit positions, Unicode files with 32-bit ones.
TEST_P(Written, ContentsRowsSpanBlocks) {
    pstwrite::store_builder store(GetParam(), pstwrite::crypt::permute);
    auto& folder = store.ipm_subtree().add_folder(u"Inbox");
    std::vector<std::uint32_t> nids;
    for (int i = 0; i < 300; ++i) {
        auto& m = folder.add_message();
        m.set_subject(u"message " + std::u16string(1, static_cast<char16_t>(u'A' + i % 26)));
        nids.push_back(m.nid());
    }
    const auto contents_nid = (folder.nid() & ~0x1Fu) | 0x0E;
    const auto db = open(store);
    const auto table = pstcore::open_table(db->lookup_node(contents_nid));
    ASSERT_EQ(table.size(), 300u);
    if (GetParam() == format::ansi)
        EXPECT_NE(dynamic_cast<const pstcore::basic_table<std::uint16_t>*>(table.get_impl().get()), nullptr);
    else
        EXPECT_NE(dynamic_cast<const pstcore::basic_table<std::uint32_t>*>(table.get_impl().get()), nullptr);
    std::size_t i = 0;
    for (auto row : table) {
        row.set_text_encoding(mailferry::find_text_encoding(1252));
        EXPECT_EQ(row.get_row_id(), nids[i]);
        EXPECT_EQ(table.lookup_row(nids[i]), i);
        ASSERT_TRUE(row.prop_exists(0x0037));
        EXPECT_EQ(row.read_unistring(0x0037), u"message " + std::u16string(1, static_cast<char16_t>(u'A' + i % 26)));
        ++i;
    }
}

// 1,200 properties: the property tree needs index levels and the heap several pages. Values of all kinds sit
// inline, in the heap and in subnodes.
TEST_P(Written, LargeBagsAndEveryValuePlace) {
    pstwrite::store_builder store(GetParam(), pstwrite::crypt::permute);
    auto& m = store.ipm_subtree().add_folder(u"Inbox").add_message();
    for (std::uint16_t k = 0; k < 1200; ++k) m.set(static_cast<std::uint16_t>(0x6000 + k), prop::i32(k * 3));
    for (std::uint16_t k = 0; k < 60; ++k)
        m.set(static_cast<std::uint16_t>(0x7000 + k),
              prop::binary(std::string(200 + k, static_cast<char>('a' + k % 26))));
    std::string big(20000, 'z');
    big[12345] = 'q';
    m.set(0x1013, prop::binary(big));
    const auto nid = m.nid();
    const auto db = open(store);
    const pstcore::node node = db->lookup_node(nid);
    EXPECT_GT(node.get_page_count(), 1u);
    const pstcore::property_bag bag(node);
    const auto root =
        pstcore::open_bth<pstcore::prop_id, pstcore::prop_entry>(bag.get_heap(), bag.get_heap()->get_root_id());
    EXPECT_GT(root->get_level(), 0u);
    const auto ids = bag.get_prop_list();
    EXPECT_TRUE(std::is_sorted(ids.begin(), ids.end()));
    EXPECT_GE(ids.size(), 1261u);
    for (std::uint16_t k = 0; k < 1200; ++k) ASSERT_EQ(bag.get_value_4(static_cast<std::uint16_t>(0x6000 + k)), k * 3u);
    EXPECT_EQ(bag.get_value_variable(0x7020).size(), 232u);
    const auto big_value = bag.get_value_variable(0x1013);
    ASSERT_EQ(big_value.size(), big.size());
    EXPECT_EQ(big_value[12345], std::byte{'q'});
    pstcore::prop_stream stream(bag.open_prop_stream(0x1013));
    stream.seekg(12345);
    EXPECT_EQ(stream.get(), 'q');
}

INSTANTIATE_TEST_SUITE_P(Formats, Written, ::testing::Values(format::ansi, format::unicode),
                         [](const auto& info) { return info.param == format::ansi ? "ansi" : "unicode"; });

// Each heap and table fault the writer can plant makes the reader refuse that one object with its fixed message,
// while the messages beside it still read.
TEST_P(Written, PlantedHeapAndTableFaultsFailCleanly) {
    pstwrite::store_builder store(GetParam(), pstwrite::crypt::cyclic);
    auto& inbox = store.ipm_subtree().add_folder(u"Inbox");
    inbox.set_fault(pstwrite::ltp_fault::table_row_size_zero);
    auto& past = inbox.add_message().set_fault(pstwrite::ltp_fault::heap_page_map_past_end);
    auto& count = inbox.add_message().set_fault(pstwrite::ltp_fault::heap_page_map_bad_count);
    auto& sig = inbox.add_message().set_fault(pstwrite::ltp_fault::heap_bad_signature);
    auto& rows = inbox.add_message();
    rows.add_recipient({u"A", u"a@example.com"});
    rows.set_fault(pstwrite::ltp_fault::table_row_size_zero);
    auto& good = inbox.add_message();
    good.set(0x0037, prop::unicode(u"still here"));
    const auto db = open(store);

    EXPECT_EQ(failure_of<std::length_error>([&] { pstcore::property_bag(db->lookup_node(past.nid())); }),
              "page_map_offset > node size");
    EXPECT_EQ(failure_of<pstcore::database_corrupt>([&] { pstcore::property_bag(db->lookup_node(count.nid())); }),
              "heap page map past page end");
    EXPECT_EQ(failure_of<pstcore::sig_mismatch>([&] { pstcore::property_bag(db->lookup_node(sig.nid())); }),
              "invalid heap_sig");
    EXPECT_EQ(failure_of<pstcore::database_corrupt>(
                  [&] { pstcore::open_table(db->lookup_node((inbox.nid() & ~0x1Fu) | 0x0E)); }),
              "table row size is zero");
    EXPECT_EQ(
        failure_of<pstcore::database_corrupt>([&] { pstcore::open_table(db->lookup_node(rows.nid()).lookup(0x692)); }),
        "table row size is zero");
    pstcore::property_bag bag(db->lookup_node(good.nid()));
    EXPECT_EQ(bag.read_unistring(0x0037), u"still here");
}

}  // namespace
