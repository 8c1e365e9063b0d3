// What reading back cannot show: the bytes a published vector fixes and refusal of a duplicate node. Headers,
// pages, blocks, streamed data and file output are checked by reading the files back.

#include "pstwrite/ndb_writer.h"

#include <gtest/gtest.h>

#include "ndb_check.h"

namespace {

using pstwrite::crypt;
using pstwrite::format;

const std::vector<std::byte> none;

// Published vector: with permutation encoding a stored 0x00 reads as 0x47, so 0x47 is written as 0x00.
TEST(ndb_writer, PermutationStoresTheTableValue) {
    pstwrite::ndb_writer w(format::unicode, crypt::permute);
    w.add_node(0x21, 0, std::vector<std::byte>{std::byte{0x47}});
    const auto bytes = w.finish_to_memory();
    const auto* blk = w.where().find_block(w.where().find_node(0x21)->bid_data);
    ASSERT_NE(blk, nullptr);
    EXPECT_EQ(bytes[blk->ib], std::byte{0x00});
}

TEST(ndb_writer, RejectsADuplicateNodeOrSubnode) {
    pstwrite::ndb_writer w(format::unicode, crypt::none);
    w.add_node(0x21, 0, none);
    w.add_node(0x21, 0, none);
    EXPECT_THROW(w.finish_to_memory(), std::invalid_argument);
    pstwrite::ndb_writer w2(format::unicode, crypt::none);
    EXPECT_THROW(w2.add_node(0x21, 0, none, {{0x3F, none}, {0x3F, none}}), std::invalid_argument);
}

}  // namespace
