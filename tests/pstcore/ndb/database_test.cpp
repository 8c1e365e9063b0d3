#include "pstcore/ndb/database.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "pstcore/ndb/exceptions.h"
#include "pstcore/ndb/source.h"
#include "written_file.h"

namespace pstcore {
namespace {

using ndbtest::bytes;
using ndbtest::format;

// A minimal sound file: one node with one block.
ndbtest::file small_file(bool unicode, std::uint16_t version = 0) {
    auto f =
        ndbtest::write(unicode ? format::unicode : format::ansi, ndbtest::crypt::none, {{0x21, ndbtest::filled(100)}});
    if (version) f.put(10, version, 2);
    f.fix_header_crcs();
    return f;
}

struct VersionCase {
    std::uint16_t version;
    bool unicode_layout;
};

class HeaderVersion : public ::testing::TestWithParam<VersionCase> {};

TEST_P(HeaderVersion, ChoosesTheFormatByVersionAlone) {
    auto img = small_file(GetParam().unicode_layout, GetParam().version);
    // Neither magic value is examined.
    img.put(0, 0xDEADBEEF, 4);
    img.fix_header_crcs();
    const auto db = open_database(img.raw);
    EXPECT_EQ(db->header_version(), GetParam().version);
    EXPECT_EQ(db->is_unicode(), GetParam().unicode_layout);
    EXPECT_EQ(db->lookup_node(0x21).size(), 100u);
}

INSTANTIATE_TEST_SUITE_P(Versions, HeaderVersion,
                         ::testing::Values(VersionCase{14, false}, VersionCase{15, false}, VersionCase{20, true},
                                           VersionCase{23, true}));

// The Unicode header's full CRC (its failure is among the writer's damage tests) is no field of an ANSI header.
TEST(Header, FullCrcMattersOnlyInUnicodeFiles) {
    auto ansi = small_file(false);
    ansi.put(524, 0x12345678, 4);  // inside the ANSI header's reserved bytes beyond the partial CRC's reach
    EXPECT_NO_THROW(open_database(ansi.raw));
}

TEST(Header, ShortFilesFailToRead) {
    EXPECT_EQ(mftest::failure_of<std::out_of_range>([] { open_database(bytes(511)); }), "fread failed");
    // 512 bytes are enough for an ANSI header, not for a Unicode one.
    auto ansi = small_file(false).raw;
    ansi.resize(540);
    EXPECT_NO_THROW(open_database(ansi));
    auto unicode = small_file(true).raw;
    unicode.resize(540);
    EXPECT_EQ(mftest::failure_of<std::out_of_range>([&] { open_database(unicode); }), "fread failed");
}

TEST(Header, MissingFileFailsToOpen) {
    EXPECT_EQ(mftest::failure_of<std::runtime_error>([] { open_database("/nonexistent/file.pst"); }), "fopen failed");
}

// Descriptors this process holds open, and memory maps of `path`.
std::pair<int, int> open_handles(const std::filesystem::path& path) {
    int descriptors = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) (void)entry, ++descriptors;
    int maps = 0;
    std::ifstream in("/proc/self/maps");
    for (std::string line; std::getline(in, line);) maps += line.find(path.string()) != std::string::npos;
    return {descriptors, maps};
}

std::filesystem::path write_temp(const std::string& name, const bytes& data) {
    const auto path = std::filesystem::temp_directory_path() / (name + "-" + std::to_string(::getpid()) + ".pst");
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    return path;
}

TEST(Lifetime, FileClosesWhenTheLastObjectReadFromItGoes) {
    const auto file = small_file(true);
    const auto path = write_temp("mf_ndb_lifetime", file.raw);
    const auto before = open_handles(path);
    for (const file_access access : {file_access::read, file_access::map}) {
        std::weak_ptr<db_context> watch;
        {
            auto db = open_database(std::shared_ptr<source>(open_file_source(path.string(), access)));
            watch = db;
            // Fill both root caches and walk the trees, as every reader does.
            auto node = db->lookup_node(0x21);
            bytes buf(10);
            node.read(buf, 0);
            auto root = db->read_nbt_root();
            db.reset();
            // Anything read from the file keeps it open...
            EXPECT_FALSE(watch.expired());
            EXPECT_EQ(root->lookup(0x21).data_bid, file.node(0x21).bid_data);
            node.read(buf, 0);
        }
        // ...and once nothing is left, the file is closed and unmapped.
        EXPECT_TRUE(watch.expired());
        EXPECT_EQ(open_handles(path), before);
    }
    std::filesystem::remove(path);
}

// Positioned reads (which read ahead while the reader goes on), a memory map and memory give the same bytes: a node
// of 300 blocks read from end to end in pieces of an awkward size, with scattered reads of another node in between.
// The cyclic encoding makes every piece that starts inside a block decode from the right place in its key.
TEST(Source, EveryWayOfReadingGivesTheSameBytes) {
    bytes data;
    for (std::uint64_t i = 0; i < 300; ++i) {
        const auto part = ndbtest::filled(8176, static_cast<std::uint8_t>(i));
        data.insert(data.end(), part.begin(), part.end());
    }
    const auto img =
        ndbtest::write(format::unicode, ndbtest::crypt::cyclic, {{0x21, data}, {0x41, ndbtest::filled(100, 9)}});
    const auto path = write_temp("mf_ndb_sources", img.raw);

    const std::vector<std::shared_ptr<source>> sources = {open_file_source(path.string(), file_access::read),
                                                          open_file_source(path.string(), file_access::map),
                                                          make_memory_source(img.raw)};
    for (const auto& src : sources) {
        const auto db = open_database(src);
        const auto n = db->lookup_node(0x21);
        bytes all(data.size());
        for (std::size_t at = 0, step = 3001; at < all.size(); at += step) {
            n.read(std::span(all).subspan(at, std::min(step, all.size() - at)), at);
            if (at % 5 == 0) {
                EXPECT_EQ(mftest::read_all(db->lookup_node(0x41)), ndbtest::filled(100, 9));
            }
        }
        EXPECT_EQ(all, data);
    }
    std::filesystem::remove(path);
}

// Opening a FIFO would wait for a writer, and a folder or a device is no PST file: all are refused before anything
// is opened.
TEST(Source, RefusesWhatIsNotARegularFile) {
    const auto dir = std::filesystem::temp_directory_path() / ("mf_ndb_irregular-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto fifo = dir / "fifo.pst";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::filesystem::path& path : {dir, fifo, std::filesystem::path("/dev/null")})
        EXPECT_EQ(mftest::failure_of<std::runtime_error>([&] { open_database(path.string()); }), "not a regular file")
            << path;
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace pstcore
