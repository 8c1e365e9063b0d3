#pragma once
// database.h: an open PST file — its header, and the reader of its pages, blocks and nodes. Opened with
// open_database(); always held by shared pointer, and everything read from it holds the database, so the file
// stays open (read-only) while anything read from it lives, and closes when the last such object goes.
// One database must be used by one thread at a time.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "pstcore/ndb/block.h"
#include "pstcore/ndb/node.h"
#include "pstcore/ndb/page.h"
#include "pstcore/ndb/types.h"

namespace pstcore {

class source;

class db_context : public std::enable_shared_from_this<db_context> {
public:
    virtual ~db_context() = default;

    // wVer: below 20 an ANSI file, 20 or more a Unicode file.
    virtual std::uint16_t header_version() const = 0;
    bool is_unicode() const { return header_version() >= 20; }
    virtual crypt_method get_crypt_method() const = 0;
    // ibFileEof: no page or block may reach past it.
    virtual std::uint64_t get_file_eof() const = 0;

    virtual node lookup_node(node_id nid) = 0;
    // Throws key_not_found<unsigned int> when the node is not in the node B-tree.
    virtual node_info lookup_node_info(node_id nid) = 0;
    // Block id 0 gives an all-zero record; bit 0 of the id is ignored. Throws key_not_found<unsigned long long>.
    virtual block_info lookup_block_info(block_id bid) = 0;

    // The root pages, read once and kept for the life of the database.
    virtual std::shared_ptr<bbt_page> read_bbt_root() = 0;
    virtual std::shared_ptr<nbt_page> read_nbt_root() = 0;

    virtual std::shared_ptr<bbt_page> read_bbt_page(const page_info& pi) = 0;
    virtual std::shared_ptr<nbt_page> read_nbt_page(const page_info& pi) = 0;
    virtual std::shared_ptr<nbt_leaf_page> read_nbt_leaf_page(const page_info& pi) = 0;
    virtual std::shared_ptr<bbt_leaf_page> read_bbt_leaf_page(const page_info& pi) = 0;
    virtual std::shared_ptr<nbt_nonleaf_page> read_nbt_nonleaf_page(const page_info& pi) = 0;
    virtual std::shared_ptr<bbt_nonleaf_page> read_bbt_nonleaf_page(const page_info& pi) = 0;

    // Blocks by id: each looks the id up in the block B-tree and reads the block it names.
    std::shared_ptr<block> read_block(block_id bid) { return read_block(lookup_block_info(bid)); }
    std::shared_ptr<data_block> read_data_block(block_id bid) { return read_data_block(lookup_block_info(bid)); }
    std::shared_ptr<extended_block> read_extended_block(block_id bid) {
        return read_extended_block(lookup_block_info(bid));
    }
    std::shared_ptr<external_block> read_external_block(block_id bid) {
        return read_external_block(lookup_block_info(bid));
    }
    std::shared_ptr<subnode_block> read_subnode_block(block_id bid) {
        return read_subnode_block(lookup_block_info(bid));
    }
    std::shared_ptr<subnode_leaf_block> read_subnode_leaf_block(block_id bid) {
        return read_subnode_leaf_block(lookup_block_info(bid));
    }
    std::shared_ptr<subnode_nonleaf_block> read_subnode_nonleaf_block(block_id bid) {
        return read_subnode_nonleaf_block(lookup_block_info(bid));
    }

    virtual std::shared_ptr<block> read_block(const block_info& bi) = 0;
    virtual std::shared_ptr<data_block> read_data_block(const block_info& bi) = 0;
    virtual std::shared_ptr<extended_block> read_extended_block(const block_info& bi) = 0;
    virtual std::shared_ptr<external_block> read_external_block(const block_info& bi) = 0;
    virtual std::shared_ptr<subnode_block> read_subnode_block(const block_info& bi) = 0;
    virtual std::shared_ptr<subnode_leaf_block> read_subnode_leaf_block(const block_info& bi) = 0;
    virtual std::shared_ptr<subnode_nonleaf_block> read_subnode_nonleaf_block(const block_info& bi) = 0;

    // Copies the decoded bytes of external block `bid` from `offset` into `dest` without keeping the block: the road
    // of long streams. Returns the count, less than dest.size() only at the block's end (0 at or past it). Checks
    // and throws as read_external_block does.
    virtual std::size_t read_external_range(block_id bid, std::uint64_t offset, std::span<std::byte> dest);

    // For pages reading their children: `owner` is the database when the new page must keep it open, or
    // empty for pages the database keeps itself (its roots, its cache of recent pages).
    virtual std::shared_ptr<nbt_page> load_nbt_page(const page_info& pi, std::shared_ptr<db_context> owner) = 0;
    virtual std::shared_ptr<bbt_page> load_bbt_page(const page_info& pi, std::shared_ptr<db_context> owner) = 0;

    // Bounds the cache of recently used B-tree pages to `pages` for each of the two trees (at least 1), starting
    // afresh; for tests and small machines. A database without such a cache ignores it.
    virtual void set_page_cache_limit(std::size_t pages) { (void)pages; }
    // The pages that cache holds now, both trees together.
    virtual std::size_t cached_page_count() const { return 0; }

protected:
    db_context() = default;
};

// Opens a PST file read-only: tries the ANSI format, and the Unicode format when the version says so.
// Throws std::runtime_error "not a regular file" or "fopen failed", std::out_of_range "fread failed", crc_fail,
// invalid_format.
std::shared_ptr<db_context> open_database(const std::string& path);
// The same over bytes in memory (tests, fuzzing).
std::shared_ptr<db_context> open_database(std::vector<std::byte> bytes);
// The same over any source.
std::shared_ptr<db_context> open_database(std::shared_ptr<source> bytes);

}  // namespace pstcore
