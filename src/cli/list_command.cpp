#include "cli/list_command.h"

#include <charconv>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string_view>

#include "cli/command_help.h"
#include "platform/path_text.h"
#include "platform/settings_store.h"
#include "session/mapi_folder.h"
#include "session/message.h"
#include "session/message_store.h"
#include "session/pst_session.h"

namespace mailferry {

namespace {

struct ListOptions {
    std::vector<std::string> files;
    bool items = false;
    bool json = false;
    std::optional<std::int32_t> codePage;
};

struct ItemEntry {
    bool ok = true;
    std::string error;
    std::uint32_t nid = 0;
    std::int32_t messageClass = 0;
    bool isRead = true;
    std::string sentOn;
    std::string senderName;
    std::string subject;
};

struct FolderEntry {
    int depth = 0;
    std::string name;
    std::string path;
    std::int32_t kind = 0;
    std::int64_t itemCount = 0;
};

// Receives one file's listing while it is read, so that memory stays flat however many items the file holds.
// File() comes first, then Store(), then each folder followed by its items; End() closes the file with the error
// that stopped it, if any, whatever came before.
class ListingWriter {
public:
    virtual ~ListingWriter() = default;
    virtual void File(const std::string& file) = 0;
    virtual void Store(const std::string& storeName) = 0;
    virtual void Folder(const FolderEntry& folder) = 0;
    virtual void Item(const ItemEntry& item) = 0;
    virtual void End(const std::string* error) = 0;
};

// Names and subjects as UTF-8 lines; a lone surrogate prints as U+FFFD, as in file names.
std::string Utf8(std::u16string_view text) {
    return platform::path_of_text(text);
}

std::string_view KindName(std::int32_t kind) {
    switch (kind) {
        case kStoreTopFolder:
            return "store root";
        case kCalendarFolder:
            return "calendar";
        case kContactsFolder:
            return "contacts";
        case kJournalFolder:
            return "journal";
        case kMailFolder:
            return "mail";
        case kNotesFolder:
            return "notes";
        case kTasksFolder:
            return "tasks";
        default:
            return "unknown";
    }
}

// The front end hides these kinds and the converter leaves them out.
bool IsConverted(std::int32_t kind) {
    return kind != kJournalFolder && kind != kNotesFolder && kind != kTasksFolder;
}

std::optional<ListOptions> ParseOptions(const std::vector<std::string>& args) {
    ListOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--items") {
            options.items = true;
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg == "--codepage") {
            if (++i == args.size()) return std::nullopt;
            std::int32_t value = 0;
            const std::string& text = args[i];
            const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
            if (ec != std::errc() || ptr != text.data() + text.size() || value < 0) return std::nullopt;
            options.codePage = value;
        } else if (arg.starts_with("--")) {
            return std::nullopt;
        } else {
            options.files.push_back(arg);
        }
    }
    if (options.files.empty()) return std::nullopt;
    return options;
}

// Same file when the absolute, normalised paths agree ignoring ASCII case.
std::string FileKey(const std::string& file) {
    std::error_code ec;
    std::filesystem::path path = std::filesystem::weakly_canonical(file, ec);
    if (ec) path = std::filesystem::absolute(file, ec).lexically_normal();
    std::string key = path.string();
    for (char& c : key)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return key;
}

void ListItems(MAPIFolder& folder, ListingWriter& writer) {
    folder.ResetQuery();
    // Bounded by the contents table's rows: each call moves the cursor one row, failing or not.
    for (;;) {
        ItemEntry item;
        std::unique_ptr<Message> message;
        try {
            message = folder.QueryMessage();
        } catch (const std::exception& e) {
            item.ok = false;
            item.error = e.what();
            writer.Item(item);
            continue;
        }
        if (!message) break;
        item.nid = message->GetMessage().get_node().get_id();
        item.messageClass = message->messageClass();
        item.isRead = message->isRead();
        item.sentOn = Utf8(message->sentOn());
        item.senderName = Utf8(message->senderName());
        item.subject = Utf8(message->subject());
        writer.Item(item);
    }
}

void ListFolder(MAPIFolder& folder, int depth, bool withItems, ListingWriter& writer) {
    FolderEntry entry;
    entry.depth = depth;
    entry.name = Utf8(folder.folderName());
    entry.path = Utf8(folder.fullFolderPath());
    entry.kind = folder.defaultItemType();
    entry.itemCount = folder.contentCount();
    writer.Folder(entry);
    if (withItems) ListItems(folder, writer);
    for (auto& subFolder : folder.GetFolders()) ListFolder(*subFolder, depth + 1, withItems, writer);
}

// Returns false when the file failed, at open or partway.
bool ListFile(const std::string& file, const ListOptions& options, const platform::settings_store& settings,
              ListingWriter& writer) {
    writer.File(file);
    try {
        auto session = std::make_shared<PSTSession>(file, settings);
        if (options.codePage) session->SetPstDefaultCodePage(*options.codePage);
        MessageStore& store = session->GetRootStore();
        writer.Store(Utf8(store.storeName()));
        ListFolder(store.GetSubTreeFolder(), 0, options.items, writer);
    } catch (const std::exception& e) {
        const std::string error = e.what();
        writer.End(&error);
        return false;
    }
    writer.End(nullptr);
    return true;
}

std::string Quoted(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            default:
                if (u < 0x20 || u == 0x7F) {
                    static constexpr char kHex[] = "0123456789abcdef";
                    out += "\\u00";
                    out.push_back(kHex[u >> 4]);
                    out.push_back(kHex[u & 0xF]);
                } else {
                    out.push_back(c);
                }
        }
    }
    out += '"';
    return out;
}

void WriteError(const std::string& file, const std::string& error, std::ostream& err) {
    err << "mailferry list: " << file << ": " << error << "\n";
}

class TextListingWriter final : public ListingWriter {
public:
    TextListingWriter(std::ostream& out, std::ostream& err) : _out(out), _err(err) {}

    void File(const std::string& file) override { _file = file; }
    // The file's name comes with its store, so that a file that cannot be opened leaves only its error line.
    void Store(const std::string& storeName) override {
        _out << _file << "\n";
        _out << "  store: " << storeName << "\n";
    }
    void Folder(const FolderEntry& folder) override {
        _indent.assign(2 * static_cast<std::size_t>(folder.depth + 1), ' ');
        _out << _indent << folder.name << " [" << KindName(folder.kind)
             << (IsConverted(folder.kind) ? "" : ", not converted") << "] " << folder.itemCount
             << (folder.itemCount == 1 ? " item" : " items") << "\n";
    }
    void Item(const ItemEntry& item) override {
        _out << _indent << "  - ";
        if (!item.ok) {
            _out << "unreadable item: " << item.error << "\n";
            return;
        }
        _out << "class " << item.messageClass << ", " << (item.isRead ? "read" : "unread") << ", sent "
             << Quoted(item.sentOn) << ", from " << Quoted(item.senderName) << ", subject " << Quoted(item.subject)
             << "\n";
    }
    void End(const std::string* error) override {
        if (error) WriteError(_file, *error, _err);
    }

private:
    std::ostream& _out;
    std::ostream& _err;
    std::string _file;
    std::string _indent;
};

// One JSON document for all files, written as they are read: a file that fails partway keeps what was listed and
// ends with "ok": false and its error, so the document stays valid.
class JsonListingWriter final : public ListingWriter {
public:
    JsonListingWriter(bool withItems, std::ostream& out, std::ostream& err)
        : _withItems(withItems), _out(out), _err(err) {
        _out << "{\"files\": [";
    }

    void File(const std::string& file) override {
        _out << (_files++ ? ",\n" : "\n") << "  {\"file\": " << Quoted(file);
        _file = file;
        _inStore = false;
        _folders = 0;
    }
    void Store(const std::string& storeName) override {
        _out << ", \"store\": " << Quoted(storeName) << ", \"folders\": [";
        _inStore = true;
    }
    void Folder(const FolderEntry& folder) override {
        if (_folders) CloseFolder();
        _out << (_folders++ ? ",\n" : "\n") << "    {\"name\": " << Quoted(folder.name)
             << ", \"path\": " << Quoted(folder.path) << ", \"depth\": " << folder.depth
             << ", \"kind\": " << Quoted(KindName(folder.kind)) << ", \"defaultItemType\": " << folder.kind
             << ", \"converted\": " << (IsConverted(folder.kind) ? "true" : "false")
             << ", \"itemCount\": " << folder.itemCount;
        if (_withItems) _out << ", \"items\": [";
        _items = 0;
    }
    void Item(const ItemEntry& item) override {
        _out << (_items++ ? ",\n" : "\n") << "      {";
        if (!item.ok) {
            _out << "\"ok\": false, \"error\": " << Quoted(item.error) << "}";
            return;
        }
        _out << "\"ok\": true, \"nid\": " << item.nid << ", \"messageClass\": " << item.messageClass
             << ", \"isRead\": " << (item.isRead ? "true" : "false") << ", \"sentOn\": " << Quoted(item.sentOn)
             << ", \"senderName\": " << Quoted(item.senderName) << ", \"subject\": " << Quoted(item.subject) << "}";
    }
    void End(const std::string* error) override {
        if (_folders) CloseFolder();
        if (_inStore) _out << "]";
        if (!error) {
            _out << ", \"ok\": true}";
            return;
        }
        _out << ", \"ok\": false, \"error\": " << Quoted(*error) << "}";
        WriteError(_file, *error, _err);
    }
    void Finish() { _out << "\n]}\n"; }

private:
    void CloseFolder() { _out << (_withItems ? "]}" : "}"); }

    bool _withItems;
    std::ostream& _out;
    std::ostream& _err;
    std::string _file;
    std::size_t _files = 0;
    bool _inStore = false;
    std::size_t _folders = 0;
    std::size_t _items = 0;
};

}  // namespace

int RunListCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    return RunListCommand(args, out, err, platform::standard_settings());
}

int RunListCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                   const platform::settings_store& settings) {
    const std::optional<ListOptions> options = ParseOptions(args);
    if (!options) {
        err << CommandUsage("list");
        return 2;
    }
    std::set<std::string> seen;
    TextListingWriter text(out, err);
    std::optional<JsonListingWriter> json;
    if (options->json) json.emplace(options->items, out, err);
    ListingWriter& writer = json ? static_cast<ListingWriter&>(*json) : text;
    bool failed = false;
    for (const std::string& file : options->files) {
        if (!seen.insert(FileKey(file)).second) continue;
        failed = !ListFile(file, *options, settings, writer) || failed;
    }
    if (json) json->Finish();
    return failed ? 1 : 0;
}

}  // namespace mailferry
