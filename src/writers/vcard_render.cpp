// vcard_render.cpp: the rendering half of the vCard writer — gathered fields to the card's lines. Every line but
// the first begins with CR LF, so the writer can append the photo and the end line after the note.

#include <initializer_list>
#include <string>

#include "encoding/code_page_table.h"
#include "encoding/escaping.h"
#include "encoding/quoted_printable.h"
#include "platform/diagnostic_log.h"
#include "writers/vcard_internal.h"

namespace mailferry::detail {

namespace {

constexpr std::string_view kNewLine = "\r\n";
// Between two categories: a comma, then a folded line so that a long list stays readable.
constexpr std::string_view kCategorySeparator = ",\r\n ";
constexpr std::string_view kSoftBreak = "=\r\n";

// Appends CR LF and the start of a new content line (its name and parameters), ready for the value.
std::string& StartLine(std::string& out, std::string_view start) {
    return out.append(kNewLine).append(start);
}

// Every value on a content line is escaped: a line break inside it would end the line and a ";" would split a
// structured value, and readers lose the card or the field.
std::string Escaped(std::string_view text) {
    std::string out;
    value_escaper(false).append(text, out);
    return out;
}

std::string EscapedAndFolded(std::string_view text) {
    std::string out;
    value_escaper(true).append(text, out);
    return out;
}

std::string JoinEscaped(std::initializer_list<std::string_view> parts) {
    std::string out;
    bool first = true;
    for (const std::string_view part : parts) {
        if (!first) out.push_back(';');
        first = false;
        value_escaper(false).append(part, out);
    }
    return out;
}

void RenderName(const ContactFields& f, std::string& out) {
    const std::string text = JoinEscaped({f.surname, f.givenName, f.middleName, f.namePrefix, f.generation});
    // More than the four separators: some part of the name is there.
    if (text.size() >= 5) StartLine(out, "n;charset=UTF-8:").append(text);
}

void RenderTextLine(std::string_view start, std::string_view value, std::string& out) {
    if (!value.empty()) StartLine(out, start).append(Escaped(value));
}

// The address line and its label, each only when it holds something.
void RenderAddress(const PostalAddress& a, std::string_view adrStart, std::string_view labelStart, bool preferred,
                   std::string& out) {
    const std::string_view valueStart = preferred ? ";type=pref:" : ":";
    const std::string text = JoinEscaped({a.postOfficeBox, "", a.street, a.city, a.state, a.postalCode, a.country});
    if (text.size() >= 7) StartLine(out, adrStart).append(valueStart).append(text);
    if (a.label.size() >= 7) StartLine(out, labelStart).append(valueStart).append(Escaped(a.label));
}

void RenderAddresses(const ContactFields& f, std::string& out) {
    const auto preferred = [&](std::int32_t id) { return f.postalAddressId == id; };
    RenderAddress(f.home, "adr;charset=UTF-8;type=home", "label;charset=UTF-8;type=home", preferred(1), out);
    RenderAddress(f.work, "adr;charset=UTF-8;type=work", "label;charset=UTF-8;type=work", preferred(2), out);
    RenderAddress(f.other, "adr;type=postal;charset=UTF-8", "label;type=postal;charset=UTF-8", preferred(3), out);
}

void RenderOrganization(const ContactFields& f, std::string& out) {
    const std::string text = JoinEscaped({f.company, f.department});
    if (text.size() >= 2) StartLine(out, "org;charset=UTF-8:").append(text);
    RenderTextLine("title;charset=UTF-8:", f.title, out);
    RenderTextLine("role;charset=UTF-8:", f.profession, out);
}

// An SMTP address (or one whose type is not given) is written as it is. Any other type (an Exchange DN, a fax
// number) gives no address of its own, but its original display name may be an SMTP address.
void RenderEmails(const ContactFields& f, std::string& out) {
    for (const EmailAddress& email : f.emails) {
        std::string value;
        if (!email.addressType.empty() && email.addressType != "SMTP") {
            const std::string name = Escaped(email.originalDisplayName);
            const std::size_t at = name.find('@');
            if (at != std::string::npos && name.find('.', at + 1) != std::string::npos) value = name;
        } else {
            value = Escaped(email.address);
        }
        if (!value.empty()) StartLine(out, "email;type=internet;charset=UTF-8:").append(value);
    }
}

void RenderCategories(const ContactFields& f, std::string& out) {
    if (!f.categories || f.categories->empty()) return;
    StartLine(out, "categories;charset=UTF-8:");
    bool first = true;
    for (const std::string& keyword : *f.categories) {
        if (!first) out.append(kCategorySeparator);
        first = false;
        out.append(EscapedAndFolded(keyword));
    }
}

// The fields vCard has no property for: lines of their own in the Apple and archive targets where those have a
// place for them, entries of the note otherwise.
class ExtraRenderer {
public:
    ExtraRenderer(VCardTarget target, std::string& out) : _target(target), _out(out) {}

    void Field(const ExtraField& field, const std::string& value) {
        if (_target == VCardTarget::Archive && !field.archiveLine.empty()) {
            StartLine(_out, field.archiveLine).append(Escaped(value));
        } else if (_target == VCardTarget::Apple && !field.appleProperty.empty()) {
            Item(field, Escaped(value));
        } else {
            Note(field.noteLabel, value);
        }
    }

    void Children(const ExtraField& field, const std::vector<std::string>& names) {
        if (_target == VCardTarget::Archive) {
            for (const std::string& name : names) StartLine(_out, field.archiveLine).append(EscapedAndFolded(name));
            return;
        }
        if (_target == VCardTarget::Apple)
            for (const std::string& name : names) Item(field, EscapedAndFolded(name));
        std::string joined;
        for (const std::string& name : names) {
            if (!joined.empty()) joined.append(", ");
            joined.append(name);
        }
        Note(field.noteLabel, joined);
    }

    // The collected note entries, one per line.
    std::string& NoteText() { return _note; }

private:
    // "itemN.PROPERTY:value" and "itemN.X-ABLabel:label": Apple groups a value with its label by N.
    void Item(const ExtraField& field, const std::string& escapedValue) {
        const std::string group = "item" + std::to_string(_nextItem++) + ".";
        StartLine(_out, group).append(field.appleProperty).append(":").append(escapedValue);
        StartLine(_out, group).append("X-ABLabel:").append(field.appleLabel);
    }

    void Note(std::string_view label, std::string_view value) {
        if (!_note.empty()) _note.append(kNewLine);
        _note.append(label).append(value);
    }

    VCardTarget _target;
    std::string& _out;
    std::string _note;
    int _nextItem = 1;
};

// Reads the whole body and converts it to UTF-8.
std::string BodyText(NoteBody& body) {
    std::string raw;
    append_all(*body.text, raw);
    std::string text;
    code_page_converter(body.encoding, utf8_encoding())(raw, text);
    return text;
}

// The plain target writes the note as a vCard 3.0 text value (quoted-printable is not 3.0, and its readers drop
// the whole card); Apple's and the archive's importers read the quoted-printable form.
void RenderNote(NoteBody& body, std::string extra, VCardTarget target, std::string& out) {
    if (extra.empty() && !body.text) return;
    if (!extra.empty() && extra.back() == '\r')
        platform::log_diagnostic("Unexpected character at additional note end.");
    if (!extra.empty()) extra.append(kNewLine);
    const bool withBody = body.text && body.encoding;
    if (target == VCardTarget::Plain) {
        StartLine(out, "note;charset=UTF-8:");
        value_escaper escaper(true);
        escaper.append(extra, out);
        if (withBody) escaper.append(BodyText(body), out);
        return;
    }
    StartLine(out, "note;charset=UTF-8;encoding=quoted-printable:").append(kSoftBreak);
    if (!extra.empty()) EncodeQuotedPrintable(extra, out);
    if (!withBody) return;
    // The body's encoder counts its columns from 0, so it starts on a line of its own: no line passes 76.
    if (!extra.empty() && !out.ends_with(kSoftBreak)) out.append(kSoftBreak);
    WriteQuotedPrintableStream(*body.text, body.encoding, out, utf8_encoding());
}

}  // namespace

void RenderContact(ContactFields& f, VCardTarget target, std::string_view uid, std::string& out) {
    out.append("begin:vcard\r\nversion:3.0");
    StartLine(out, "UID:").append(uid);
    RenderName(f, out);
    RenderTextLine("fn;charset=UTF-8:", f.formattedName, out);
    RenderTextLine("nickname;charset=UTF-8:", f.nickname, out);
    RenderAddresses(f, out);
    RenderOrganization(f, out);
    if (f.birthday) StartLine(out, "bday:").append(*f.birthday);
    for (std::size_t i = 0; i < kPhoneLines.size(); ++i) RenderTextLine(kPhoneLines[i].start, f.phones[i], out);
    RenderEmails(f, out);
    RenderCategories(f, out);
    ExtraRenderer extras(target, out);
    for (std::size_t row = 0; row < kExtraFields.size(); ++row) {
        if (kExtraFields[row].source == ExtraSource::NameList) {
            if (f.children) extras.Children(kExtraFields[row], *f.children);
        } else if (f.extras[row]) {
            extras.Field(kExtraFields[row], *f.extras[row]);
        }
    }
    RenderNote(f.body, std::move(extras.NoteText()), target, out);
}

}  // namespace mailferry::detail
