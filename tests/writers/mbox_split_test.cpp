#include "writers/mbox_split.h"

#include <gtest/gtest.h>

#include <tuple>

namespace mailferry {
namespace {

TEST(MboxSplit, DecidesFromLengthAndOnePointFourTimesTheStoredSize) {
    // file length, message size, limit in MB, split?
    const std::tuple<std::uint64_t, std::uint64_t, std::int64_t, bool> cases[] = {
        {500000, 400000, 1, true},   // 500,000 + 560,000 > 1,048,576
        {500000, 300000, 1, false},  // 500,000 + 420,000 fits
        {800000, 400000, 1, true},   // the third 400,000-byte message of a folder
        {0, 5000000, 1, false},      // nothing written yet: no empty first part
        {1, 5000000, 1, true},
        {1, 1, 0, false},                   // no limit
        {3000000000ULL, 1000, 2048, true},  // limits from 2048 MB on do not wrap
        {2000000000ULL, 1000, 2048, false},
    };
    for (const auto& [length, size, limit, expected] : cases)
        EXPECT_EQ(MboxNeedsSplit(length, size, limit), expected) << length << " " << size << " " << limit;
}

TEST(MboxSplit, NamesPartsAfterTheFileWithoutItsExtension) {
    EXPECT_EQ(MboxPartPath("out/Inbox.mbox", 0), "out/Inbox_Part_0.mbox");
    EXPECT_EQ(MboxPartPath("out/Read Mails.mbox", 12), "out/Read Mails_Part_12.mbox");
}

}  // namespace
}  // namespace mailferry
