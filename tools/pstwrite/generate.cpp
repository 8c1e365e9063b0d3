#include "generate.h"

#include <algorithm>
#include <array>
#include <string>

#include "rtf_compress.h"
#include "store_builder.h"
#include "store_items.h"

namespace pstwrite {

namespace {

// splitmix64: small, fast and the same everywhere, so a seed always gives the same file.
class random {
public:
    explicit random(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    std::size_t below(std::size_t n) { return static_cast<std::size_t>(next() % n); }

private:
    std::uint64_t m_state;
};

constexpr std::array<std::string_view, 24> words{"meeting",  "report", "budget",   "quarter",  "project",  "review",
                                                 "schedule", "draft",  "client",   "invoice",  "update",   "team",
                                                 "summary",  "notes",  "proposal", "deadline", "agenda",   "launch",
                                                 "results",  "plan",   "design",   "travel",   "contract", "feedback"};
constexpr std::array<std::string_view, 12> given{"Alice", "Bruno", "Chen", "Dana",  "Emil",  "Farah",
                                                 "Gita",  "Hugo",  "Ines", "Jonas", "Kenji", "Lena"};
constexpr std::array<std::string_view, 12> family{"Meyer", "Novak",  "Okafor", "Petit", "Quinn", "Rossi",
                                                  "Silva", "Tanaka", "Ueda",   "Varga", "Weber", "Young"};
constexpr std::array<std::string_view, 6> folder_names{"Inbox",   "Sent Items", "Projects",
                                                       "Archive", "Clients",    "Travel"};

// Text and bytes are cut from pools made once per run, so big bodies and attachments cost no per-byte work.
struct pools {
    std::string text;
    bytes binary;
    pools(random& r, std::size_t text_size, std::size_t binary_size) {
        while (text.size() < text_size) {
            text.append(words[r.below(words.size())]);
            text.push_back(r.below(12) == 0 ? '\n' : ' ');
        }
        binary.resize(binary_size);
        for (std::size_t i = 0; i < binary_size; i += 8) {
            const std::uint64_t v = r.next();
            for (std::size_t k = 0; k < 8 && i + k < binary_size; ++k)
                binary[i + k] = static_cast<std::byte>(v >> (8 * k));
        }
    }
    std::string slice_text(random& r, std::size_t n) const {
        std::string out;
        out.reserve(n);
        while (out.size() < n) {
            const std::size_t at = r.below(text.size());
            out.append(text, at, std::min(n - out.size(), text.size() - at));
        }
        return out;
    }
    // The same bytes as slice_binary, appended straight to a data stream in the file.
    void stream_binary(random& r, std::uint64_t n, data_stream& out) const {
        for (std::uint64_t done = 0; done < n;) {
            const std::size_t at = r.below(binary.size());
            const auto take = static_cast<std::size_t>(std::min<std::uint64_t>(n - done, binary.size() - at));
            out.append(std::span<const std::byte>(binary).subspan(at, take));
            done += take;
        }
    }
    bytes slice_binary(random& r, std::size_t n) const {
        bytes out;
        out.reserve(n);
        while (out.size() < n) {
            const std::size_t at = r.below(binary.size());
            const std::size_t take = std::min(n - out.size(), binary.size() - at);
            out.insert(out.end(), binary.begin() + static_cast<std::ptrdiff_t>(at),
                       binary.begin() + static_cast<std::ptrdiff_t>(at + take));
        }
        return out;
    }
};

std::u16string person(random& r, std::u16string* email) {
    const auto g = given[r.below(given.size())], f = family[r.below(family.size())];
    if (email) {
        std::string e = std::string(g) + "." + std::string(f) + "@example.com";
        std::transform(e.begin(), e.end(), e.begin(), [](char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; });
        *email = widen(e);
    }
    return widen(std::string(g) + " " + std::string(f));
}

std::u16string subject(random& r) {
    std::string s(words[r.below(words.size())]);
    s[0] = static_cast<char>(s[0] - 32);
    for (int i = 0, n = 2 + static_cast<int>(r.below(5)); i < n; ++i)
        s.append(" ").append(words[r.below(words.size())]);
    return widen(s);
}

std::string html_of(std::string_view text) {
    std::string html = "<html><head><meta charset=\"windows-1252\"></head><body><p>";
    for (char c : text) {
        if (c == '\n')
            html.append("</p>\r\n<p>");
        else if (c == '<')
            html.append("&lt;");
        else if (c == '&')
            html.append("&amp;");
        else
            html.push_back(c);
    }
    return html.append("</p></body></html>");
}

// Attachments larger than this go to the file as they are made instead of through memory.
constexpr std::uint64_t stream_threshold = 256 * 1024;

void add_mail(store_builder& store, folder_builder& folder, std::uint64_t index, const generate_options& o, random& r,
              const pools& p) {
    auto& m = folder.add_message("IPM.Note");
    m.set_subject(subject(r));
    std::u16string from_email;
    const std::u16string from = person(r, &from_email);
    for (std::uint16_t id : {0x0C1A, 0x0042}) m.set_text(id, from);  // sender, sent representing
    for (std::uint16_t id : {0x0C1F, 0x0065}) m.set_text(id, from_email);
    for (std::uint16_t id : {0x0C1E, 0x0064}) m.set_text(id, u"SMTP");
    const std::uint64_t when = filetime(2024, 1, 1, 8) + index * 37 * 60'000'000ull * 10;  // 37 minutes apart
    m.set(0x0039, prop::time(when));
    m.set(0x0E06, prop::time(when + 600'000'000ull));
    m.set(0x3007, prop::time(when));
    m.set(0x3008, prop::time(when));
    m.set(0x0E07, prop::i32(r.below(4) == 0 ? 0 : 1));  // a quarter unread
    m.set(0x0017, prop::i32(1));
    const std::string text = p.slice_text(r, o.body_bytes);
    m.set_body(widen(text));
    switch (index % 3) {
        case 1:
            m.set_html(html_of(text));
            break;
        case 2:
            m.set_rtf(rtf_from_text(text));
            break;
        default:
            break;
    }
    for (std::size_t i = 0, n = 1 + r.below(3); i < n; ++i) {
        recipient rc;
        rc.display_name = person(r, &rc.email);
        rc.kind = i == 2 ? recipient_kind::cc : recipient_kind::to;
        m.add_recipient(std::move(rc));
    }
    static constexpr std::array<std::u16string_view, 4> extensions{u".pdf", u".txt", u".bin", u".png"};
    for (std::uint32_t a = 0; a < o.attachments_per_message; ++a) {
        const std::u16string name = widen(std::string(words[r.below(words.size())]) + "-" + std::to_string(a + 1)) +
                                    std::u16string(extensions[r.below(extensions.size())]);
        if (o.attachment_bytes > stream_threshold) {
            data_stream stream = store.writer().begin_data();
            p.stream_binary(r, o.attachment_bytes, stream);
            m.add_attachment().set_streamed_data(name, store.writer().end_data(stream), u"application/octet-stream");
        } else {
            m.add_attachment().set_data(name, p.slice_binary(r, o.attachment_bytes), u"application/octet-stream");
        }
    }
}

}  // namespace

void generate(const generate_options& o, const std::filesystem::path& out) {
    random r(o.seed);
    const pools p(r, 64 * 1024, 1024 * 1024);
    store_builder store(o.fmt, o.enc, out);
    store.writer().set_node_layout(false);  // per-node layout detail would grow with the node count
    store.set_name(u"Generated store");
    // ANSI row indexes hold 16-bit row numbers: keep each folder under that many messages.
    std::uint64_t folder_count = std::max<std::uint64_t>(1, o.folders);
    if (o.fmt == format::ansi) folder_count = std::max<std::uint64_t>(folder_count, o.messages / 60000 + 1);
    std::vector<folder_builder*> mail;
    for (std::uint64_t i = 0; i < folder_count; ++i) {
        const std::string name =
            i < folder_names.size() ? std::string(folder_names[i]) : "Folder " + std::to_string(i + 1);
        mail.push_back(&store.ipm_subtree().add_folder(widen(name), "IPF.Note"));
    }
    auto& contacts = store.ipm_subtree().add_folder(u"Contacts", "IPF.Contact");
    auto& calendar = store.ipm_subtree().add_folder(u"Calendar", "IPF.Appointment");

    for (std::uint64_t i = 0; i < o.messages; ++i) {
        add_mail(store, *mail[i % mail.size()], i, o, r, p);
        store.flush();  // the message becomes nodes now; only its contents-table row stays in memory
    }
    const std::uint64_t extras = std::clamp<std::uint64_t>(o.messages / 10, 5, 50000);
    for (std::uint64_t i = 0; i < extras; ++i) {
        contact_fields c;
        std::u16string email;
        const std::u16string name = person(r, &email);
        const auto space = name.find(u' ');
        c.given_name = name.substr(0, space);
        c.surname = name.substr(space + 1);
        c.email = email;
        c.company = u"Example Ltd";
        c.phone = widen("+1 555 01" + std::to_string(10 + i % 90));
        fill_contact(contacts.add_message("IPM.Contact"), c);
        appointment_fields a;
        a.subject = subject(r);
        a.location = widen("Room " + std::to_string(1 + r.below(20)));
        a.body = widen(p.slice_text(r, 200));
        a.start = filetime(2024, 1, 1, 9) + (i * 26 + r.below(8)) * 36'000'000'000ull;  // an hour is 3.6e10 ticks
        a.end = a.start + 36'000'000'000ull;
        a.weekly = i % 4 == 0;
        fill_appointment(calendar.add_message("IPM.Appointment"), a);
        store.flush();
    }
    store.write();
}

}  // namespace pstwrite
