// The sample files: every property bag and table in them reads, and the tables hold the rows their manifests
// count. A file whose manifest records a parse failure is damaged and only has to fail cleanly.

#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "encoding/code_page_table.h"
#include "pstcore/ndb/database.h"
#include "pstcore/ndb/exceptions.h"
#include "pstcore/tables/property_bag.h"
#include "pstcore/tables/table.h"
#include "support/corpus.h"
#include "support/test_helpers.h"

namespace {

namespace types = pstcore::prop_types;
using boost::property_tree::ptree;

constexpr int kMaxDepth = 8;

bool damaged(const ptree& manifest) {
    return manifest.get_child_optional("primary_parse_error").has_value();
}

std::uint32_t hex_nid(const std::string& text) {
    return static_cast<std::uint32_t>(std::stoul(text, nullptr, 16));
}

// Reads one value the way its stored type says; throws what the readers throw.
void read_value(const pstcore::const_property_object& object, pstcore::prop_id id) {
    const pstcore::prop_type type = object.get_prop_type(id);
    if (pstcore::is_inline_type(type)) {
        object.get_value_4(id);
    } else if (type == types::systime) {
        object.read_time(id);
    } else if (pstcore::is_eight_byte_type(type)) {
        object.get_value_8(id);
    } else if (type == types::string8 || type == types::unicode) {
        object.read_wstring(id);
    } else if (type == types::multi_string8 || type == types::multi_unicode) {
        object.read_unistring_array(id);
    } else if (type == (types::multi_flag | types::binary)) {
        object.read_prop_array(id);
    } else {
        object.get_value_variable(id);
        object.size(id);
    }
}

struct read_counts {
    std::size_t bags = 0;
    std::size_t tables = 0;
    std::size_t values = 0;
};

std::optional<std::uint8_t> heap_client(const pstcore::node& node) {
    if (node.size() < 12 || node.read<std::uint8_t>(std::uint64_t{2}) != 0xEC) return std::nullopt;
    return node.read<std::uint8_t>(std::uint64_t{3});
}

void read_node(const pstcore::node& node, int depth, read_counts& counts) {
    const auto* cp1252 = mailferry::find_text_encoding(1252);
    const auto client = heap_client(node);
    SCOPED_TRACE(::testing::Message() << "node 0x" << std::hex << node.get_id());
    if (client == 0xBC) {
        pstcore::property_bag bag(node);
        bag.set_text_encoding(cp1252);
        ++counts.bags;
        for (const auto id : bag.get_prop_list()) {
            EXPECT_NO_THROW(read_value(bag, id)) << "property 0x" << std::hex << id;
            ++counts.values;
        }
    } else if (client == 0x7C && node.get_id() != 0x730) {
        const auto table = pstcore::open_table(node);
        ++counts.tables;
        for (auto row : table) {
            row.set_text_encoding(cp1252);
            for (const auto id : row.get_prop_list()) {
                EXPECT_NO_THROW(read_value(row, id)) << "row " << row.get_row() << " column 0x" << std::hex << id;
                ++counts.values;
            }
        }
    }
    if (depth >= kMaxDepth || node.get_sub_id() == 0) return;
    for (const auto& sub : node.subnodes()) read_node(pstcore::node(node, sub), depth + 1, counts);
}

class CorpusFile : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        MF_REQUIRE_CORPUS();
        m_path = mftest::corpus_dir() / GetParam();
        m_manifest = mftest::load_manifest(m_path);
        if (damaged(m_manifest)) {
            EXPECT_ANY_THROW({
                auto db = pstcore::open_database(m_path.string());
                for ([[maybe_unused]] const auto& info :
                     pstcore::btree_range<pstcore::node_id, pstcore::node_info>(db->read_nbt_root())) {
                }
                pstcore::property_bag(db->lookup_node(0x21));
            });
            GTEST_SKIP() << "damaged file";
        }
        m_db = pstcore::open_database(m_path.string());
    }

    // The row count of the table `open()` finds, or 0 when the node is not there.
    template <typename Open>
    static std::size_t rows_of(Open&& open) {
        try {
            return pstcore::open_table(open()).size();
        } catch (const pstcore::key_not_found<pstcore::node_id>&) {
            return 0;
        }
    }

    std::filesystem::path m_path;
    ptree m_manifest;
    std::shared_ptr<pstcore::db_context> m_db;
};

TEST_P(CorpusFile, EveryPropertyOfEveryNodeReads) {
    read_counts counts;
    for (const auto& info : pstcore::btree_range<pstcore::node_id, pstcore::node_info>(m_db->read_nbt_root()))
        read_node(pstcore::node(m_db, info), 0, counts);
    EXPECT_GT(counts.bags, 0u);
    EXPECT_GT(counts.tables, 0u);
    EXPECT_GT(counts.values, 0u);
}

TEST_P(CorpusFile, FolderTablesHaveTheManifestRowCounts) {
    for (const auto& [key, folder] : m_manifest.get_child("folders")) {
        const std::uint32_t nid = hex_nid(folder.get<std::string>("nid"));
        const std::uint32_t base = nid & ~0x1Fu;
        SCOPED_TRACE(folder.get<std::string>("path"));
        for (const auto& [suffix, field] :
             {std::pair{0x0D, "subfolder_count"}, std::pair{0x0E, "contents_table_rows"},
              std::pair{0x0F, "assoc_contents_table_rows"}, std::pair{0x10, "search_contents_table_rows"}})
            if (const auto rows = mftest::manifest_optional_number<std::size_t>(folder, field)) {
                EXPECT_EQ(rows_of([&] { return m_db->lookup_node(base | suffix); }), *rows) << field;
            }
    }
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusFile, ::testing::ValuesIn(mftest::corpus_names()), mftest::param_name);

}  // namespace
