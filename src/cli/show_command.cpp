#include "cli/show_command.h"

#include <charconv>
#include <exception>
#include <memory>
#include <optional>
#include <string_view>

#include "cli/command_help.h"
#include "cli/show_kinds.h"
#include "encoding/code_page_table.h"
#include "pstcore/messaging/message.h"
#include "pstcore/messaging/messaging_format.h"
#include "session/pst_session.h"

namespace mailferry {

namespace {

constexpr int kUsageError = 64;

template <typename T>
std::optional<T> ParseNumber(std::string_view text) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    T value{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<ShowOptions> ParseOptions(const std::vector<std::string>& args) {
    ShowOptions options;
    bool haveNid = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--nid" && hasValue) {
            const auto nid = ParseNumber<std::uint32_t>(args[++i]);
            if (!nid) return std::nullopt;
            options.nid = *nid;
            haveNid = true;
        } else if (arg == "--codepage" && hasValue) {
            const auto codePage = ParseNumber<std::int32_t>(args[++i]);
            if (!codePage || *codePage < 0) return std::nullopt;
            options.codePage = codePage;
        } else if (arg == "--target" && hasValue) {
            options.target = args[++i];
            if (options.target != "apple" && options.target != "archive" && options.target != "plain")
                return std::nullopt;
        } else if (arg == "--timezone" && hasValue) {
            options.timeZone = args[++i];
        } else if (arg == "--mbox") {
            options.mbox = true;
        } else if (arg == "--reference") {
            options.reference = true;
        } else if (arg.starts_with("--") || !options.file.empty()) {
            return std::nullopt;
        } else {
            options.file = arg;
        }
    }
    if (options.file.empty() || !haveNid) return std::nullopt;
    return options;
}

}  // namespace

int RunShowCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const std::optional<ShowOptions> options = ParseOptions(args);
    if (!options) {
        err << CommandUsage("show");
        return kUsageError;
    }
    try {
        auto session = std::make_shared<PSTSession>(options->file);
        if (options->codePage) session->SetPstDefaultCodePage(*options->codePage);
        pstcore::message message(session->pstSession().get_db()->lookup_node(options->nid));
        pstcore::property_bag& bag = message.get_property_bag();
        // An ANSI file's message class is 8-bit text in the session's code page.
        bag.set_text_encoding(find_text_encoding(session->pstDefaultCodePage()));
        if (!bag.prop_exists(pstcore::k_prop_message_class)) {
            err << "mailferry show: node " << options->nid << " is not a message\n";
            return 1;
        }
        const std::u16string messageClass = bag.read_unistring(pstcore::k_prop_message_class);
        if (messageClass.starts_with(u"IPM.Contact")) return ShowContact(*options, *session, message, out, err);
        if (messageClass.starts_with(u"IPM.Appointment")) return ShowAppointment(*options, *session, message, out, err);
        return ShowMail(*options, *session, message, out, err);
    } catch (const std::exception& e) {
        err << "mailferry show: " << options->file << ": " << e.what() << "\n";
        return 1;
    }
}

}  // namespace mailferry
