// The node database against the public sample files: tree sizes agree with the manifests, and every node and
// subnode of the readable files reads whole.

#include <gtest/gtest.h>

#include <array>

#include "pstcore/ndb/database.h"
#include "pstcore/ndb/exceptions.h"
#include "support/corpus.h"

namespace pstcore {
namespace {

std::size_t read_everything(const node& n, int depth = 0) {
    EXPECT_LT(depth, 16);
    std::array<std::byte, 8192> buffer;
    for (std::uint64_t at = 0; at < n.size();) at += n.read(buffer, at);
    std::size_t subnodes = 0;
    for (const auto& s : n.subnodes()) subnodes += 1 + read_everything(node(n, s), depth + 1);
    return subnodes;
}

TEST(Corpus, TreesMatchTheManifestsAndEveryNodeReads) {
    MF_REQUIRE_CORPUS();
    for (const auto& path : mftest::corpus_files()) {
        SCOPED_TRACE(path.filename().string());
        const auto manifest = mftest::load_manifest(path);
        if (path.filename() == "corrupt-header.pst") {
            try {
                open_database(path.string());
                ADD_FAILURE() << "opened";
            } catch (const crc_fail& e) {
                EXPECT_STREQ(e.what(), "header dwCRCPartial failure");
            }
            continue;
        }
        const auto db = open_database(path.string());
        EXPECT_EQ(db->header_version(), mftest::manifest_number(manifest, "header.wVer"));
        EXPECT_EQ(static_cast<std::uint64_t>(db->get_crypt_method()),
                  mftest::manifest_number(manifest, "bCryptMethod"));

        std::size_t blocks = 0;
        for ([[maybe_unused]] const auto& b : btree_range<block_id, block_info>(db->read_bbt_root())) ++blocks;
        EXPECT_EQ(blocks, mftest::manifest_number(manifest, "structure.bbt_entries"));

        std::size_t nodes = 0;
        for (const auto& info : btree_range<node_id, node_info>(db->read_nbt_root())) {
            ++nodes;
            EXPECT_NO_THROW(read_everything(node(db, info))) << std::hex << info.id;
        }
        EXPECT_EQ(nodes, mftest::manifest_number(manifest, "structure.nbt_entries"));
    }
}

}  // namespace
}  // namespace pstcore
