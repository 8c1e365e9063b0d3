#include "pstcore/messaging/name_id_map.h"

#include <gtest/gtest.h>

#include "pstcore/ndb/crypt.h"
#include "pstcore/ndb/exceptions.h"
#include "pstcore/tables/ltp_fixture.h"
#include "pstwrite/store_builder.h"
#include "support/corpus.h"
#include "support/test_helpers.h"

namespace {

namespace sets = pstcore::property_sets;
namespace types = pstcore::prop_types;
using not_found = pstcore::key_not_found<pstcore::named_prop>;

const pstcore::guid kSetA = *pstcore::parse_guid("{11111111-2222-3333-4455-66778899AABB}");
const pstcore::guid kSetB = *pstcore::parse_guid("22222222-0000-0000-C000-000000000046");
const pstcore::guid kSetC = *pstcore::parse_guid("{33333333-0000-0000-c000-000000000046}");

TEST(Guid, ParsesAndPrintsTheWrittenForm) {
    EXPECT_EQ(pstcore::to_string(sets::ps_public_strings), "{00020329-0000-0000-C000-000000000046}");
    EXPECT_EQ(pstcore::parse_guid("00020329-0000-0000-c000-000000000046"), sets::ps_public_strings);
    // Stored layout: the first three fields little-endian.
    EXPECT_EQ(sets::psetid_address.bytes[0], std::byte{0x04});
    EXPECT_EQ(sets::psetid_address.bytes[1], std::byte{0x20});
    EXPECT_EQ(sets::psetid_address.bytes[2], std::byte{0x06});
    EXPECT_EQ(kSetA.bytes[8], std::byte{0x44});
    EXPECT_FALSE(pstcore::parse_guid("{00020329-0000-0000-C000-00000000004}"));
    EXPECT_FALSE(pstcore::parse_guid("{00020329+0000-0000-C000-000000000046}"));
}

// A written store whose map holds `names`; one message carries each name with its position as value.
class NameIdMap : public ::testing::Test {
protected:
    pstcore::name_id_map open(const std::vector<pstwrite::named_property>& names) {
        pstwrite::store_builder store(pstwrite::format::unicode, pstwrite::crypt::none);
        auto& m = store.ipm_subtree().add_folder(u"Inbox").add_message();
        for (std::size_t k = 0; k < names.size(); ++k) m.set_named(names[k], pstwrite::prop::i32(k));
        m_db = pstcore::open_database(store.write_to_memory());
        m_message = m.nid();
        return pstcore::name_id_map(m_db);
    }
    std::uint32_t value(pstcore::prop_id id) const {
        return pstcore::property_bag(m_db->lookup_node(m_message)).get_value_4(id);
    }
    std::shared_ptr<pstcore::db_context> m_db;
    pstcore::node_id m_message = 0;
};

TEST_F(NameIdMap, ResolvesNumbersAndNames) {
    const pstwrite::guid set_a{0x11111111, 0x2222, 0x3333, {0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB}};
    const pstwrite::guid set_b{0x22222222, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    const pstwrite::guid set_c{0x33333333, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    const auto map = open({{set_a, 0x8233u},
                           {pstwrite::PS_PUBLIC_STRINGS, u"Keywords"},
                           {set_b, 0x8233u},
                           {set_c, u"content-type"},
                           {set_a, u"\U0001F600 name"}});
    EXPECT_EQ(map.get_prop_count(), 5u);
    EXPECT_EQ(value(map.lookup(kSetA, 0x8233)), 0u);
    EXPECT_EQ(value(map.lookup(sets::ps_public_strings, L"Keywords")), 1u);
    EXPECT_EQ(value(map.lookup(kSetB, 0x8233)), 2u);
    EXPECT_EQ(value(map.lookup(kSetC, L"content-type")), 3u);  // the last GUID record
    EXPECT_EQ(value(map.lookup(kSetA, L"\U0001F600 name")), 4u);
    EXPECT_THROW(map.lookup(sets::ps_public_strings, L"keywords"), not_found);
    EXPECT_THROW(map.lookup(kSetA, L"Keywords"), not_found);
    EXPECT_THROW(map.lookup(sets::psetid_common, 0x8233), not_found);  // not in the GUID stream
    EXPECT_THROW(map.lookup(kSetA, 0x8234), not_found);
    // A number whose value equals a name's CRC is not that name.
    const auto crc = static_cast<std::int32_t>(pstcore::compute_crc(mftest::utf16(u"Keywords")));
    EXPECT_THROW(map.lookup(sets::ps_public_strings, crc), not_found);
    // MAPI numbers below 0x8000 resolve without the map.
    EXPECT_EQ(map.lookup(sets::ps_mapi, 0x0E1B), 0x0E1B);
    EXPECT_THROW(map.lookup(sets::ps_mapi, 0x8000), not_found);
    EXPECT_THROW(map.lookup(sets::ps_mapi, -1), not_found);
    EXPECT_THROW(map.lookup(sets::ps_mapi, L"Subject"), not_found);
}

// Without buckets nothing named resolves; without the map node there is no map.
TEST(NameIdMapNode, NoBucketsOrNoNode) {
    mftest::node_file file;
    file.add(0x21, mftest::bytes(8));
    EXPECT_THROW(pstcore::name_id_map{file.db()}, pstcore::key_not_found<pstcore::node_id>);
    mftest::make_bag(file, 0x61,
                     {{0x0001, types::int32, 0},
                      {0x0002, types::binary, 0, {}},
                      {0x0003, types::binary, 0, {}},
                      {0x0004, types::binary, 0, {}}});
    const pstcore::name_id_map map(file.db());
    EXPECT_THROW(map.lookup(sets::ps_public_strings, L"Keywords"), not_found);
}

// The sample files: every string-named property an item uses resolves to an id that item has.
class CorpusNameMap : public ::testing::TestWithParam<std::string> {};

std::optional<pstcore::guid> set_by_name(const std::string& name) {
    if (name == "PS_PUBLIC_STRINGS") return sets::ps_public_strings;
    if (name == "PS_INTERNET_HEADERS") return sets::ps_internet_headers;
    if (name == "PSETID_Common") return sets::psetid_common;
    if (name == "PSETID_Address") return sets::psetid_address;
    if (name == "PSETID_Appointment") return sets::psetid_appointment;
    return pstcore::parse_guid(name);
}

TEST_P(CorpusNameMap, StringNamesUsedByItemsResolve) {
    MF_REQUIRE_CORPUS();
    const auto path = mftest::corpus_dir() / GetParam();
    const auto manifest = mftest::load_manifest(path);
    if (manifest.get_child_optional("primary_parse_error")) GTEST_SKIP() << "damaged file";
    const auto db = pstcore::open_database(path.string());
    const pstcore::name_id_map map(db);
    EXPECT_EQ(map.get_bucket_count(), 251u);
    EXPECT_EQ(map.get_prop_count(), std::stoull(manifest.get<std::string>("structure.named_property_count")));
    std::size_t resolved = 0;
    for (const auto& [key, item] : manifest.get_child("items")) {
        const auto used = item.get_child_optional("string_named_props_used");
        if (!used) continue;
        const pstcore::property_bag bag(db->lookup_node(std::stoul(item.get<std::string>("nid"), nullptr, 16)));
        for (const auto& [unused, entry] : *used) {
            const std::string text = entry.get_value<std::string>();
            const auto colon = text.find(':');
            const auto set = set_by_name(text.substr(0, colon));
            if (!set) continue;  // a set the manifest could not name
            const std::string name = text.substr(colon + 1);
            SCOPED_TRACE(text);
            const pstcore::prop_id id = map.lookup(*set, std::wstring(name.begin(), name.end()));
            EXPECT_GE(id, 0x8000);
            EXPECT_TRUE(bag.prop_exists(id));
            ++resolved;
        }
    }
    if (GetParam() == "outlook-store.pst" || GetParam() == "mixed-items.pst") {
        EXPECT_GT(resolved, 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusNameMap, ::testing::ValuesIn(mftest::corpus_names()), mftest::param_name);

// A written store whose map has one bucket: every name and number collides, in both formats.
TEST(WrittenNameMap, CollidingNamesInOneBucket) {
    for (const auto fmt : {pstwrite::format::ansi, pstwrite::format::unicode}) {
        pstwrite::store_options options;
        options.name_map_buckets = 1;
        pstwrite::store_builder store(fmt, pstwrite::crypt::permute, options);
        auto& m = store.ipm_subtree().add_folder(u"Contacts", "IPF.Contact").add_message("IPM.Contact");
        m.set_named({pstwrite::PS_PUBLIC_STRINGS, std::u16string(u"Keywords")}, pstwrite::prop::i32(1));
        m.set_named({pstwrite::PS_PUBLIC_STRINGS, std::u16string(u"Keyword")}, pstwrite::prop::i32(2));
        m.set_named({pstwrite::PSETID_Address, std::uint32_t{0x8022}}, pstwrite::prop::i32(3));
        m.set_named({pstwrite::PS_INTERNET_HEADERS, std::u16string(u"content-type")}, pstwrite::prop::i32(4));
        const auto nid = m.nid();
        const auto db = pstcore::open_database(store.write_to_memory());
        const pstcore::name_id_map map(db);
        EXPECT_EQ(map.get_bucket_count(), 1u);
        const pstcore::property_bag bag(db->lookup_node(nid));
        EXPECT_EQ(bag.get_value_4(map.lookup(sets::ps_public_strings, L"Keywords")), 1u);
        EXPECT_EQ(bag.get_value_4(map.lookup(sets::ps_public_strings, L"Keyword")), 2u);
        EXPECT_EQ(bag.get_value_4(map.lookup(sets::psetid_address, 0x8022)), 3u);
        EXPECT_EQ(bag.get_value_4(map.lookup(sets::ps_internet_headers, L"content-type")), 4u);
        EXPECT_THROW(map.lookup(sets::ps_internet_headers, L"Content-Type"), not_found);
    }
}

}  // namespace
