#pragma once
// store_builder.h: describes a whole PST store — its name, folder tree, messages with any properties, recipients
// and attachments (by value, embedded messages to any depth, OLE, by reference) — and writes it through the node
// writer. Node ids are assigned when an object is added, so tests can read them at once with nid().
//
// Memory: messages stay in memory until flush() (or the final write) turns them into nodes; a generator that
// calls flush() after each message keeps memory flat. Objects returned by reference live as long as the store
// builder; a flushed message must not be changed any more. Not thread-safe.
//
//   pstwrite::store_builder store(pstwrite::format::unicode, pstwrite::crypt::permute);
//   store.set_name(u"Demo");
//   auto& inbox = store.ipm_subtree().add_folder(u"Inbox", "IPF.Note");
//   auto& msg = inbox.add_message("IPM.Note");
//   msg.set(0x0037, pstwrite::prop::unicode(u"Hello"));
//   auto bytes = store.write_to_memory();
//
// For structures real files lack, build them with the lower levels — heap_builder (ltp_heap.h, any page count),
// write_bth (ltp_bth.h, index levels on demand), pc_builder, tc_builder (row-index width, matrix in a subnode),
// name_map_builder (a bucket count that makes names collide) — and place them with add_node() or
// message_builder::add_raw_subnode(). Heap and table faults are set with set_fault() on a message or folder.

#include <cstdint>
#include <deque>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ltp_heap.h"
#include "ltp_namemap.h"
#include "ltp_node.h"
#include "ltp_pc.h"
#include "ltp_property.h"
#include "ltp_tc.h"
#include "ndb_writer.h"

namespace pstwrite {

struct store_context;
class message_builder;

// Faults above the node layer, for the reader's failure tests: a damaged heap under an object's property or table
// context, or a table whose TCINFO gives every row end (and so cbRow) as 0.
enum class ltp_fault { none, heap_page_map_past_end, heap_page_map_bad_count, heap_bad_signature, table_row_size_zero };

enum class recipient_kind { to = 1, cc = 2, bcc = 3 };

struct recipient {
    std::u16string display_name;
    std::u16string email;
    recipient_kind kind = recipient_kind::to;
    std::u16string address_type = u"SMTP";
    // PidTagSmtpAddress, beside an Exchange address: the recipient table gains the column when any row has one.
    std::u16string smtp_address = u"";
    // More cells by tag (a calendar attendee's flags, track status, object type …); each tag becomes a column of
    // the recipient table, and a cell here replaces the builder's own of the same tag.
    std::vector<std::pair<std::uint32_t, prop::value>> extra{};
};

// Attachment methods (PidTagAttachMethod).
enum class attach_method : std::int32_t { none = 0, by_value = 1, by_reference = 2, embedded = 5, ole = 6 };

class attachment_builder {
public:
    attachment_builder(store_context& ctx, std::uint32_t nid);
    ~attachment_builder();

    std::uint32_t nid() const { return m_nid; }
    attachment_builder& set(std::uint16_t id, prop::value v);
    attachment_builder& set_named(const named_property& name, prop::value v);
    // By value: 0x3701 binary, method 1, size and file names set.
    attachment_builder& set_data(std::u16string file_name, bytes data, std::u16string mime_type = u"");
    // The same for data already written with store_builder::writer().begin_data()/end_data(): a 2 GB attachment
    // never sits in memory.
    attachment_builder& set_streamed_data(std::u16string file_name, data_ref data, std::u16string mime_type = u"");
    // An embedded message (method 5); returns the message to fill. Its nid lives in this attachment's subnodes.
    message_builder& set_embedded_message(std::string_view message_class = "IPM.Note");
    // An OLE object (method 6): the storage bytes in a subnode named by a PtypObject 0x3701.
    attachment_builder& set_ole(std::u16string display_name, bytes storage);
    // By reference (method 2): only a path, no data in the store.
    attachment_builder& set_by_reference(std::u16string path);

    const pc_builder& properties() const { return m_props; }
    message_builder* embedded() const { return m_embedded.get(); }
    const bytes* object_data() const { return m_object ? &*m_object : nullptr; }

private:
    store_context* m_ctx;  // the owning store's shared state; never null
    std::uint32_t m_nid;
    pc_builder m_props;
    std::unique_ptr<message_builder> m_embedded;
    std::optional<bytes> m_object;
};

class message_builder {
public:
    message_builder(store_context& ctx, std::uint32_t nid, std::string_view message_class);

    std::uint32_t nid() const { return m_nid; }
    message_builder& set(std::uint16_t id, prop::value v);
    message_builder& set_named(const named_property& name, prop::value v);
    // A string in the store's own string type (UTF-16 in Unicode stores, Latin-1 bytes in ANSI ones).
    prop::value text(std::u16string_view s) const;
    message_builder& set_text(std::uint16_t id, std::u16string_view s) { return set(id, text(s)); }
    message_builder& set_subject(std::u16string_view s);
    message_builder& set_body(std::u16string_view s);
    message_builder& set_html(std::string_view html);                      // PidTagHtml, binary
    message_builder& set_rtf(std::string_view rtf, bool compress = true);  // PidTagRtfCompressed, LZFu or MELA
    message_builder& add_recipient(recipient r);
    attachment_builder& add_attachment();
    // Adds a hand-made subnode (a bare heap, an odd table …) to this message's subnode list, as it is.
    message_builder& add_raw_subnode(subnode s) {
        m_raw.push_back(std::move(s));
        return *this;
    }
    const std::vector<subnode>& raw_subnodes() const { return m_raw; }
    // Heap faults hit the message's property context; table_row_size_zero hits its recipient table (or, without
    // recipients, its attachment table).
    message_builder& set_fault(ltp_fault f) {
        m_fault = f;
        return *this;
    }
    ltp_fault fault() const { return m_fault; }

    const pc_builder& properties() const { return m_props; }
    const std::vector<recipient>& recipients() const { return m_recipients; }
    const std::deque<attachment_builder>& attachments() const { return m_attachments; }
    // Recipient rows get ids 0x10, 0x11, …; attachment rows use the attachment nid.
    static constexpr std::uint32_t first_recipient_row_id = 0x10;

private:
    store_context* m_ctx;  // never null
    std::uint32_t m_nid;
    pc_builder m_props;
    std::vector<recipient> m_recipients;
    std::deque<attachment_builder> m_attachments;
    std::vector<subnode> m_raw;
    ltp_fault m_fault = ltp_fault::none;
};

class folder_builder {
public:
    folder_builder(store_context& ctx, std::uint32_t nid, std::uint32_t parent, std::u16string name,
                   std::string_view container_class);

    std::uint32_t nid() const { return m_nid; }
    std::uint32_t parent_nid() const { return m_parent; }
    bool is_search_folder() const { return (m_nid & 0x1F) == 0x03; }

    folder_builder& add_folder(std::u16string name, std::string_view container_class = "IPF.Note");
    folder_builder& add_search_folder(std::u16string name);
    message_builder& add_message(std::string_view message_class = "IPM.Note");
    // A folder-associated (FAI) message: nid type 8, listed in the folder's associated contents table.
    message_builder& add_associated_message(std::string_view message_class = "IPM.Microsoft.FolderDesign.NamedView");
    folder_builder& set(std::uint16_t id, prop::value v);
    // The fault hits the folder's contents table (its heap, or its row size).
    folder_builder& set_fault(ltp_fault f) {
        m_fault = f;
        return *this;
    }

    std::size_t message_count() const { return m_message_count; }
    const std::deque<folder_builder>& folders() const { return m_folders; }

private:
    friend class store_builder;
    store_context* m_ctx;  // never null
    std::uint32_t m_nid;
    std::uint32_t m_parent;
    pc_builder m_props;
    std::deque<folder_builder> m_folders;
    std::deque<message_builder> m_pending;   // added and not dropped by flush()
    std::size_t m_written = 0;               // how many of m_pending are already nodes
    std::unique_ptr<tc_builder> m_contents;  // a row per written message
    std::unique_ptr<tc_builder> m_assoc;     // a row per written associated message
    std::size_t m_assoc_count = 0;
    ltp_fault m_fault = ltp_fault::none;
    std::size_t m_message_count = 0;
    std::size_t m_unread_count = 0;
};

struct store_options {
    std::uint32_t name_map_buckets = 251;
    bool search_nodes = true;  // the empty search nodes 0x1E1 and 0x201
    bool templates = true;     // the template tables 0x60D … 0x692 and the receive-folder table 0x62B
    std::array<std::uint8_t, 16> record_key{0x6a, 0x56, 0xbd, 0x67, 0x23, 0x6f, 0x29, 0x49,
                                            0x83, 0x38, 0xea, 0x15, 0xbf, 0x74, 0xb9, 0x37};
};

class store_builder {
public:
    store_builder(format f, crypt c, store_options options = {});                                    // to memory
    store_builder(format f, crypt c, const std::filesystem::path& out, store_options options = {});  // to a file
    ~store_builder();

    format fmt() const;
    void set_name(std::u16string name);
    folder_builder& root();           // 0x122
    folder_builder& ipm_subtree();    // 0x8022 "Top of Personal Folders"
    folder_builder& search_root();    // 0x8042 "Search Root"
    folder_builder& deleted_items();  // 0x8062 "Deleted Items"
    name_map_builder& names();
    // The id a named property gets in this store.
    std::uint16_t named_id(const named_property& name);
    // An entry id (flags, store record key, nid) as the store writes it for 0x35E0 and the like.
    bytes entry_id(std::uint32_t nid) const;

    // Writes every message added so far as nodes and forgets its contents, keeping only its table row: references
    // to those messages and their attachments dangle afterwards. The final write keeps its messages alive.
    void flush();
    // The node writer, for tests that add nodes of their own (bare heaps, odd tables) to a real store.
    ndb_writer& writer();
    // Adds a hand-made top-level node (for example a bare heap_builder's build()) to the file.
    void add_node(std::uint32_t nid, std::uint32_t parent_nid, const node_content& content);
    nid_counter& nids();

    std::vector<std::byte> write_to_memory();  // memory mode
    void write();                              // file mode
    const layout& where() const;

private:
    void write_folder_tree(folder_builder& f);
    void write_messages(folder_builder& f, bool keep);
    void write_store_nodes();
    std::unique_ptr<store_context> m_ctx;
    std::unique_ptr<ndb_writer> m_writer;
    store_options m_options;
    std::u16string m_name = u"Personal Folders";
    std::unique_ptr<folder_builder> m_root;
    folder_builder* m_ipm = nullptr;
    folder_builder* m_search_root = nullptr;
    folder_builder* m_deleted = nullptr;
};

// Encodes one message (its property context and its recipient, attachment and value subnodes). Exposed for tests.
node_content encode_message(const message_builder& m, store_context& ctx);

}  // namespace pstwrite
