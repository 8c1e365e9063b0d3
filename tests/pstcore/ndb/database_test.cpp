#include "pstcore/ndb/database.h"

#include <gtest/gtest.h>

#include <dirent.h>

#include <filesystem>
#include <fstream>

#include "ndb_image.h"
#include "pstcore/ndb/exceptions.h"

namespace pstcore {
namespace {

using ndbtest::image;

// A minimal sound file: one node with one block.
image small_file(bool unicode, std::uint16_t version = 0) {
    image img(unicode, 0, 0x10000, version);
    const auto b = img.put_block(0x4, ndbtest::filled(100));
    img.finish({b}, {{0x21, 0x4, 0, 0}});
    return img;
}

template <typename E>
std::string open_failure(std::vector<std::byte> bytes) {
    return mftest::failure_of<E>([&] { open_database(std::move(bytes)); });
}

struct VersionCase {
    std::uint16_t version;
    bool unicode_layout;
};

class HeaderVersion : public ::testing::TestWithParam<VersionCase> {};

TEST_P(HeaderVersion, ChoosesTheFormatByVersionAlone) {
    auto img = small_file(GetParam().unicode_layout, GetParam().version);
    // Neither magic value is examined.
    img.put32(0, 0xDEADBEEF);
    img.fix_crcs();
    const auto db = open_database(img.raw());
    EXPECT_EQ(db->header_version(), GetParam().version);
    EXPECT_EQ(db->is_unicode(), GetParam().unicode_layout);
    EXPECT_EQ(db->lookup_node(0x21).size(), 100u);
}

INSTANTIATE_TEST_SUITE_P(Versions, HeaderVersion,
                         ::testing::Values(VersionCase{14, false}, VersionCase{15, false}, VersionCase{20, true},
                                           VersionCase{23, true}));

TEST(Header, FullCrcMattersOnlyInUnicodeFiles) {
    auto ansi = small_file(false);
    ansi.put32(524, 0x12345678);  // inside the ANSI header's reserved bytes beyond the partial CRC's reach
    EXPECT_NO_THROW(open_database(ansi.raw()));

    auto unicode = small_file(true);
    unicode.put32(524, unicode.raw()[524] == std::byte{0} ? 1 : 0);
    EXPECT_EQ(open_failure<crc_fail>(unicode.raw()), "header dwCRCFull failure");
}

TEST(Header, PartialCrcFailureCarriesBothValues) {
    auto img = small_file(true);
    img.put8(100, 0x55);  // inside the partial CRC's range; the stored CRCs are now stale
    try {
        open_database(img.raw());
        FAIL();
    } catch (const crc_fail& e) {
        EXPECT_STREQ(e.what(), "header dwCRCPartial failure");
        EXPECT_EQ(e.location(), 0u);
        EXPECT_NE(e.computed_crc(), e.stored_crc());
    }
}

TEST(Header, ShortFilesFailToRead) {
    EXPECT_EQ(open_failure<std::out_of_range>(std::vector<std::byte>(511)), "fread failed");
    // 512 bytes are enough for an ANSI header, not for a Unicode one.
    auto ansi = small_file(false).raw();
    ansi.resize(540);
    EXPECT_NO_THROW(open_database(ansi));
    auto unicode = small_file(true).raw();
    unicode.resize(540);
    EXPECT_EQ(open_failure<std::out_of_range>(unicode), "fread failed");
}

TEST(Header, MissingFileFailsToOpen) {
    EXPECT_EQ(mftest::failure_of<std::runtime_error>([] { open_database("/nonexistent/file.pst"); }), "fopen failed");
}

int open_descriptors() {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) (void)entry, ++count;
    return count;
}

TEST(Lifetime, FileClosesWhenTheLastObjectReadFromItGoes) {
    const auto path = std::filesystem::temp_directory_path() / "mf_ndb_lifetime.pst";
    {
        auto img = small_file(true);
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(img.raw().data()), static_cast<std::streamsize>(img.raw().size()));
    }
    const int before = open_descriptors();
    std::weak_ptr<db_context> watch;
    {
        auto db = open_database(path.string());
        watch = db;
        // Fill both root caches and walk the trees, as every reader does.
        auto node = db->lookup_node(0x21);
        std::vector<std::byte> buf(10);
        node.read(buf, 0);
        auto root = db->read_nbt_root();
        db.reset();
        // Anything read from the file keeps it open...
        EXPECT_FALSE(watch.expired());
        EXPECT_EQ(root->lookup(0x21).data_bid, 0x4u);
        node.read(buf, 0);
    }
    // ...and once nothing is left, the file is closed.
    EXPECT_TRUE(watch.expired());
    EXPECT_EQ(open_descriptors(), before);
    std::filesystem::remove(path);
}

TEST(Lifetime, TwoOpensAreIndependent) {
    auto img = small_file(false);
    auto a = open_database(img.raw());
    auto b = open_database(img.raw());
    EXPECT_NE(a.get(), b.get());
    a.reset();
    EXPECT_EQ(b->lookup_node(0x21).size(), 100u);
}

}  // namespace
}  // namespace pstcore
