#include "pstwrite/ndb_writer.h"

#include <gtest/gtest.h>

namespace {
TEST(NdbWriter, Smoke) {
    pstwrite::ndb_writer w(pstwrite::format::unicode, pstwrite::crypt::none);
    std::vector<std::byte> d(10, std::byte{1});
    w.add_node(0x21, 0, d);
    auto bytes = w.finish_to_memory();
    EXPECT_EQ(bytes.size(), 0x4400u + 253952u);
}
}  // namespace
