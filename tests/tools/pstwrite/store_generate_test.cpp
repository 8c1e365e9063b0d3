// The generator, the demo store and the calendar helpers: files open in the reader's node database, every message
// the folder tables list reads with all its subnodes, and a seed always gives the same bytes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include <unistd.h>

#include "pstcore/ndb/database.h"
#include "pstcore/ndb/node.h"
#include "pstcore/tables/property_bag.h"
#include "pstcore/tables/table.h"
#include "pstwrite/demo.h"
#include "pstwrite/generate.h"
#include "pstwrite/store_items.h"
#include "support/test_helpers.h"

namespace {

using bytes = std::vector<std::byte>;
using pstwrite::format;

// A temporary file name no other test process uses at the same time (ctest runs tests in parallel).
std::filesystem::path temp_file(const std::string& what) {
    return std::filesystem::temp_directory_path() / ("mf_pstwrite_" + std::to_string(::getpid()) + "_" + what + ".pst");
}

bytes slurp(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::vector<char> c((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    bytes b(c.size());
    std::memcpy(b.data(), c.data(), c.size());
    return b;
}

// Row ids of a table node.
std::vector<std::uint32_t> row_ids(const pstcore::node& n) {
    const auto table = pstcore::open_table(n);
    std::vector<std::uint32_t> ids;
    for (std::uint32_t r = 0; r < table.size(); ++r) ids.push_back(table.get_row_id(r));
    return ids;
}

struct walk_result {
    std::size_t folders = 0, messages = 0, subnodes = 0;
};

// Follows hierarchy tables from the IPM subtree and contents tables to every message, reading every subnode.
walk_result walk_store(pstcore::db_context& db) {
    walk_result w;
    // A message, its subnodes and theirs, each read whole; the message's properties parse.
    std::function<void(const pstcore::node&, int)> read_tree = [&](const pstcore::node& n, int depth) {
        mftest::read_all(n);
        if (depth == 0) {
            EXPECT_FALSE(pstcore::property_bag(n).get_prop_list().empty());
        }
        if (depth == 2) return;
        for (const auto& s : n.subnodes()) {
            ++w.subnodes;
            read_tree(n.lookup(s.id), depth + 1);
        }
    };
    std::function<void(std::uint32_t)> folder = [&](std::uint32_t nid) {
        ++w.folders;
        for (auto child : row_ids(db.lookup_node((nid & ~0x1Fu) | 0x0D))) folder(child);
        for (auto m : row_ids(db.lookup_node((nid & ~0x1Fu) | 0x0E))) {
            ++w.messages;
            auto node = db.lookup_node(m);
            EXPECT_EQ(node.get_parent_id(), nid);
            read_tree(node, 0);
        }
    };
    folder(0x8022);
    return w;
}

class generate_test : public ::testing::TestWithParam<format> {};

TEST_P(generate_test, SameSeedSameBytesAndEveryMessageReads) {
    pstwrite::generate_options o;
    o.fmt = GetParam();
    o.enc = pstwrite::crypt::cyclic;
    o.folders = 2;
    o.messages = 30;
    o.body_bytes = 700;
    o.attachments_per_message = 2;
    o.attachment_bytes = 9000;  // two blocks: an XBLOCK per attachment
    o.seed = 5;
    const std::string tag = GetParam() == format::unicode ? "unicode" : "ansi";
    const auto a = temp_file(tag + "_a"), b = temp_file(tag + "_b");
    pstwrite::generate(o, a);
    pstwrite::generate(o, b);
    const bytes first = slurp(a);
    EXPECT_EQ(first, slurp(b));
    auto db = pstcore::open_database(first);
    const auto w = walk_store(*db);
    EXPECT_EQ(w.folders, 1u + 1 + 2 + 2);      // IPM subtree, Deleted Items, two mail folders, contacts, calendar
    EXPECT_EQ(w.messages, 30u + 5 + 5);        // mail, then at least five contacts and five appointments
    EXPECT_GE(w.subnodes, 30u * (2 + 2 * 2));  // tables, attachments and their data
    // Another seed gives other bytes; attachments above the streaming threshold read back whole.
    o.seed = 6;
    o.attachment_bytes = 300 * 1024;
    pstwrite::generate(o, b);
    const bytes other = slurp(b);
    EXPECT_NE(first, other);
    const auto other_db = pstcore::open_database(other);
    const auto message = other_db->lookup_node(0x200024);
    std::size_t big = 0;
    for (const auto& s : message.subnodes())
        if ((s.id & 0x1F) == 0x05)
            for (const auto& g : message.lookup(s.id).subnodes())
                big = std::max<std::size_t>(big, message.lookup(s.id).lookup(g.id).size());
    EXPECT_EQ(big, 300u * 1024);
    std::filesystem::remove(a);
    std::filesystem::remove(b);
}

INSTANTIATE_TEST_SUITE_P(Formats, generate_test, ::testing::Values(format::unicode, format::ansi));

TEST(StoreDemo, FriendlyFoldersOpenAndRead) {
    const auto path = temp_file("demo");
    pstwrite::write_demo(path);
    auto db = pstcore::open_database(slurp(path));
    std::filesystem::remove(path);
    const auto w = walk_store(*db);
    EXPECT_EQ(w.folders, 7u);  // subtree, Deleted Items, Inbox, Projects, Sent Items, Contacts, Calendar
    EXPECT_EQ(w.messages, 6u + 4 + 3);
    const auto folders = row_ids(db->lookup_node(0x802D));
    EXPECT_EQ(pstcore::property_bag(db->lookup_node(folders.back())).get_value_variable(0x3001),
              mftest::utf16(u"Calendar"));
}

TEST(StoreItems, WeeklyRecurrenceBlob) {
    // Monday 2024-03-04 09:00-10:00, every week, no end. StartDate 0x0D441800 = 222566400 minutes since 1601.
    const auto blob =
        pstwrite::weekly_recurrence(pstwrite::filetime(2024, 3, 4, 9), pstwrite::filetime(2024, 3, 4, 10));
    EXPECT_EQ(blob, mftest::hex_bytes("0430 0430 0B20 0100 0000 C0210000 01000000 00000000 02000000"
                                      "23200000 0A000000 00000000 00000000 00000000 0018440D DF80E95A"
                                      "06300000 09300000 1C020000 58020000 0000 00000000 00000000"));
}

}  // namespace
