// The header block of a message: the stored transport headers when they can stand for the message, otherwise
// one composed from its properties; and the address lists.

#include <string>
#include <vector>

#include "encoding/dates.h"
#include "platform/platform_string.h"
#include "pstcore/messaging/message.h"
#include "writers/mime_parts_internal.h"

namespace mailferry::detail {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// "Name:" or "Name   :" opens a header field; "Name and other words" does not.
bool IsHeaderFieldLine(std::string_view line) {
    std::size_t i = 0;
    while (i < line.size() && !IsBlank(line[i])) {
        if (line[i] == ':') return true;
        ++i;
    }
    while (i < line.size() && IsBlank(line[i])) ++i;
    return i < line.size() && line[i] == ':';
}

// "MIME-Version" and a colon, blanks allowed between them.
bool IsMimeVersionField(std::string_view line) {
    constexpr std::string_view name = "MIME-Version";
    if (!StartsWithNoCase(line, name)) return false;
    std::size_t i = name.size();
    while (i < line.size() && IsBlank(line[i])) ++i;
    return i < line.size() && line[i] == ':';
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> pieces;
    for (;;) {
        const std::size_t at = text.find(separator);
        pieces.push_back(text.substr(0, at));
        if (at == std::string_view::npos) return pieces;
        text.remove_prefix(at + 1);
    }
}

// An "@" with a "." somewhere after it.
bool LooksLikeEmailAddress(std::string_view text) {
    const std::size_t at = text.find('@');
    return at != std::string_view::npos && text.find('.', at) != std::string_view::npos;
}

}  // namespace

// The display name quoted (or as an encoded word), then the address in angle brackets. An address of another
// type than SMTP (an Exchange DN) is no use to a mail program: the alternatives stand in for it, or none.
std::string FormatAddress(std::string_view displayName, std::string_view email, std::string_view addressType,
                          std::string_view firstAlternative, std::string_view secondAlternative) {
    std::string text;
    if (!displayName.empty()) text = HeaderText(displayName, true);
    std::string_view address;
    if (!email.empty() && (addressType.empty() || addressType == "SMTP"))
        address = email;
    else if (!firstAlternative.empty())
        address = firstAlternative;
    else if (!secondAlternative.empty() && LooksLikeEmailAddress(secondAlternative))
        address = secondAlternative;
    if (address.empty()) return text.append(" <>");
    if (displayName.empty()) text.append(HeaderText(address, true));
    return text.append(" <").append(HeaderText(address, false)).append(">");
}

void MessageRenderer::WriteHeaderBlock() {
    const bool stored =
        !_subjectPrefix && _message.get_property_bag().prop_exists(kPropTransportHeaders) && WriteStoredHeaders();
    if (!stored) WriteComposedHeaders();
}

bool MessageRenderer::WriteStoredHeaders() {
    const pstcore::property_bag& bag = _message.get_property_bag();
    const std::string text = bag.read_utf8string(kPropTransportHeaders);
    std::string kept;
    bool sawFrom = false, sawDate = false, sawSubject = false, sawMimeVersion = false;
    bool skipping = false;
    std::string_view rest = text;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (line.empty()) continue;
        const bool continuation = IsBlank(line.front());
        if (!continuation) {
            if (!IsHeaderFieldLine(line)) {
                if (line.front() == '-') break;  // a MIME boundary: the body has begun
                continue;
            }
            sawFrom = sawFrom || StartsWithNoCase(line, "From");
            sawDate = sawDate || StartsWithNoCase(line, "Date") || StartsWithNoCase(line, "Delivery-date");
            sawSubject = sawSubject || StartsWithNoCase(line, "Subject");
            if (StartsWithNoCase(line, "Content-")) {
                // The writer's own content fields replace these and their continuation lines.
                skipping = true;
                continue;
            }
            sawMimeVersion = sawMimeVersion || IsMimeVersionField(line);
        }
        if (skipping && continuation) continue;
        kept.append(line).append(_out.Eol());
        skipping = false;
    }
    const bool fromUsable = sawFrom || StringOrEmpty(bag, kPropSentRepresentingName).empty();
    const bool subjectUsable = sawSubject || StringOrEmpty(bag, kPropSubject).empty();
    if (!fromUsable || !subjectUsable || !sawDate) return false;
    _out.Put(kept);
    // Without it a conforming reader takes the multipart content type that follows for plain text.
    if (!sawMimeVersion) _out.Line("MIME-Version: 1.0");
    return true;
}

void MessageRenderer::WriteComposedHeaders() {
    const pstcore::property_bag& bag = _message.get_property_bag();
    const std::string returnPath = StringOrEmpty(bag, kPropReturnPath);
    if (!returnPath.empty()) _out.Line("Return-Path: <", HeaderText(returnPath, false), ">");
    if (const auto flags = FindInt32(bag, kPropMessageFlags)) _out.Line("Status: ", (*flags & 1) != 0 ? "R" : "N");

    const std::string representing = StringOrEmpty(bag, kPropSentRepresentingName);
    if (!representing.empty()) {
        _out.Line("From: ", FormatAddress(representing, StringOrEmpty(bag, kPropSentRepresentingEmail),
                                          StringOrEmpty(bag, kPropSentRepresentingAddressType), {}, {}));
    }
    const std::string sender = StringOrEmpty(bag, kPropSenderName);
    if (!sender.empty() && sender != representing) {
        _out.Line("Sender: ", FormatAddress(sender, StringOrEmpty(bag, kPropSenderEmail),
                                            StringOrEmpty(bag, kPropSenderAddressType), {}, {}));
    }
    WriteRecipients();
    WriteReplyTo();
    WriteDateLines();
    WriteSubject();
    WriteMessageId();
    WritePriority();
    if (const auto importance = FindInt32(bag, kPropImportance)) {
        _out.Line("Importance: ", *importance == 2 ? "High" : *importance == 0 ? "Low" : "Normal");
    }
    const std::string inReplyTo = StringOrEmpty(bag, kPropInReplyTo);
    if (!inReplyTo.empty()) _out.Line("In-Reply-To: ", HeaderText(inReplyTo, false));
    const std::string references = StringOrEmpty(bag, kPropInternetReferences);
    if (!references.empty()) _out.Line("References: ", HeaderText(references, false));
    _out.Line("MIME-Version: 1.0");
    _out.Flush();
}

void MessageRenderer::WriteRecipients() {
    std::string lists[3];  // To, Cc, Bcc
    constexpr std::string_view names[3] = {"To: ", "Cc: ", "Bcc: "};
    for (auto it = _message.recipient_begin(), end = _message.recipient_end(); it != end; ++it) {
        pstcore::recipient row = *it;
        row.set_text_encoding(_sessionEncoding);
        const std::optional<std::int32_t> type = FindInt32(row, kPropRecipientType);
        if (!type || *type < 1 || *type > 3) continue;
        std::string& list = lists[*type - 1];
        list.append(list.empty() ? names[*type - 1] : std::string(",").append(_out.Eol()).append(" "));
        list.append(FormatAddress(StringOrEmpty(row, kPropDisplayName), StringOrEmpty(row, kPropEmailAddress),
                                  StringOrEmpty(row, kPropAddressType), StringOrEmpty(row, kPropSmtpAddress),
                                  StringOrEmpty(row, kPropRecipientAlternateAddress)));
    }
    for (const std::string& list : lists) {
        if (!list.empty()) _out.Line(list);
    }
}

void MessageRenderer::WriteReplyTo() {
    const pstcore::property_bag& bag = _message.get_property_bag();
    const std::string names = StringOrEmpty(bag, kPropReplyRecipientNames);
    if (names.empty()) return;
    const std::string emails = StringOrEmpty(bag, kPropReplyRecipientEmails);
    const std::vector<std::string_view> nameList = Split(names, ';');
    const std::vector<std::string_view> emailList = Split(emails, ',');
    _out.Put("Reply-To: ");
    for (std::size_t i = 0; i < nameList.size(); ++i) {
        if (i > 0) _out.Line(",");
        if (i > 0) _out.Put(" ");
        _out.Put(FormatAddress(nameList[i], i < emailList.size() ? emailList[i] : std::string_view(), "SMTP", {}, {}));
    }
    _out.Line("");
}

void MessageRenderer::WriteDateLines() {
    const pstcore::property_bag& bag = _message.get_property_bag();
    std::optional<std::int64_t> when = FindTime(bag, kPropClientSubmitTime);
    if (!when) when = FindTime(bag, kPropLastModificationTime);
    if (!when || *when == 0) return;
    std::string date;
    FormatRfc822Date(*_settings.context->dates, *when, date, &_settings.context->zone);
    _out.Line("Date: ", date);
    _out.Line("Delivery-Date: ", date);
    _out.Line("Received: by localhost; ", date);
}

void MessageRenderer::WriteSubject() {
    const bool hasSubject = _message.get_property_bag().prop_exists(kPropSubject);
    if (!hasSubject && !_subjectPrefix) return;
    std::u16string subject(_subjectPrefix.value_or(std::u16string_view()));
    if (hasSubject) subject.append(platform::stringWithWString(_message.get_subject()));
    _out.Line("Subject: ", HeaderText(subject, false));
}

void MessageRenderer::WriteMessageId() {
    const std::string id = HeaderText(StringOrEmpty(_message.get_property_bag(), kPropInternetMessageId), false);
    if (!id.empty()) {
        _out.Line("Message-ID: ", id);
        return;
    }
    _out.Line("Message-ID: <", _settings.messageIdHost, "@", std::to_string(static_cast<std::int32_t>(_boundaryNumber)),
              ">");
}

void MessageRenderer::WritePriority() {
    const std::optional<std::int32_t> priority = FindInt32(_message.get_property_bag(), kPropPriority);
    if (!priority) return;
    if (*priority == -1) {
        _out.Line("Priority: nourgent");
        _out.Line("X-Priority: 5 (Low)");
    } else if (*priority == 1) {
        _out.Line("Priority: urgent");
        _out.Line("X-Priority: 1 (High)");
    } else {
        _out.Line("Priority: normal");
        _out.Line("X-Priority: 3 (Normal)");
    }
}

}  // namespace mailferry::detail
