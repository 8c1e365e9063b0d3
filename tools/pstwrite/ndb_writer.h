#pragma once
// ndb_writer.h: writes the node database of a PST file (header, allocation maps, NBT/BBT pages, data blocks,
// data trees and subnode trees), streaming blocks to the output as nodes arrive so memory stays flat.
// Not thread-safe; one writer makes one file. The layout it reports names the file offset of every structure so
// tests can damage exact bytes.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <unordered_map>
#include <utility>
#include <vector>

namespace pstwrite {

enum class format { ansi, unicode };
enum class crypt { none, permute, cyclic };

// The most data bytes one block holds: 8180 ANSI, 8176 Unicode. Heap pages are padded to exactly this.
std::size_t max_block_data(format f);

// A data stream that is already in the file (see ndb_writer::begin_data): the root block id and the byte count.
// bid 0 is the empty stream.
struct data_ref {
    std::uint64_t bid = 0;
    std::uint64_t size = 0;
};

// A node inside another node's subnode tree.
struct subnode {
    subnode() = default;
    subnode(std::uint32_t id, std::vector<std::byte> bytes, std::vector<subnode> kids = {})
        : nid(id), data(std::move(bytes)), children(std::move(kids)) {}
    // Data already written with write_data or begin_data/end_data.
    subnode(std::uint32_t id, data_ref written, std::vector<subnode> kids = {})
        : nid(id), children(std::move(kids)), streamed(written) {}

    std::uint32_t nid = 0;
    std::vector<std::byte> data;       // any size: split into blocks, XBLOCK, XXBLOCK as needed
    std::vector<subnode> children;     // its own subnode tree
    std::optional<data_ref> streamed;  // when set, used instead of `data`
};

// Where one block landed.
struct block_place {
    std::uint64_t bid = 0;   // with bit 1 set for internal blocks
    std::uint64_t ib = 0;    // file offset of the block's first byte
    std::uint16_t cb = 0;    // data bytes, without padding and trailer
    std::uint32_t size = 0;  // bytes on disk: data, padding and trailer
};

// Where one node (or subnode) landed.
struct node_place {
    std::uint32_t nid = 0;
    std::uint32_t parent_nid = 0;  // 0 for subnodes
    std::uint64_t bid_data = 0;    // root of the data tree (0 never happens: an empty stream is a block with cb 0)
    std::uint64_t bid_sub = 0;     // root of the subnode tree, 0 when there is none
    std::vector<std::uint64_t> data_blocks;     // external blocks of the data stream, in stream order
    std::vector<std::uint64_t> tree_blocks;     // XXBLOCK first, then XBLOCKs, in order; empty for one block
    std::vector<std::uint64_t> subnode_blocks;  // SIBLOCK first, then SLBLOCKs
    std::vector<node_place> subnodes;           // sorted by nid
};

enum class tree { nbt, bbt };

// Where one B-tree page landed.
struct page_place {
    tree which = tree::nbt;
    std::uint64_t bid = 0;
    std::uint64_t ib = 0;
    std::uint8_t level = 0;  // 0 = leaf
    std::uint8_t entries = 0;
};

struct layout {
    format fmt = format::unicode;
    crypt enc = crypt::none;
    std::uint64_t file_size = 0;
    // Offsets inside the header.
    std::uint64_t crc_partial_offset = 0;
    std::uint64_t crc_full_offset = 0;  // Unicode only; 0 for ANSI
    std::uint64_t nbt_root_bref_offset = 0;
    std::uint64_t bbt_root_bref_offset = 0;
    std::uint64_t file_eof_offset = 0;
    page_place nbt_root;
    page_place bbt_root;
    std::vector<page_place> pages;          // every BT page, leaves first, in file order
    std::vector<std::uint64_t> amap_pages;  // file offsets of the AMap pages
    std::vector<std::uint64_t> pmap_pages;  // file offsets of the PMap pages
    std::vector<block_place> blocks;        // every block, sorted by bid (the BBT's leaf entries)
    std::vector<node_place> nodes;          // every top-level node, sorted by nid (the NBT's leaf entries)

    const block_place* find_block(std::uint64_t bid) const;  // null when absent
    const node_place* find_node(std::uint32_t nid) const;    // top-level nodes only; null when absent
};

class output_sink;  // where the bytes go: a buffered file or memory
namespace ndb_format {
struct sizes;
}

// Collects a data stream that arrives in pieces; full blocks go to the file at once, so a 2 GB attachment never
// sits in memory whole. Finish with ndb_writer::end_data. Only one open stream per writer at a time is needed,
// but several may be open.
class data_stream {
public:
    void append(std::span<const std::byte> bytes);
    std::uint64_t size() const { return m_size; }

private:
    friend class ndb_writer;
    std::vector<std::byte> m_pending;         // the block being filled
    std::vector<std::uint64_t> m_block_bids;  // blocks already written
    std::uint64_t m_size = 0;
    class ndb_writer* m_writer = nullptr;
};

class ndb_writer {
public:
    ndb_writer(format f, crypt c, std::filesystem::path out);  // to a file
    ndb_writer(format f, crypt c);                             // to memory: take the bytes with finish_to_memory()
    ~ndb_writer();
    ndb_writer(const ndb_writer&) = delete;
    ndb_writer& operator=(const ndb_writer&) = delete;

    format fmt() const { return m_format; }

    // Adds a top-level node. Nodes may come in any nid order; finish throws std::invalid_argument for a nid
    // given twice.
    void add_node(std::uint32_t nid, std::uint32_t parent_nid, std::span<const std::byte> data,
                  const std::vector<subnode>& subnodes = {});
    // The same with a data stream already written through write_data or begin_data/end_data.
    void add_written_node(std::uint32_t nid, std::uint32_t parent_nid, data_ref data,
                          const std::vector<subnode>& subnodes = {});

    // Writes a whole data stream now and returns where it is; for subnode::streamed or add_written_node.
    data_ref write_data(std::span<const std::byte> data);
    // A stream in pieces: begin_data, append any number of times, end_data.
    data_stream begin_data();
    data_ref end_data(data_stream& stream);

    // Header rgnid[nid_type]: the last nid index handed out. Defaults are Outlook's initial values, raised to the
    // highest index among the nodes and subnodes added; this call sets it explicitly (never lowered by later nodes).
    void set_next_nid_index(std::uint32_t nid_type, std::uint32_t last_index);

    // Per-node detail in where().nodes costs memory in proportion to the node count. A generator writing
    // millions of nodes may turn it off (before adding nodes); blocks, pages and header offsets are still reported.
    void set_node_layout(bool keep) { m_keep_nodes = keep; }

    void finish();                              // file mode: writes the trees, maps and header and closes the file
    std::vector<std::byte> finish_to_memory();  // memory mode

    // Complete after finish; while writing it holds the blocks and nodes so far.
    const layout& where() const { return m_layout; }

private:
    friend class data_stream;
    struct nbt_entry {
        std::uint32_t nid;
        std::uint32_t parent;
        std::uint64_t bid_data;
        std::uint64_t bid_sub;
    };
    struct stream_blocks {
        std::vector<std::uint64_t> data;
        std::vector<std::uint64_t> tree;
    };
    void start();
    void enter_interval(std::uint64_t k);
    std::uint64_t allocate(std::uint64_t size, std::uint64_t align);
    std::uint64_t put_block(std::span<const std::byte> data, bool internal);
    data_ref build_data_tree(std::vector<std::uint64_t> block_bids, std::uint64_t size);
    void take_stream(data_ref ref, node_place& place);
    std::uint64_t build_subnode_tree(const std::vector<subnode>& subnodes, node_place& place);
    void note_nid(std::uint32_t nid);
    page_place write_page(tree which, std::uint8_t level, std::span<const std::byte> entries, std::uint8_t count);
    page_place write_tree(tree which);
    void write_maps_and_header();
    void finish_common();

    format m_format;
    crypt m_crypt;
    const ndb_format::sizes* m_sizes;
    std::unique_ptr<output_sink> m_out;
    std::uint64_t m_cursor = 0;                                  // next free file offset
    std::vector<std::byte> m_block_buf;                          // one block being assembled
    std::vector<std::vector<std::uint8_t>> m_amap_bits;          // one bitmap per AMap interval so far
    std::unordered_map<std::uint64_t, stream_blocks> m_streams;  // streams written but not yet used by a node
    std::uint64_t m_next_block_index = 1;
    std::uint64_t m_next_page_bid = 1;
    std::uint32_t m_rgnid[32] = {};
    bool m_rgnid_fixed[32] = {};
    std::vector<nbt_entry> m_nbt;
    layout m_layout;
    bool m_finished = false;
    bool m_keep_nodes = true;
};

}  // namespace pstwrite
