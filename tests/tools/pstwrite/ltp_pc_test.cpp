// Property contexts: where each kind of value goes (in the record, in the heap, in a subnode) and how it is stored.
#include <gtest/gtest.h>

#include "ltp_check.h"
#include "pstwrite/ltp_namemap.h"
#include "pstwrite/ltp_pc.h"

namespace {

using ltpcheck::hex;
using pstwrite::format;
namespace prop = pstwrite::prop;

TEST(LtpPc, ValuesGoInlineInTheHeapOrInSubnodes) {
    pstwrite::pc_builder pc(format::unicode);
    pc.set(0x0017, prop::i32(-2));
    pc.set(0x0036, prop::i16(0x1234));
    pc.set(0x0057, prop::boolean(true));
    pc.set(0x0E0A, prop::error(0x8004010F));
    pc.set(0x3FDE, prop::r4(1.5f));
    pc.set(0x0E06, prop::time(0x01D7000000000001ull));
    pc.set(0x0037, prop::unicode(u"Hi"));
    pc.set(0x1000, prop::unicode(u""));
    pc.set(0x3701, prop::binary(pstwrite::bytes(5000, std::byte{7})));
    pstwrite::nid_counter nids;
    const auto node = pc.build(nids);
    const auto h = ltpcheck::heap_of(node.data, format::unicode);
    EXPECT_EQ(h.client(), 0xBC);
    EXPECT_EQ(h.user_root(), 0x20u);  // the BTH header comes first, as in Outlook's files
    EXPECT_EQ(h.item(0x20).at(1), std::byte{2});
    EXPECT_EQ(h.item(0x20).at(2), std::byte{6});
    const auto records = ltpcheck::read_pc(h);
    ASSERT_EQ(records.size(), 9u);
    EXPECT_EQ(records.at(0x0017).type, 0x0003);
    EXPECT_EQ(records.at(0x0017).hnid, 0xFFFFFFFEu);
    EXPECT_EQ(records.at(0x0036).hnid, 0x1234u);
    EXPECT_EQ(records.at(0x0057).hnid, 1u);
    EXPECT_EQ(records.at(0x0E0A).hnid, 0x8004010Fu);
    EXPECT_EQ(records.at(0x3FDE).hnid, 0x3FC00000u);
    EXPECT_EQ(h.item(records.at(0x0E06).hnid), hex("0100000000 00D701"));
    EXPECT_EQ(h.item(records.at(0x0037).hnid), hex("4800 6900"));  // UTF-16LE, no terminator
    EXPECT_EQ(records.at(0x1000).hnid, 0u);                        // empty: no item at all
    const auto big = records.at(0x3701).hnid;
    EXPECT_EQ(big & 0x1F, 0x1Fu);  // a subnode nid, not a HID
    ASSERT_EQ(node.subnodes.size(), 1u);
    EXPECT_EQ(node.subnodes[0].nid, big);
    EXPECT_EQ(node.subnodes[0].data, pstwrite::bytes(5000, std::byte{7}));
    EXPECT_EQ(big, 0x803Fu);  // Outlook's first LTP subnode id
}

TEST(LtpPc, MultiValuedLayouts) {
    pstwrite::pc_builder pc(format::ansi);
    pc.set(0x8001, prop::mv_unicode({u"a", u"bc"}));
    pc.set(0x8002, prop::mv_i32({1, -1}));
    pc.set(0x8003, prop::mv_binary({hex("AABB"), {}, hex("CC")}));
    pc.set(0x8004, prop::string8("caf\xE9", 1252));
    pc.set(0x8005, prop::clsid(pstwrite::PSETID_Common));
    pstwrite::nid_counter nids;
    const auto h = ltpcheck::heap_of(pc.build(nids).data, format::ansi);
    const auto r = ltpcheck::read_pc(h);
    EXPECT_EQ(r.at(0x8001).type, 0x101F);
    // count, offsets from the start of the value, then the values
    EXPECT_EQ(h.item(r.at(0x8001).hnid), hex("02000000 0C000000 0E000000 6100 62006300"));
    EXPECT_EQ(h.item(r.at(0x8002).hnid), hex("01000000 FFFFFFFF"));
    EXPECT_EQ(h.item(r.at(0x8003).hnid), hex("03000000 10000000 12000000 12000000 AABB CC"));
    EXPECT_EQ(r.at(0x8004).type, 0x001E);
    EXPECT_EQ(h.item(r.at(0x8004).hnid), hex("636166E9"));
    EXPECT_EQ(h.item(r.at(0x8005).hnid), hex("08200600 0000 0000 C000000000000046"));
}

TEST(LtpPc, SubnodeThresholdMovesSmallValuesOut) {
    pstwrite::pc_builder pc(format::unicode);
    pc.set(0x1000, prop::unicode(u"tiny"));
    pc.set_subnode_threshold(4);
    pstwrite::nid_counter nids;
    const auto node = pc.build(nids);
    const auto r = ltpcheck::read_pc(ltpcheck::heap_of(node.data, format::unicode));
    ASSERT_EQ(node.subnodes.size(), 1u);
    EXPECT_EQ(r.at(0x1000).hnid, node.subnodes[0].nid);
    EXPECT_EQ(node.subnodes[0].data, ltpcheck::u16_bytes(u"tiny"));
}

TEST(LtpPc, ManyPropertiesSpillIntoIndexLevelsAndPages) {
    pstwrite::pc_builder pc(format::unicode);
    for (std::uint16_t id = 0x8000; id < 0x8000 + 600; ++id)
        pc.set(id, prop::binary(pstwrite::bytes(40, std::byte(id))));
    pstwrite::nid_counter nids;
    const auto h = ltpcheck::heap_of(pc.build(nids).data, format::unicode);
    EXPECT_GT(h.pages.size(), 3u);
    const auto info = ltpcheck::read_bth(h, h.user_root());
    EXPECT_EQ(info.levels, 1u);  // 447 records per leaf item
    const auto r = ltpcheck::read_pc(h);
    ASSERT_EQ(r.size(), 600u);
    EXPECT_EQ(h.item(r.at(0x8000 + 599).hnid), pstwrite::bytes(40, std::byte((0x8000 + 599) & 0xFF)));
}

}  // namespace
