#include "pstcore/tables/property_bag.h"

#include <gtest/gtest.h>

#include "pstcore/ndb/exceptions.h"
#include "pstcore/tables/ltp_fixture.h"

namespace {

using mftest::bytes;
using mftest::concat;
using mftest::failure_of;
using mftest::fixture_prop;
using mftest::le;
namespace types = pstcore::prop_types;

class PropertyBag : public ::testing::Test {
protected:
    pstcore::property_bag make(const std::vector<fixture_prop>& props) {
        return pstcore::property_bag(mftest::make_bag(m_file, m_next += 0x20, props));
    }
    mftest::node_file m_file;
    pstcore::node_id m_next = 0x01;
};

TEST_F(PropertyBag, InlineValuesAndAbsence) {
    const auto bag =
        make({{0x0E07, types::int32, 0x12345678}, {0x0017, types::int16, 0xFFFE}, {0x0E1F, types::boolean, 1}});
    EXPECT_EQ(bag.get_value_4(0x0E07), 0x12345678u);
    EXPECT_EQ(bag.get_value_2(0x0E07), 0x5678u);
    EXPECT_EQ(bag.get_value_1(0x0E07), 0x78u);
    EXPECT_EQ(bag.get_value_2(0x0017), 0xFFFEu);
    EXPECT_EQ(bag.get_prop_list(), (std::vector<pstcore::prop_id>{0x0017, 0x0E07, 0x0E1F}));
    EXPECT_FALSE(bag.prop_exists(0x0E08));
    EXPECT_EQ(bag.find_prop_type(0x0E08), std::nullopt);
    EXPECT_FALSE(bag.prop_is(0x0E07, types::unicode));
    EXPECT_THROW(bag.get_value_4(0x0E08), pstcore::key_not_found<pstcore::prop_id>);
}

// Values in subnodes are read by the tests of written stores (pstwrite_fixture_test).
TEST_F(PropertyBag, VariableValuesInTheHeap) {
    const auto bag = make({{0x0037, types::unicode, 0, mftest::utf16(u"Hello \u00e9\U0001F600")},
                           {0x3701, types::binary, 0, {}},
                           {0x0038, types::string8, 0, mftest::ascii("caf\xe9")}});
    EXPECT_EQ(bag.read_wstring(0x0037), L"Hello \u00e9\U0001F600");
    EXPECT_EQ(bag.read_utf8string(0x0037), "Hello \xc3\xa9\xf0\x9f\x98\x80");
    EXPECT_TRUE(bag.get_value_variable(0x3701).empty());
    char c;
    EXPECT_EQ(bag.open_prop_stream(0x3701).read(&c, 1), -1);
    EXPECT_THROW(bag.read_wstring(0x0038), std::runtime_error);  // 8-bit text needs the bag's code page
}

TEST_F(PropertyBag, MultiValuedLists) {
    // count 2, offsets 12 and 12, in a 16-byte value: an empty element, then four bytes.
    const bytes two = concat({le(2, 4), le(12, 4), le(12, 4), mftest::ascii("abcd")});
    const bytes strings = concat({le(2, 4), le(12, 4), le(16, 4), mftest::utf16(u"ab"), mftest::utf16(u"xyz")});
    const auto bag =
        make({{0x0001, types::multi_flag | types::binary, 0, two},
              {0x0002, types::multi_flag | types::binary, 0, concat({le(1, 4), le(8, 2)})},
              {0x0003, types::multi_flag | types::binary, 0, concat({le(2, 4), le(12, 4), le(99, 4), bytes(4)})},
              {0x0004, types::multi_flag | types::binary, 0, concat({le(2, 4), le(12, 4), le(8, 4), bytes(4)})},
              {0x0005, types::multi_unicode, 0, strings},
              {0x0006, types::multi_flag | types::binary, 0, le(0, 4)}});
    const auto elements = bag.read_prop_array(0x0001);
    ASSERT_EQ(elements.size(), 2u);
    EXPECT_TRUE(elements[0].empty());
    EXPECT_EQ(elements[1], mftest::ascii("abcd"));
    EXPECT_EQ(failure_of([&] { bag.read_prop_array(0x0002); }), "mv prop too short");
    EXPECT_EQ(failure_of([&] { bag.read_prop_array(0x0003); }), "inconsistent mv prop toc");
    EXPECT_EQ(failure_of([&] { bag.read_prop_array(0x0004); }), "inconsistent mv prop toc");
    EXPECT_EQ(bag.read_unistring_array(0x0005), (std::vector<std::u16string>{u"ab", u"xyz"}));
    EXPECT_TRUE(bag.read_prop_array(0x0006).empty());
}

TEST_F(PropertyBag, TimesConvertFromFiletime) {
    const auto bag = make({{0x0001, types::systime, 0, le(116444736000000000ULL + 10000000ULL * 86400, 8)},
                           {0x0003, types::app_time, 0, le(0, 8)}});
    EXPECT_EQ(bag.read_time(0x0001), 86400);
    EXPECT_EQ(failure_of([&] { bag.read_time(0x0003); }), "vt_date_to_time_t");
}

// Stored types that do not hold what is asked for (as in a file whose named-property map is stale) fail as
// absent properties, with a clear message.
TEST_F(PropertyBag, TypeMismatchesReadAsAbsent) {
    const auto bag = make({{0x8001, types::int32, 0x20},
                           {0x8002, types::unicode, 0, mftest::utf16(u"Room 5")},
                           {0x8003, types::binary, 0, bytes(4)},
                           {0x0000, types::unspecified, 0}});
    using absent = pstcore::key_not_found<pstcore::prop_id>;
    EXPECT_EQ(failure_of<absent>([&] { bag.read_wstring(0x8001); }), "property type mismatch");
    EXPECT_EQ(failure_of<absent>([&] { bag.get_value_8(0x8001); }), "property type mismatch");
    EXPECT_EQ(failure_of<absent>([&] { bag.get_value_variable(0x8001); }), "property type mismatch");
    EXPECT_EQ(failure_of<absent>([&] { bag.get_value_4(0x8002); }), "property type mismatch");
    EXPECT_THROW(bag.get_value_8(0x8003), std::length_error);
    EXPECT_TRUE(bag.get_value_variable(0x0000).empty());
}

}  // namespace
