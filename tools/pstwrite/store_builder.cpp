#include "store_builder.h"

#include <algorithm>
#include <stdexcept>

#include "ltp_tc.h"
#include "rtf_compress.h"
#include "store_columns.h"

namespace pstwrite {

struct store_context {
    store_context(format f, std::uint32_t buckets) : fmt(f), names(f, buckets) {}
    format fmt;
    nid_counter nids;
    name_map_builder names;
};

namespace {
constexpr std::uint32_t nid_root = 0x122;
constexpr std::uint32_t nid_store = 0x21;
constexpr std::uint32_t nid_name_map = 0x61;
constexpr std::uint32_t msgflag_read = 0x01;
constexpr std::uint32_t msgflag_hasattach = 0x10;

heap_fault heap_fault_of(ltp_fault f) {
    switch (f) {
        case ltp_fault::heap_page_map_past_end:
            return heap_fault::page_map_past_end;
        case ltp_fault::heap_page_map_bad_count:
            return heap_fault::page_map_bad_count;
        case ltp_fault::heap_bad_signature:
            return heap_fault::bad_signature;
        default:
            return heap_fault::none;
    }
}

bool is_string(std::uint16_t type) {
    return type == prop::pt_string8 || type == prop::pt_unicode;
}

// Converts between the two string types (Latin-1 narrowing or widening); other values pass unchanged.
prop::value as_type(const prop::value& v, std::uint16_t wanted) {
    if (v.type == wanted || !is_string(v.type) || !is_string(wanted)) return v;
    prop::value out{wanted, {}, v.code_page};
    if (wanted == prop::pt_unicode) {
        for (auto b : v.data) put_u16(out.data, std::to_integer<std::uint16_t>(b));
    } else {
        for (std::size_t i = 0; i + 1 < v.data.size(); i += 2) {
            const auto c = std::to_integer<unsigned>(v.data[i]) | (std::to_integer<unsigned>(v.data[i + 1]) << 8);
            out.data.push_back(std::byte(c < 0x100 ? c : '?'));
        }
    }
    return out;
}

prop::value text_for(format f, std::u16string_view s) {
    if (f == format::unicode) return prop::unicode(s);
    std::string narrow;
    for (char16_t c : s) narrow.push_back(c < 0x100 ? static_cast<char>(c) : '?');
    return prop::string8(narrow, 1252);
}

std::int32_t i32_of(const prop::value* v, std::int32_t fallback) {
    if (!v || v->data.size() < 4) return fallback;
    return static_cast<std::int32_t>(get_u32(v->data, 0));
}

std::size_t value_bytes(const pc_builder& pc) {
    std::size_t n = 0;
    for (const auto& [id, v] : pc.values()) n += v.data.size() + 8;
    return n;
}

// Cells of a table row taken from an object's properties, for every column the object has a value for.
std::vector<std::pair<std::uint32_t, prop::value>> cells_from(const pc_builder& pc, const std::vector<column>& cols) {
    std::vector<std::pair<std::uint32_t, prop::value>> cells;
    for (const auto& c : cols) {
        if (c.tag == ltp::tag_row_id || c.tag == ltp::tag_row_ver) continue;
        const auto* v = pc.find(static_cast<std::uint16_t>(c.tag >> 16));
        const auto type = static_cast<std::uint16_t>(c.tag & 0xFFFF);
        if (!v || (v->type != type && !(is_string(v->type) && is_string(type)))) continue;
        cells.emplace_back(c.tag, as_type(*v, type));
    }
    return cells;
}

void sort_subnodes(std::vector<subnode>& s) {
    std::sort(s.begin(), s.end(), [](const subnode& a, const subnode& b) { return a.nid < b.nid; });
}

// The message's properties with what the store fills in: flags, sizes, display lists, attachment flag.
pc_builder completed(const message_builder& m, format f) {
    pc_builder pc = m.properties();
    std::uint32_t flags = static_cast<std::uint32_t>(i32_of(pc.find(0x0E07), msgflag_read));
    if (!m.attachments().empty()) {
        flags |= msgflag_hasattach;
        pc.set(0x0E1B, prop::boolean(true));
    }
    pc.set(0x0E07, prop::i32(static_cast<std::int32_t>(flags)));
    const std::uint16_t display_ids[] = {0x0E04, 0x0E03, 0x0E02};  // To, Cc, Bcc
    for (int kind = 1; kind <= 3; ++kind) {
        if (pc.has(display_ids[kind - 1])) continue;
        std::u16string list;
        for (const auto& r : m.recipients())
            if (static_cast<int>(r.kind) == kind) list += (list.empty() ? u"" : u"; ") + r.display_name;
        pc.set(display_ids[kind - 1], text_for(f, list));
    }
    if (!pc.has(0x0E08)) {
        std::size_t size = value_bytes(pc);
        for (const auto& a : m.attachments()) size += value_bytes(a.properties());
        pc.set(0x0E08, prop::i32(static_cast<std::int32_t>(std::min<std::size_t>(size, 0x7FFFFFFF))));
    }
    return pc;
}

subnode encode_attachment(const attachment_builder& a, store_context& ctx) {
    pc_builder pc = a.properties();
    std::vector<subnode> extra;
    if (const message_builder* inner = a.embedded()) {
        node_content m = encode_message(*inner, ctx);
        bytes ref;
        put_u32(ref, inner->nid());
        put_u32(ref, static_cast<std::uint32_t>(m.data.size()));
        pc.set(0x3701, prop::value{prop::pt_object, ref, 0});
        extra.push_back(subnode{inner->nid(), std::move(m.data), std::move(m.subnodes)});
    } else if (const bytes* object = a.object_data()) {
        const std::uint32_t nid = ctx.nids.next(ltp::nid_type_ltp);
        bytes ref;
        put_u32(ref, nid);
        put_u32(ref, static_cast<std::uint32_t>(object->size()));
        pc.set(0x3701, prop::value{prop::pt_object, ref, 0});
        extra.push_back(subnode{nid, *object, {}});
    }
    node_content c = pc.build(ctx.nids);
    for (auto& s : extra) c.subnodes.push_back(std::move(s));
    sort_subnodes(c.subnodes);
    return subnode{a.nid(), std::move(c.data), std::move(c.subnodes)};
}

// The recipient table's columns, with PidTagSmtpAddress when some recipient has one and a column for every extra
// cell some recipient carries.
std::vector<column> recipient_columns(format f, const std::vector<recipient>& recipients) {
    std::vector<column> cols = column_set(table_kind::recipient, f);
    std::vector<std::uint32_t> tags;
    for (const auto& c : cols) tags.push_back(c.tag);
    const std::size_t fixed = tags.size();
    const auto add = [&](std::uint32_t tag) {
        if (std::find(tags.begin(), tags.end(), tag) == tags.end()) tags.push_back(tag);
    };
    for (const auto& r : recipients) {
        if (!r.smtp_address.empty()) add(make_tag(0x39FE, f == format::unicode ? prop::pt_unicode : prop::pt_string8));
        for (const auto& cell : r.extra) add(cell.first);
    }
    return tags.size() == fixed ? cols : layout_columns(tags);
}

std::vector<std::pair<std::uint32_t, prop::value>> recipient_cells(format f, const recipient& r,
                                                                   const bytes& search_key) {
    const std::uint16_t st = f == format::unicode ? prop::pt_unicode : prop::pt_string8;
    if (!r.smtp_address.empty()) {
        auto cells = recipient_cells(f, recipient{r.display_name, r.email, r.kind, r.address_type}, search_key);
        cells.emplace_back(make_tag(0x39FE, st), text_for(f, r.smtp_address));
        return cells;
    }
    return {{make_tag(0x3002, st), text_for(f, r.address_type)},
            {make_tag(0x3003, st), text_for(f, r.email)},
            {make_tag(0x3001, st), text_for(f, r.display_name)},
            {0x0C150003, prop::i32(static_cast<std::int32_t>(r.kind))},
            {0x300B0102, prop::binary(search_key)},
            {0x0FFE0003, prop::i32(6)},
            {0x39000003, prop::i32(0)},
            {make_tag(0x39FF, st), text_for(f, r.display_name)},
            {0x0E0F000B, prop::boolean(false)},
            {0x3A40000B, prop::boolean(false)}};
}

// The recipient's extra cells, each replacing a cell of the same tag.
std::vector<std::pair<std::uint32_t, prop::value>> with_extra_cells(
    std::vector<std::pair<std::uint32_t, prop::value>> cells, const recipient& r) {
    for (const auto& extra : r.extra) {
        std::erase_if(cells, [&](const auto& cell) { return cell.first == extra.first; });
        cells.push_back(extra);
    }
    return cells;
}

node_content encode_completed(const message_builder& m, const pc_builder& pc, store_context& ctx) {
    node_content out;
    if (m.fault() == ltp_fault::none || m.fault() == ltp_fault::table_row_size_zero) {
        out = pc.build(ctx.nids);
    } else {
        pc_builder damaged = pc;
        damaged.set_heap_fault(heap_fault_of(m.fault()));
        out = damaged.build(ctx.nids);
    }
    tc_options zero_rows;
    zero_rows.zero_row_size = m.fault() == ltp_fault::table_row_size_zero;
    if (!m.recipients().empty()) {
        tc_builder t(ctx.fmt, recipient_columns(ctx.fmt, m.recipients()), zero_rows);
        zero_rows.zero_row_size = false;
        std::uint32_t row = message_builder::first_recipient_row_id;
        for (const auto& r : m.recipients()) {
            bytes search_key = to_bytes("SMTP:");
            for (char16_t c : r.email)
                search_key.push_back(std::byte(c >= u'a' && c <= u'z' ? c - 32 : (c < 0x80 ? c : '?')));
            search_key.push_back(std::byte{0});
            t.add_row(row++, with_extra_cells(recipient_cells(ctx.fmt, r, search_key), r));
        }
        node_content tc = t.build(ctx.nids);
        out.subnodes.push_back(subnode{0x692, std::move(tc.data), std::move(tc.subnodes)});
    }
    if (!m.attachments().empty()) {
        tc_builder t(ctx.fmt, column_set(table_kind::attachment, ctx.fmt), zero_rows);
        for (const auto& a : m.attachments()) t.add_row(a.nid(), cells_from(a.properties(), t.columns()));
        node_content tc = t.build(ctx.nids);
        out.subnodes.push_back(subnode{0x671, std::move(tc.data), std::move(tc.subnodes)});
        for (const auto& a : m.attachments()) out.subnodes.push_back(encode_attachment(a, ctx));
    }
    for (const auto& s : m.raw_subnodes()) out.subnodes.push_back(s);
    sort_subnodes(out.subnodes);
    return out;
}
}  // namespace

node_content encode_message(const message_builder& m, store_context& ctx) {
    return encode_completed(m, completed(m, ctx.fmt), ctx);
}

// ---- attachment_builder ----

attachment_builder::attachment_builder(store_context& ctx, std::uint32_t nid)
    : m_ctx(&ctx), m_nid(nid), m_props(ctx.fmt) {
    m_props.set(0x370B, prop::i32(-1));  // rendering position: not rendered in the body
}
attachment_builder::~attachment_builder() = default;

attachment_builder& attachment_builder::set(std::uint16_t id, prop::value v) {
    m_props.set(id, std::move(v));
    return *this;
}

attachment_builder& attachment_builder::set_named(const named_property& name, prop::value v) {
    return set(m_ctx->names.id_of(name), std::move(v));
}

attachment_builder& attachment_builder::set_data(std::u16string file_name, bytes data, std::u16string mime_type) {
    const auto f = m_ctx->fmt;
    set(0x3705, prop::i32(static_cast<std::int32_t>(attach_method::by_value)));
    set(0x0E20, prop::i32(static_cast<std::int32_t>(data.size())));
    set(0x3001, text_for(f, file_name));
    set(0x3704, text_for(f, file_name));
    set(0x3707, text_for(f, file_name));
    const auto dot = file_name.rfind(u'.');
    if (dot != std::u16string::npos) set(0x3703, text_for(f, file_name.substr(dot)));
    if (!mime_type.empty()) set(0x370E, text_for(f, mime_type));
    set(0x3701, prop::value{prop::pt_binary, std::move(data), 0});
    return *this;
}

attachment_builder& attachment_builder::set_streamed_data(std::u16string file_name, data_ref data,
                                                          std::u16string mime_type) {
    set_data(std::move(file_name), {}, std::move(mime_type));
    set(0x0E20, prop::i32(static_cast<std::int32_t>(std::min<std::uint64_t>(data.size, 0x7FFFFFFF))));
    m_props.set_streamed(0x3701, prop::pt_binary, data);
    return *this;
}

message_builder& attachment_builder::set_embedded_message(std::string_view message_class) {
    set(0x3705, prop::i32(static_cast<std::int32_t>(attach_method::embedded)));
    m_embedded = std::make_unique<message_builder>(*m_ctx, m_ctx->nids.next(0x04), message_class);
    if (!m_props.has(0x0E20)) set(0x0E20, prop::i32(0));
    return *m_embedded;
}

attachment_builder& attachment_builder::set_ole(std::u16string display_name, bytes storage) {
    set(0x3705, prop::i32(static_cast<std::int32_t>(attach_method::ole)));
    set(0x3001, text_for(m_ctx->fmt, display_name));
    set(0x0E20, prop::i32(static_cast<std::int32_t>(storage.size())));
    set(0x3709, prop::binary(std::string_view("\x01", 1)));  // PidTagAttachRendering: a placeholder picture
    m_object = std::move(storage);
    return *this;
}

attachment_builder& attachment_builder::set_by_reference(std::u16string path) {
    const auto f = m_ctx->fmt;
    set(0x3705, prop::i32(static_cast<std::int32_t>(attach_method::by_reference)));
    set(0x3708, text_for(f, path));  // PidTagAttachPathname
    set(0x370D, text_for(f, path));  // PidTagAttachLongPathname
    const auto slash = path.find_last_of(u"/\\");
    const auto name = slash == std::u16string::npos ? path : path.substr(slash + 1);
    set(0x3001, text_for(f, name));
    set(0x3704, text_for(f, name));
    set(0x3707, text_for(f, name));
    set(0x0E20, prop::i32(0));
    return *this;
}

// ---- message_builder ----

message_builder::message_builder(store_context& ctx, std::uint32_t nid, std::string_view message_class)
    : m_ctx(&ctx), m_nid(nid), m_props(ctx.fmt) {
    set(0x001A, text(widen(message_class)));
}

message_builder& message_builder::set(std::uint16_t id, prop::value v) {
    if (v.type == prop::pt_string8 && v.code_page != 0 && !m_props.has(0x3FFD))
        m_props.set(0x3FFD, prop::i32(static_cast<std::int32_t>(v.code_page)));  // PidTagMessageCodepage
    m_props.set(id, std::move(v));
    return *this;
}

message_builder& message_builder::set_named(const named_property& name, prop::value v) {
    return set(m_ctx->names.id_of(name), std::move(v));
}

prop::value message_builder::text(std::u16string_view s) const {
    return text_for(m_ctx->fmt, s);
}

message_builder& message_builder::set_subject(std::u16string_view s) {
    set(0x0037, text(s));
    return set(0x0070, text(s));  // conversation topic
}

message_builder& message_builder::set_body(std::u16string_view s) {
    return set(0x1000, text(s));
}

message_builder& message_builder::set_html(std::string_view html) {
    return set(0x1013, prop::binary(html));
}

message_builder& message_builder::set_rtf(std::string_view rtf, bool compress) {
    set(0x0E1F, prop::boolean(true));  // PidTagRtfInSync
    return set(0x1009, prop::binary(compress ? rtf_compress_lzfu(rtf) : rtf_wrap_mela(rtf)));
}

message_builder& message_builder::add_recipient(recipient r) {
    m_recipients.push_back(std::move(r));
    return *this;
}

attachment_builder& message_builder::add_attachment() {
    return m_attachments.emplace_back(*m_ctx, m_ctx->nids.next(0x05));
}

// ---- folder_builder ----

folder_builder::folder_builder(store_context& ctx, std::uint32_t nid, std::uint32_t parent, std::u16string name,
                               std::string_view container_class)
    : m_ctx(&ctx), m_nid(nid), m_parent(parent), m_props(ctx.fmt) {
    m_props.set(0x3001, text_for(ctx.fmt, name));
    if (!container_class.empty()) m_props.set(0x3613, text_for(ctx.fmt, widen(container_class)));
}

folder_builder& folder_builder::add_folder(std::u16string name, std::string_view container_class) {
    return m_folders.emplace_back(*m_ctx, m_ctx->nids.next(0x02), m_nid, std::move(name), container_class);
}

folder_builder& folder_builder::add_search_folder(std::u16string name) {
    return m_folders.emplace_back(*m_ctx, m_ctx->nids.next(0x03), m_nid, std::move(name), "IPF.Note");
}

message_builder& folder_builder::add_message(std::string_view message_class) {
    return m_pending.emplace_back(*m_ctx, m_ctx->nids.next(0x04), message_class);
}

message_builder& folder_builder::add_associated_message(std::string_view message_class) {
    return m_pending.emplace_back(*m_ctx, m_ctx->nids.next(0x08), message_class);
}

folder_builder& folder_builder::set(std::uint16_t id, prop::value v) {
    m_props.set(id, std::move(v));
    return *this;
}

// ---- store_builder ----

store_builder::store_builder(format f, crypt c, store_options options)
    : m_ctx(std::make_unique<store_context>(f, options.name_map_buckets)),
      m_writer(std::make_unique<ndb_writer>(f, c)),
      m_options(options) {
    m_root = std::make_unique<folder_builder>(*m_ctx, nid_root, nid_root, u"", "");
    m_ipm = &m_root->add_folder(u"Top of Personal Folders", "");
    m_search_root = &m_root->add_folder(u"Search Root", "");
    m_deleted = &m_ipm->add_folder(u"Deleted Items", "IPF.Note");
}

store_builder::store_builder(format f, crypt c, const std::filesystem::path& out, store_options options)
    : store_builder(f, c, options) {
    m_writer = std::make_unique<ndb_writer>(f, c, out);
}

store_builder::~store_builder() = default;

format store_builder::fmt() const {
    return m_ctx->fmt;
}
void store_builder::set_name(std::u16string name) {
    m_name = std::move(name);
}
folder_builder& store_builder::root() {
    return *m_root;
}
folder_builder& store_builder::ipm_subtree() {
    return *m_ipm;
}
folder_builder& store_builder::search_root() {
    return *m_search_root;
}
folder_builder& store_builder::deleted_items() {
    return *m_deleted;
}
name_map_builder& store_builder::names() {
    return m_ctx->names;
}
std::uint16_t store_builder::named_id(const named_property& name) {
    return m_ctx->names.id_of(name);
}
void store_builder::add_node(std::uint32_t nid, std::uint32_t parent_nid, const node_content& content) {
    m_writer->add_node(nid, parent_nid, content.data, content.subnodes);
}
ndb_writer& store_builder::writer() {
    return *m_writer;
}
nid_counter& store_builder::nids() {
    return m_ctx->nids;
}
const layout& store_builder::where() const {
    return m_writer->where();
}

bytes store_builder::entry_id(std::uint32_t nid) const {
    bytes id(4);
    for (auto b : m_options.record_key) put_u8(id, b);
    put_u32(id, nid);
    return id;
}

void store_builder::write_messages(folder_builder& f, bool keep) {
    const format fm = m_ctx->fmt;
    if (!f.m_contents) {
        f.m_contents = std::make_unique<tc_builder>(
            fm, column_set(f.is_search_folder() ? table_kind::search_contents : table_kind::contents, fm));
        f.m_assoc = std::make_unique<tc_builder>(fm, column_set(table_kind::associated_contents, fm));
    }
    for (; f.m_written < f.m_pending.size(); ++f.m_written) {
        const message_builder& m = f.m_pending[f.m_written];
        const pc_builder pc = completed(m, fm);
        node_content c = encode_completed(m, pc, *m_ctx);
        m_writer->add_node(m.nid(), f.nid(), c.data, c.subnodes);
        if ((m.nid() & 0x1F) == 0x08) {
            f.m_assoc->add_row(m.nid(), cells_from(pc, f.m_assoc->columns()));
            ++f.m_assoc_count;
            continue;
        }
        f.m_contents->add_row(m.nid(), cells_from(pc, f.m_contents->columns()));
        ++f.m_message_count;
        if ((static_cast<std::uint32_t>(i32_of(pc.find(0x0E07), 0)) & msgflag_read) == 0) ++f.m_unread_count;
    }
    if (!keep) {
        f.m_pending.clear();
        f.m_written = 0;
    }
    for (auto& child : f.m_folders) write_messages(child, keep);
}

void store_builder::flush() {
    write_messages(*m_root, false);
}

void store_builder::write_folder_tree(folder_builder& f) {
    const format fm = m_ctx->fmt;
    if (!f.m_contents) write_messages(f, true);  // a folder the writes so far have not met
    auto& nids = m_ctx->nids;
    pc_builder pc = f.m_props;
    pc.set(0x3602, prop::i32(static_cast<std::int32_t>(f.m_message_count)));
    pc.set(0x3603, prop::i32(static_cast<std::int32_t>(f.m_unread_count)));
    pc.set(0x360A, prop::boolean(!f.m_folders.empty()));
    pc.set(0x3617, prop::i32(static_cast<std::int32_t>(f.m_assoc_count)));  // associated content count
    node_content folder = pc.build(nids);
    m_writer->add_node(f.nid(), f.parent_nid(), folder.data, folder.subnodes);

    const std::uint32_t base = f.nid() & ~0x1Fu;
    tc_options contents_options;
    contents_options.heap = heap_fault_of(f.m_fault);
    contents_options.zero_row_size = f.m_fault == ltp_fault::table_row_size_zero;
    if (f.is_search_folder()) {
        f.m_contents->set_options(contents_options);
        node_content c = f.m_contents->build(nids);
        m_writer->add_node(base | 0x10, 0, c.data, c.subnodes);
    } else {
        tc_builder hierarchy(fm, column_set(table_kind::hierarchy, fm));
        for (const auto& child : f.m_folders) {
            pc_builder cp = child.m_props;
            cp.set(0x3602, prop::i32(static_cast<std::int32_t>(child.m_message_count)));
            cp.set(0x3603, prop::i32(static_cast<std::int32_t>(child.m_unread_count)));
            cp.set(0x360A, prop::boolean(!child.m_folders.empty()));
            cp.set(0x6635, prop::i32(0));
            cp.set(0x6636, prop::i32(0));
            hierarchy.add_row(child.nid(), cells_from(cp, hierarchy.columns()));
        }
        node_content h = hierarchy.build(nids);
        m_writer->add_node(base | 0x0D, 0, h.data, h.subnodes);
        f.m_contents->set_options(contents_options);
        node_content c = f.m_contents->build(nids);
        m_writer->add_node(base | 0x0E, 0, c.data, c.subnodes);
        node_content a = f.m_assoc->build(nids);
        m_writer->add_node(base | 0x0F, 0, a.data, a.subnodes);
    }
    f.m_contents.reset();
    f.m_assoc.reset();
    for (auto& child : f.m_folders) write_folder_tree(child);
}

void store_builder::write_store_nodes() {
    const format fm = m_ctx->fmt;
    auto& nids = m_ctx->nids;
    pc_builder store(fm);
    store.set(0x0FF9, prop::binary(std::span<const std::byte>(
                          reinterpret_cast<const std::byte*>(m_options.record_key.data()), 16)));
    store.set(0x3001, text_for(fm, m_name));
    store.set(0x35E0, prop::binary(entry_id(m_ipm->nid())));
    store.set(0x35E3, prop::binary(entry_id(m_deleted->nid())));
    store.set(0x35E7, prop::binary(entry_id(m_search_root->nid())));
    store.set(0x35DF, prop::i32(0x89));  // valid-folder mask: subtree, wastebasket, finder
    store.set(0x67FF, prop::i32(0));     // no password
    node_content s = store.build(nids);
    m_writer->add_node(nid_store, 0, s.data, s.subnodes);

    node_content names = m_ctx->names.build(nids);
    m_writer->add_node(nid_name_map, 0, names.data, names.subnodes);

    if (m_options.templates) {
        const std::pair<std::uint32_t, table_kind> templates[] = {
            {0x60D, table_kind::hierarchy},           {0x60E, table_kind::contents},
            {0x60F, table_kind::associated_contents}, {0x610, table_kind::search_contents},
            {0x671, table_kind::attachment},          {0x692, table_kind::recipient}};
        for (const auto& [nid, kind] : templates) {
            node_content t = tc_builder(fm, column_set(kind, fm)).build(nids);
            m_writer->add_node(nid, 0, t.data, t.subnodes);
        }
        tc_builder receive(fm, column_set(table_kind::receive_folder, fm));
        receive.add_row(m_ipm->nid(), {{0x66050003, prop::i32(static_cast<std::int32_t>(m_ipm->nid()))},
                                       {fm == format::unicode ? 0x001A001Fu : 0x001A001Eu, text_for(fm, u"")}});
        node_content r = receive.build(nids);
        m_writer->add_node(0x62B, 0, r.data, r.subnodes);
    }
    if (m_options.search_nodes) {
        m_writer->add_node(0x1E1, 0, std::span<const std::byte>{});
        m_writer->add_node(0x201, 0, std::span<const std::byte>{});
    }
}

std::vector<std::byte> store_builder::write_to_memory() {
    write_messages(*m_root, true);
    write_folder_tree(*m_root);
    write_store_nodes();
    return m_writer->finish_to_memory();
}

void store_builder::write() {
    write_messages(*m_root, true);
    write_folder_tree(*m_root);
    write_store_nodes();
    m_writer->finish();
}

}  // namespace pstwrite
