#include "cli/props_command.h"

#include <bit>
#include <charconv>
#include <cstdint>
#include <ctime>
#include <exception>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/command_help.h"
#include "encoding/code_page_table.h"
#include "encoding/compressed_rtf.h"
#include "encoding/rtf_body.h"
#include "pstcore/ndb/database.h"
#include "pstcore/ndb/exceptions.h"
#include "pstcore/tables/property_bag.h"
#include "pstcore/tables/table.h"

namespace mailferry {

namespace {

constexpr pstcore::node_id kMessageStoreNid = 0x21;
constexpr pstcore::prop_id kRtfCompressed = 0x1009;
// 8-bit strings of ANSI files are shown in the Western code page, as the session model starts out.
constexpr std::int32_t kDefaultCodePage = 1252;
// Binary values are shown up to this many bytes, then their length.
constexpr std::size_t kBinaryShown = 64;
// Multi-valued lists are shown up to this many elements.
constexpr std::size_t kElementsShown = 16;

std::string Hex(std::uint64_t value, int width) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    do {
        text.insert(text.begin(), kDigits[value & 0xF]);
        value >>= 4;
    } while (value != 0 || static_cast<int>(text.size()) < width);
    return "0x" + text;
}

std::optional<std::uint32_t> ParseNid(std::string_view text) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    std::uint32_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return value;
}

std::string_view TypeName(pstcore::prop_type type) {
    namespace t = pstcore::prop_types;
    switch (type) {
        case t::unspecified:
            return "unspecified";
        case t::int16:
            return "int16";
        case t::int32:
            return "int32";
        case t::float32:
            return "float";
        case t::float64:
            return "double";
        case t::currency:
            return "currency";
        case t::app_time:
            return "apptime";
        case t::error:
            return "error";
        case t::boolean:
            return "boolean";
        case t::object:
            return "object";
        case t::int64:
            return "int64";
        case t::string8:
            return "string8";
        case t::unicode:
            return "unicode";
        case t::systime:
            return "time";
        case t::clsid:
            return "guid";
        case t::binary:
            return "binary";
        case t::multi_string8:
            return "multi string8";
        case t::multi_unicode:
            return "multi unicode";
        default:
            break;
    }
    if (type & t::multi_flag) return "multi";
    return "unknown";
}

// The shortest text that reads back as the same value.
std::string Number(double value) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

std::string IsoTime(std::int64_t seconds) {
    const auto value = static_cast<std::time_t>(seconds);
    std::tm parts{};
    if (!gmtime_r(&value, &parts)) return std::to_string(seconds);
    char text[32];
    if (std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts) == 0) return std::to_string(seconds);
    return text;
}

std::string HexBytes(std::span<const std::byte> bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    const std::size_t shown = std::min(bytes.size(), kBinaryShown);
    for (std::size_t i = 0; i < shown; ++i) {
        if (i) text += ' ';
        const auto b = std::to_integer<unsigned>(bytes[i]);
        text += kDigits[b >> 4];
        text += kDigits[b & 0xF];
    }
    if (bytes.size() > shown) text += " ...";
    return text + " (" + std::to_string(bytes.size()) + " bytes)";
}

std::string Quoted(const std::string& utf8) {
    std::string text = "\"";
    for (const char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            text += '\\';
            text += c;
        } else if (u < 0x20) {
            text += "\\x" + Hex(u, 2).substr(2);
        } else {
            text += c;
        }
    }
    return text + "\"";
}

std::string FixedArray(std::span<const std::byte> bytes, std::size_t width) {
    std::string text = "[";
    const std::size_t count = bytes.size() / width;
    for (std::size_t i = 0; i < count && i < kElementsShown; ++i) {
        std::uint64_t value = 0;
        for (std::size_t b = 0; b < width; ++b)
            value |= static_cast<std::uint64_t>(std::to_integer<unsigned>(bytes[i * width + b])) << (8 * b);
        if (i) text += ", ";
        text += std::to_string(value);
    }
    if (count > kElementsShown) text += ", ...";
    return text + "] (" + std::to_string(count) + " values)";
}

// The value as text by its stored type; throws what the reader throws.
std::string Value(const pstcore::const_property_object& object, pstcore::prop_id id, pstcore::prop_type type) {
    namespace t = pstcore::prop_types;
    switch (type) {
        case t::int16:
            return std::to_string(static_cast<std::int16_t>(object.get_value_2(id)));
        case t::int32:
        case t::error:
            return std::to_string(static_cast<std::int32_t>(object.get_value_4(id)));
        case t::boolean:
            return object.get_value_1(id) ? "true" : "false";
        case t::float32:
            return Number(std::bit_cast<float>(object.get_value_4(id)));
        case t::float64:
        case t::app_time:
            return Number(std::bit_cast<double>(object.get_value_8(id)));
        case t::currency:
            // Fixed point, four decimal places.
            return Number(static_cast<double>(static_cast<std::int64_t>(object.get_value_8(id))) / 10000.0);
        case t::int64:
            return std::to_string(static_cast<std::int64_t>(object.get_value_8(id)));
        case t::systime:
            return IsoTime(object.read_time(id));
        case t::string8:
        case t::unicode:
            return Quoted(object.read_utf8string(id));
        case t::multi_string8:
        case t::multi_unicode: {
            const auto elements = object.read_utf8string_array(id);
            std::string text = "[";
            for (std::size_t i = 0; i < elements.size() && i < kElementsShown; ++i) {
                if (i) text += ", ";
                text += Quoted(elements[i]);
            }
            if (elements.size() > kElementsShown) text += ", ...";
            return text + "]";
        }
        case t::multi_flag | t::int16:
            return FixedArray(object.get_value_variable(id), 2);
        case t::multi_flag | t::int32:
            return FixedArray(object.get_value_variable(id), 4);
        case t::multi_flag | t::int64:
        case t::multi_flag | t::systime:
            return FixedArray(object.get_value_variable(id), 8);
        case t::multi_flag | t::binary: {
            const auto elements = object.read_prop_array(id);
            std::string text = "[";
            for (std::size_t i = 0; i < elements.size() && i < kElementsShown; ++i) {
                if (i) text += ", ";
                text += HexBytes(elements[i]);
            }
            if (elements.size() > kElementsShown) text += ", ...";
            return text + "]";
        }
        default:
            break;
    }
    if (pstcore::is_inline_type(type) || pstcore::is_eight_byte_type(type)) return "?";
    return HexBytes(object.get_value_variable(id));
}

void PrintProperty(const pstcore::const_property_object& object, pstcore::prop_id id, std::ostream& out) {
    out << "  " << Hex(id, 4);
    try {
        const auto type = object.get_prop_type(id);
        out << " " << Hex(type, 4) << " " << TypeName(type) << ": " << Value(object, id, type) << "\n";
    } catch (const std::exception& e) {
        out << " error: " << e.what() << "\n";
    }
}

void PrintBag(const pstcore::node& node, std::ostream& out) {
    pstcore::property_bag bag(node);
    bag.set_text_encoding(find_text_encoding(kDefaultCodePage));
    const auto ids = bag.get_prop_list();
    out << "node " << Hex(node.get_id(), 0) << ": property bag, " << ids.size() << " properties\n";
    for (const auto id : ids) PrintProperty(bag, id, out);
}

void PrintTable(const pstcore::node& node, std::ostream& out) {
    const pstcore::table table = pstcore::open_table(node);
    const auto& columns = table.get_columns();
    out << "node " << Hex(node.get_id(), 0) << ": table, " << columns.size() << " columns, " << table.size()
        << " rows\n";
    out << "columns:\n";
    for (const auto& column : columns)
        out << "  " << Hex(column.id, 4) << " " << Hex(column.type, 4) << " " << TypeName(column.type) << " offset "
            << column.offset << " size " << unsigned{column.size} << " bit " << unsigned{column.bit_offset} << "\n";
    out << "rows:\n";
    std::uint32_t index = 0;
    for (auto row : table) {
        row.set_text_encoding(find_text_encoding(kDefaultCodePage));
        out << "row " << index++ << " (id " << Hex(row.get_row_id(), 0) << ")\n";
        for (const auto& column : columns)
            if (row.prop_exists(column.id)) PrintProperty(row, column.id, out);
    }
}

// The message's compressed RTF body: the RTF it decompresses to, then the HTML we make of it (pictures taken
// out, as the mail writer will do).
void PrintRtf(const pstcore::node& node, std::ostream& out) {
    pstcore::property_bag bag(node);
    if (!bag.prop_exists(kRtfCompressed)) {
        out << "node " << Hex(node.get_id(), 0) << ": no compressed RTF body\n";
        return;
    }
    const auto value = bag.get_value_variable(kRtfCompressed);
    std::string rtf;
    std::vector<rtf_picture_info> pictures;
    DecompressRtf(value, rtf, pictures);
    out << "node " << Hex(node.get_id(), 0) << ": compressed RTF, " << value.size() << " bytes\n";
    out << "--- RTF (" << rtf.size() << " bytes) ---\n" << rtf << "\n";
    rtf_body_fields fields;
    if (!RtfBodyToHtml(std::span<const std::byte>(value), fields)) {
        out << "--- no HTML could be made ---\n";
        return;
    }
    out << "--- HTML (" << fields.rtfHtml.size() << " bytes, " << fields.rtfImages.size() << " pictures) ---\n"
        << fields.rtfHtml << "\n";
    for (const auto& image : fields.rtfImages) out << "picture: " << image.name << "\n";
}

}  // namespace

int RunPropsCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::optional<std::string> path;
    std::uint32_t nid = kMessageStoreNid;
    bool as_table = false;
    bool as_rtf = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--table") {
            as_table = true;
        } else if (args[i] == "--rtf") {
            as_rtf = true;
        } else if (args[i] == "--nid" && i + 1 < args.size()) {
            const auto parsed = ParseNid(args[++i]);
            if (!parsed) {
                err << "mailferry props: bad node id: " << args[i] << "\n" << CommandUsage("props");
                return 2;
            }
            nid = *parsed;
        } else if (!path && !args[i].starts_with("--")) {
            path = args[i];
        } else {
            err << "mailferry props: unexpected argument: " << args[i] << "\n" << CommandUsage("props");
            return 2;
        }
    }
    if (!path || (as_table && as_rtf)) {
        err << CommandUsage("props");
        return 2;
    }
    try {
        const auto db = pstcore::open_database(*path);
        const pstcore::node node = db->lookup_node(nid);
        if (as_table)
            PrintTable(node, out);
        else if (as_rtf)
            PrintRtf(node, out);
        else
            PrintBag(node, out);
    } catch (const pstcore::key_not_found<std::uint32_t>&) {
        err << "mailferry props: no node " << Hex(nid, 0) << " in " << *path << "\n";
        return 1;
    } catch (const std::exception& e) {
        err << "mailferry props: " << *path << ": " << e.what() << "\n";
        return 1;
    }
    return 0;
}

}  // namespace mailferry
