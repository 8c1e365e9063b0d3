#include "cli/info_command.h"

#include <array>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <string_view>

#include "pstcore/ndb/database.h"
#include "pstcore/ndb/exceptions.h"

namespace mailferry {

namespace {

constexpr std::size_t kErrorsShown = 5;
// Subnodes nest (a message's attachment holds an embedded message with its own subnodes); a real file never
// goes this deep, and a damaged one that loops must not take the walk with it.
constexpr int kMaxSubnodeDepth = 64;

std::string_view CryptName(pstcore::crypt_method method) {
    switch (method) {
        case pstcore::crypt_method::permute:
            return "permutation";
        case pstcore::crypt_method::cyclic:
            return "cyclic";
        case pstcore::crypt_method::none:
            break;
    }
    return "none";
}

std::string Hex(std::uint64_t value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    do {
        text.insert(text.begin(), kDigits[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    return "0x" + text;
}

class NodeReadCheck {
public:
    void Check(const pstcore::node& node) {
        try {
            ReadAll(node, 0);
        } catch (const std::exception& e) {
            ++_unreadable;
            if (_errors.size() < kErrorsShown) _errors.push_back("node " + Hex(node.get_id()) + ": " + e.what());
        }
    }
    std::size_t Unreadable() const { return _unreadable; }
    const std::vector<std::string>& Errors() const { return _errors; }

private:
    void ReadAll(const pstcore::node& node, int depth) {
        if (depth > kMaxSubnodeDepth) throw pstcore::database_corrupt("subnodes nested too deep");
        std::array<std::byte, 64 * 1024> buffer;
        const std::uint64_t size = node.size();
        for (std::uint64_t offset = 0; offset < size;) offset += node.read(buffer, offset);
        for (const auto& sub : node.subnodes()) ReadAll(pstcore::node(node, sub), depth + 1);
    }

    std::size_t _unreadable = 0;
    std::vector<std::string> _errors;
};

void DescribeFile(const std::string& path, std::ostream& out) {
    const auto db = pstcore::open_database(path);
    out << "format: " << (db->is_unicode() ? "Unicode" : "ANSI") << " (wVer " << db->header_version() << ")\n";
    out << "encoding: " << CryptName(db->get_crypt_method()) << "\n";
    out << "file size: " << std::filesystem::file_size(path) << " bytes\n";

    std::size_t blocks = 0;
    for ([[maybe_unused]] const auto& info :
         pstcore::btree_range<pstcore::block_id, pstcore::block_info>(db->read_bbt_root()))
        ++blocks;
    std::size_t nodes = 0;
    NodeReadCheck check;
    for (const auto& info : pstcore::btree_range<pstcore::node_id, pstcore::node_info>(db->read_nbt_root())) {
        ++nodes;
        check.Check(pstcore::node(db, info));
    }
    out << "nodes: " << nodes << "\n";
    out << "blocks: " << blocks << "\n";
    out << "unreadable nodes: " << check.Unreadable() << "\n";
    for (const auto& error : check.Errors()) out << "  " << error << "\n";
}

}  // namespace

int RunInfoCommand(const std::vector<std::string>& files, std::ostream& out) {
    int status = 0;
    for (const auto& path : files) {
        out << path << "\n";
        try {
            DescribeFile(path, out);
        } catch (const std::exception& e) {
            out << "error: " << e.what() << "\n";
            status = 1;
        }
        out << "\n";
    }
    return status;
}

}  // namespace mailferry
