// The column sets were typed from notes; here they are compared with the template tables of a real Outlook store,
// so a wrong tag, offset, width or bit cannot hide in both the writer and a reader written against it.
#include <gtest/gtest.h>

#include "ltp_check.h"
#include "pstcore/ndb/database.h"
#include "pstcore/ndb/node.h"
#include "pstwrite/store_columns.h"
#include "support/corpus.h"

namespace {

ltpcheck::heap heap_of(const pstcore::node& n) {
    ltpcheck::heap h;
    for (std::size_t p = 0; p < n.get_page_count(); ++p) {
        ltpcheck::bytes page(n.get_page_size(p));
        n.read(page, p, 0);
        h.pages.push_back(std::move(page));
    }
    return h;
}

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
        auto real = ltpcheck::read_tcinfo(heap_of(db->lookup_node(nid))).columns;
        auto ours = pstwrite::column_set(kind, pstwrite::format::unicode);
        std::sort(real.begin(), real.end(), [](auto& a, auto& b) { return a.tag < b.tag; });
        std::sort(ours.begin(), ours.end(), [](auto& a, auto& b) { return a.tag < b.tag; });
        ASSERT_EQ(real.size(), ours.size());
        for (std::size_t i = 0; i < ours.size(); ++i) {
            EXPECT_EQ(real[i].tag, ours[i].tag);
            EXPECT_EQ(real[i].ib, ours[i].ib);
            EXPECT_EQ(real[i].cb, ours[i].cb);
            EXPECT_EQ(real[i].ibit, ours[i].ibit);
        }
    }
}

}  // namespace
