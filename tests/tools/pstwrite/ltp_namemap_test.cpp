// The named-property map: streams, NAMEID records, hashes and buckets as the format notes lay them out.
#include <gtest/gtest.h>

#include "ltp_check.h"
#include "pstwrite/ltp_namemap.h"

namespace {

using ltpcheck::hex;
using pstwrite::format;

struct map_view {
    ltpcheck::heap heap;
    std::map<std::uint16_t, ltpcheck::pc_record> records;
    ltpcheck::bytes value(std::uint16_t id) const { return heap.item(records.at(id).hnid); }
};

map_view view(const pstwrite::name_map_builder& b, format f) {
    pstwrite::nid_counter nids;
    auto node = b.build(nids);
    map_view v{ltpcheck::heap_of(node.data, f), {}};
    v.records = ltpcheck::read_pc(v.heap);
    return v;
}

TEST(LtpNameMap, NumericAndStringNamesFillTheStreams) {
    pstwrite::name_map_builder b(format::unicode);
    EXPECT_EQ(b.id_of({pstwrite::PSETID_Common, 0x8580u}), 0x8000);
    EXPECT_EQ(b.id_of({pstwrite::PS_PUBLIC_STRINGS, std::u16string(u"Keywords")}), 0x8001);
    EXPECT_EQ(b.id_of({pstwrite::PSETID_Address, std::u16string(u"x-a")}), 0x8002);
    EXPECT_EQ(b.id_of({pstwrite::PSETID_Common, 0x8580u}), 0x8000);  // the same name, the same id
    const auto v = view(b, format::unicode);
    EXPECT_EQ(v.records.at(0x0001).hnid, 251u);
    EXPECT_EQ(v.value(0x0002), hex("08200600 0000 0000 C000000000000046"
                                   "04200600 0000 0000 C000000000000046"));
    // LID 0x8580, wGuid 3 (first stream GUID) N=0 -> word 6; string at offset 0, wGuid 2 N=1 -> 5; offset 20, wGuid 4
    EXPECT_EQ(v.value(0x0003), hex("80850000 0600 0000  00000000 0500 0100  14000000 0900 0200"));
    // Each string after its byte length, the next one at a 4-byte boundary.
    const auto strings = mftest::concat(
        {hex("10000000"), ltpcheck::u16_bytes(u"Keywords"), hex("06000000"), ltpcheck::u16_bytes(u"x-a"), hex("0000")});
    EXPECT_EQ(v.value(0x0004), strings);
    // Numeric name: hash = LID, bucket (0x8580 ^ 6) % 251.
    EXPECT_EQ(v.value(static_cast<std::uint16_t>(0x1000 + (0x8580 ^ 6) % 251)), hex("80850000 0600 0000"));
    // String name: hash = CRC of the UTF-16LE name.
    const std::uint32_t crc = ltpcheck::slow_crc(ltpcheck::u16_bytes(u"Keywords"));
    const auto entry = mftest::concat({mftest::le(crc, 4), hex("0500 0100")});
    EXPECT_EQ(v.value(static_cast<std::uint16_t>(0x1000 + (crc ^ 5) % 251)), entry);
}

TEST(LtpNameMap, CollidingNamesShareOneBucket) {
    pstwrite::name_map_builder b(format::ansi, 1);
    for (std::uint32_t lid = 0x8100; lid < 0x8103; ++lid) b.id_of({pstwrite::PSETID_Appointment, lid});
    const auto v = view(b, format::ansi);
    EXPECT_EQ(v.records.at(0x0001).hnid, 1u);
    EXPECT_EQ(v.value(0x1000), hex("00810000 0600 0000 01810000 0600 0100 02810000 0600 0200"));
    EXPECT_FALSE(v.records.contains(0x1001));
}

TEST(LtpNameMap, BucketOfPredictsWhereAnEntryLands) {
    pstwrite::name_map_builder b(format::unicode, 7);
    const pstwrite::named_property a{pstwrite::PSETID_Common, std::u16string(u"alpha")};
    const auto bucket = b.bucket_of(a);
    b.id_of(a);
    const auto v = view(b, format::unicode);
    EXPECT_TRUE(v.records.contains(static_cast<std::uint16_t>(0x1000 + bucket)));
}

}  // namespace
