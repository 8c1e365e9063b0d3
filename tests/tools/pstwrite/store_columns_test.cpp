// The column sets were typed from notes; here they are compared with the template tables of a real Outlook store,
// so a wrong tag, offset, width or bit cannot hide in both the writer and a reader written against it.
#include <gtest/gtest.h>

#include "pstcore/ndb/database.h"
#include "pstcore/ndb/node.h"
#include "pstcore/tables/property_bag.h"
#include "pstcore/tables/table.h"
#include "pstwrite/ltp_namemap.h"
#include "pstwrite/store_columns.h"
#include "support/corpus.h"
#include "support/test_helpers.h"

namespace {

constexpr auto le = &mftest::get_le;

TEST(StoreColumns, TemplatesMatchAnOutlookStore) {
    MF_REQUIRE_CORPUS();
    const auto path = mftest::corpus_dir() / "empty-store.pst";
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "no empty-store.pst";
    auto db = pstcore::open_database(path.string());
    const std::pair<std::uint32_t, pstwrite::table_kind> templates[] = {
        {0x60D, pstwrite::table_kind::hierarchy},           {0x60E, pstwrite::table_kind::contents},
        {0x60F, pstwrite::table_kind::associated_contents}, {0x610, pstwrite::table_kind::search_contents},
        {0x671, pstwrite::table_kind::attachment},          {0x692, pstwrite::table_kind::recipient},
        {0x62B, pstwrite::table_kind::receive_folder}};
    for (const auto& [nid, kind] : templates) {
        SCOPED_TRACE(nid);
        std::vector<std::tuple<std::uint32_t, unsigned, unsigned, unsigned>> real, ours;
        const auto table = pstcore::open_table(db->lookup_node(nid));
        for (const auto& c : table.get_columns())
            real.emplace_back(std::uint32_t{c.id} << 16 | c.type, c.offset, c.size, c.bit_offset);
        for (const auto& c : pstwrite::column_set(kind, pstwrite::format::unicode))
            ours.emplace_back(c.tag, c.ib, c.cb, c.ibit);
        std::sort(real.begin(), real.end());
        std::sort(ours.begin(), ours.end());
        EXPECT_EQ(real, ours);
    }
}

// The name map's hash (the LID, or the CRC of the UTF-16LE name) and bucket rule, checked on a real map: every
// entry of the entry stream has a hash entry in the bucket the rule names.
TEST(StoreColumns, NameHashesLandInOutlooksBuckets) {
    MF_REQUIRE_CORPUS();
    const auto path = mftest::corpus_dir() / "empty-store.pst";
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "no empty-store.pst";
    auto db = pstcore::open_database(path.string());
    const pstcore::property_bag map(db->lookup_node(0x61));
    const std::uint32_t buckets = map.get_value_4(0x0001);
    const auto entries = map.get_value_variable(0x0003), strings = map.get_value_variable(0x0004);
    std::size_t strings_checked = 0;
    for (std::size_t at = 0; at + 8 <= entries.size(); at += 8) {
        const auto id = static_cast<std::uint32_t>(le(entries, at, 4));
        const auto word = static_cast<std::uint32_t>(le(entries, at + 4, 2));
        pstwrite::named_property name{pstwrite::PS_MAPI, id};
        if (word & 1) {
            const auto length = le(strings, id, 4);
            std::u16string text;
            for (std::size_t k = 0; k < length; k += 2)
                text.push_back(static_cast<char16_t>(le(strings, id + 4 + k, 2)));
            name.name = text;
            ++strings_checked;
        }
        const std::uint32_t hash = pstwrite::name_map_builder::hash_of(name);
        const auto bucket = map.get_value_variable(static_cast<std::uint16_t>(0x1000 + (hash ^ word) % buckets));
        bool found = false;
        for (std::size_t b = 0; b + 8 <= bucket.size(); b += 8)
            found |= le(bucket, b, 4) == hash && le(bucket, b + 4, 2) == word;
        EXPECT_TRUE(found) << "entry " << at / 8;
    }
    EXPECT_GT(strings_checked, 0u);
}

}  // namespace
