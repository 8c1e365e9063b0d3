#include "writers/vcard_writer.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "encoding/code_page_table.h"
#include "encoding/dates.h"
#include "pstcore/messaging/folder.h"
#include "pstcore/messaging/pst.h"
#include "support/test_helpers.h"
#include "writers/vcard_fixtures.h"

namespace {

using mailferry::VCardTarget;
using mftest::unfolded;
namespace contact = pstwrite::contact;

constexpr std::string_view kUid = "6F1B2C3D-0000-4000-8000-00000000000A";

mailferry::date_formatter& Dates() {
    static mailferry::date_formatter dates;
    return dates;
}

// The contacts of a store written by pstwrite, in the order they were added.
class ContactStore {
public:
    explicit ContactStore(std::vector<std::byte> bytes) : _pst(pstcore::open_database(std::move(bytes))) {
        const pstcore::folder top = _pst.open_top_folder();
        for (auto it = top.subfolder_begin(); it != top.subfolder_end(); ++it) {
            pstcore::folder folder = *it;
            folder.get_property_bag().set_text_encoding(mailferry::find_text_encoding(1252));
            if (folder.get_name() != L"Contacts") continue;
            for (auto m = folder.message_begin(); m != folder.message_end(); ++m) _contacts.push_back(*m);
        }
    }

    std::string Write(std::size_t index, VCardTarget target, std::int32_t codePage = 1252,
                      std::string_view zone = "UTC") {
        std::string out;
        WriteInto(out, index, target, codePage, zone);
        return out;
    }

    void WriteInto(std::string& out, std::size_t index, VCardTarget target, std::int32_t codePage = 1252,
                   std::string_view zone = "UTC") {
        mailferry::WriterContext context{
            .dates = &Dates(), .zone = *mailferry::time_zone::named(zone), .newUuid = [] { return std::string(kUid); }};
        mailferry::VCardWriter writer(target, codePage, _pst.get_db()->header_version() > 19, context);
        writer.LookUpNamedProperties(_pst);
        mailferry::StringSink sink(out);
        writer.WriteContact(sink, _contacts.at(index));
    }

private:
    pstcore::pst _pst;
    std::vector<pstcore::message> _contacts;
};

using Fill = std::function<void(pstwrite::message_builder&)>;

// The card of one contact filled by `fill`, in a store of the given format.
std::string Card(const Fill& fill, VCardTarget target = VCardTarget::Plain, std::string_view zone = "UTC",
                 pstwrite::format format = pstwrite::format::unicode) {
    pstwrite::store_builder store(format, pstwrite::crypt::none);
    fill(store.ipm_subtree().add_folder(u"Contacts", "IPF.Contact").add_message("IPM.Contact"));
    return ContactStore(store.write_to_memory()).Write(0, target, 1252, zone);
}

// The card without its folds, so that a long value can be looked for whole.
// The lines each target writes its own way: after the categories, up to the note (whose content the reader
// check decodes and compares in every target).
std::string TargetPart(const std::string& card) {
    const std::size_t from = card.find("\r\n VIP\\, Gold\r\n") + 15;
    return card.substr(from, card.find("\r\nnote;") - from);
}

TEST(VCardWriter, DisplayNameOnlyGivesUidAndFn) {
    EXPECT_EQ(Card(mftest::FillDisplayNameOnly),
              "begin:vcard\r\nversion:3.0\r\nUID:6F1B2C3D-0000-4000-8000-00000000000A\r\n"
              "fn;charset=UTF-8:Ann Lee\r\nend:vcard");
}

TEST(VCardWriter, EveryFieldPlainCard) {
    // The note and the photo after the categories are read back and compared by the reader check.
    const std::string card = ContactStore(mftest::UnicodeContactStore()).Write(1, VCardTarget::Plain);
    EXPECT_EQ(card.substr(0, card.find("\r\nnote;")),
              "begin:vcard\r\n"
              "version:3.0\r\n"
              "UID:6F1B2C3D-0000-4000-8000-00000000000A\r\n"
              "n;charset=UTF-8:Lee;Ann;B.;Dr.;Jr.\r\n"
              "fn;charset=UTF-8:Dr. Ann B. Lee Jr.\r\n"
              "nickname;charset=UTF-8:Annie\r\n"
              "adr;charset=UTF-8;type=home:PO Box 12;;1 Main St;Springfield;IL;62701;USA\r\n"
              "label;charset=UTF-8;type=home:1 Main St\\nSpringfield\\, IL 62701\r\n"
              "adr;charset=UTF-8;type=work;type=pref:PO Box 34;;200 Market St;Portland;OR;97201;USA\r\n"
              "label;charset=UTF-8;type=work;type=pref:200 Market St\\nPortland\\, OR 97201\r\n"
              "adr;type=postal;charset=UTF-8:PO Box 56;;3 Lake Rd;Madison;WI;53703;USA\r\n"
              "label;type=postal;charset=UTF-8:3 Lake Rd\\nMadison\\, WI 53703\r\n"
              "org;charset=UTF-8:Example\\, Inc.;R&D\\; Labs\r\n"
              "title;charset=UTF-8:Engineer\r\n"
              "role;charset=UTF-8:Physicist\r\n"
              "bday:1980-02-29\r\n"
              "tel;type=pref;charset=UTF-8:+1 555 0101\r\n"
              "tel;type=home;charset=UTF-8:+1 555 0102\r\n"
              "tel;type=home;charset=UTF-8:+1 555 0103\r\n"
              "tel;type=cell;charset=UTF-8:+1 555 0104\r\n"
              "tel;type=car;charset=UTF-8:+1 555 0105\r\n"
              "tel;type=pager;charset=UTF-8:+1 555 0106\r\n"
              "tel;type=isdn;charset=UTF-8:+1 555 0107\r\n"
              "tel;type=fax,home;charset=UTF-8:+1 555 0108\r\n"
              "tel;type=work,pref;charset=UTF-8:+1 555 0109\r\n"
              "tel;type=work;charset=UTF-8:+1 555 0110\r\n"
              "tel;type=work;charset=UTF-8:+1 555 0111\r\n"
              "tel;type=fax,pref;charset=UTF-8:+1 555 0112\r\n"
              "tel;type=fax,work;charset=UTF-8:+1 555 0113\r\n"
              "url;type=home;charset=UTF-8:https://ann.example.org/\r\n"
              "url;type=work;charset=UTF-8:https://example.com/ann\r\n"
              "email;type=internet;charset=UTF-8:ann@example.com\r\n"
              "email;type=internet;charset=UTF-8:ann.lee@corp.example\r\n"
              "email;type=internet;charset=UTF-8:a.lee@home.example\r\n"
              "categories;charset=UTF-8:Work,\r\n"
              " Friends,\r\n"
              " VIP\\, Gold");
}

TEST(VCardWriter, EveryFieldAppleAndArchiveLines) {
    ContactStore store(mftest::UnicodeContactStore());
    EXPECT_EQ(TargetPart(store.Write(1, VCardTarget::Apple)),
              "item1.X-ABRELATEDNAMES:Bob Ray\r\n"
              "item1.X-ABLabel:_$!<Assistant>!$_\r\n"
              "item2.X-ABDATE:2005-06-18\r\n"
              "item2.X-ABLabel:_$!<Anniversary>!$_\r\n"
              "item3.X-ABRELATEDNAMES:Sam Lee\r\n"
              "item3.X-ABLabel:_$!<Spouse>!$_\r\n"
              "item4.X-ABRELATEDNAMES:Kim\r\n"
              "item4.X-ABLabel:_$!<Child>!$_\r\n"
              "item5.X-ABRELATEDNAMES:Lou\r\n"
              "item5.X-ABLabel:_$!<Child>!$_\r\n"
              "item6.X-ABRELATEDNAMES:Dee Park\r\n"
              "item6.X-ABLabel:_$!<Manager>!$_\r\n"
              "item7.TEL:+1 555 0130\r\n"
              "item7.X-ABLabel:Assistant Telephone\r\n"
              "item8.TEL:+1 555 0131\r\n"
              "item8.X-ABLabel:Callback Telephone\r\n"
              "item9.TEL:+1 555 0132\r\n"
              "item9.X-ABLabel:Radio Telephone\r\n"
              "item10.TEL:+1 555 0133\r\n"
              "item10.X-ABLabel:Other Telephone\r\n"
              "item11.TEL:T-55\r\n"
              "item11.X-ABLabel:Telex\r\n"
              "item12.TEL:+1 555 0134\r\n"
              "item12.X-ABLabel:TTY/TDD Phone");
    EXPECT_EQ(TargetPart(store.Write(1, VCardTarget::Archive)),
              "X-interests;charset=UTF-8:golf\r\n"
              "X-assistant;charset=UTF-8:Bob Ray\r\n"
              "X-gender:Female\r\n"
              "X-anniversary:2005-06-18\r\n"
              "X-spouse;charset=UTF-8:Sam Lee\r\n"
              "X-child;charset=UTF-8:Kim\r\n"
              "X-child;charset=UTF-8:Lou\r\n"
              "X-manager;charset=UTF-8:Dee Park\r\n"
              "tel;charset=UTF-8;type=assistant:+1 555 0130");
}

struct EdgeCase {
    const char* name;
    Fill fill;
    VCardTarget target;
    std::string line;  // a whole line, or "" for the card's own text to lack `absent`
    std::string absent;
};

TEST(VCardWriter, EdgeCases) {
    using namespace contact;
    const EdgeCase cases[] = {
        {"home address with only a city keeps its empty components", [](auto& m) { m.set_text(home_city, u"Paris"); },
         VCardTarget::Plain, "adr;charset=UTF-8;type=home:;;;Paris;;;", "type=pref"},
        {"an Exchange address whose display name is a plain name gives no e-mail",
         [](auto& m) {
             pstwrite::set_address_named(m, email1_address_type, u"EX");
             pstwrite::set_address_named(m, email1_address, u"/o=Example/cn=ann");
             pstwrite::set_address_named(m, email1_original_display_name, u"Ann Lee");
         },
         VCardTarget::Plain, "", "email"},
        {"without an assistant the spouse is item1", [](auto& m) { m.set_text(spouse_name, u"Sam"); },
         VCardTarget::Apple, "item1.X-ABRELATEDNAMES:Sam", ""},
        {"a gender of 0 makes no entry", [](auto& m) { m.set(gender, pstwrite::prop::i16(0)); }, VCardTarget::Archive,
         "", "gender"},
        {"a list of no children still makes its entry", [](auto& m) { m.set(children, pstwrite::text_list(m, {})); },
         VCardTarget::Plain, "note;charset=UTF-8:Children: \\n", ""},
        {"a photo by reference gives an empty photo, whatever data it has",
         [](auto& m) { pstwrite::add_contact_photo(m, mftest::PhotoBytes()).set_by_reference(u"C:\\ann.jpg"); },
         VCardTarget::Plain, "photo;ENCODING=b;type=jpeg:", "/9j/"},
    };
    for (const EdgeCase& c : cases) {
        const std::string card = Card(c.fill, c.target);
        if (!c.line.empty()) {
            EXPECT_NE(card.find("\r\n" + c.line + "\r\n"), std::string::npos) << c.name << "\n" << card;
        }
        if (!c.absent.empty()) {
            EXPECT_EQ(card.find(c.absent), std::string::npos) << c.name << "\n" << card;
        }
    }
}

TEST(VCardWriter, LongValuesAreWrittenWhole) {
    ContactStore store(mftest::UnicodeContactStore());
    const std::string tail = mftest::LongTailUtf8();
    ASSERT_GT(tail.size(), 2000u);
    const std::string plain = unfolded(store.Write(3, VCardTarget::Plain));
    EXPECT_NE(plain.find("\r\nnickname;charset=UTF-8:Annie" + tail + "\r\n"), std::string::npos);
    EXPECT_NE(plain.find("\\nChildren: Kim" + tail + "\\, Lou" + tail + "\\n"), std::string::npos);
    const std::string archive = unfolded(store.Write(3, VCardTarget::Archive));
    EXPECT_NE(archive.find("\r\nX-child;charset=UTF-8:Lou" + tail + "\r\n"), std::string::npos);
}

TEST(VCardWriter, FoldsOnlyBetweenCharacters) {
    // 'a' and 24 three-byte characters fill 73 bytes; the 25th would straddle the 75th, so it starts the fold.
    std::u16string keyword = u"a";
    for (int i = 0; i < 25; ++i) keyword += u"€";
    const std::string card = Card([&](auto& m) { pstwrite::set_keywords(m, {keyword}); });
    std::string euros;
    for (int i = 0; i < 24; ++i) euros += "€";
    EXPECT_NE(card.find("\r\ncategories;charset=UTF-8:a" + euros + "\r\n €\r\n"), std::string::npos) << card;
}

TEST(VCardWriter, BirthdaysAreTheSameDayInEveryExportingZone) {
    using namespace contact;
    const auto birthday = [](std::uint64_t instant) {
        return [=](pstwrite::message_builder& m) { m.set(contact::birthday, pstwrite::prop::time(instant)); };
    };
    const std::vector<std::pair<const char*, Fill>> stored = {
        {"UTC midnight", birthday(pstwrite::filetime(1990, 5, 17, 0))},
        {"New York midnight", birthday(pstwrite::filetime(1990, 5, 17, 4))},
        {"Berlin midnight", birthday(pstwrite::filetime(1990, 5, 16, 22))},
        {"Tokyo midnight", birthday(pstwrite::filetime(1990, 5, 16, 15))},
        {"the local date wins",
         [](auto& m) {
             m.set(contact::birthday, pstwrite::prop::time(pstwrite::filetime(1990, 5, 18, 15)));
             pstwrite::set_address_named(m, birthday_local, pstwrite::prop::time(pstwrite::filetime(1990, 5, 17)));
         }},
    };
    for (const char* zone : {"America/New_York", "Europe/Berlin", "Asia/Tokyo"}) {
        for (const auto& [name, fill] : stored)
            EXPECT_NE(Card(fill, VCardTarget::Plain, zone).find("\r\nbday:1990-05-17\r\n"), std::string::npos)
                << name << " exported in " << zone;
        const std::string archive = Card(
            [](auto& m) {
                m.set(wedding_anniversary, pstwrite::prop::time(pstwrite::filetime(2001, 9, 8, 23)));
                pstwrite::set_address_named(m, wedding_anniversary_local,
                                            pstwrite::prop::time(pstwrite::filetime(2001, 9, 9)));
            },
            VCardTarget::Archive, zone);
        EXPECT_NE(archive.find("\r\nX-anniversary:2001-09-09\r\n"), std::string::npos) << zone;
    }
}

TEST(VCardWriter, PlainNoteIsAnEscapedTextValue) {
    const Fill fill = [](auto& m) {
        m.set_text(contact::hobbies, u"golf");
        m.set_text(contact::account, u"A1");
        m.set_body(u"Line 1, a; b\r\nLine 2");
    };
    EXPECT_NE(Card(fill).find("\r\nnote;charset=UTF-8:Hobbies: golf\\nAccount: A1\\nLine 1\\, a\\; b\\nLine 2\r\n"),
              std::string::npos);
    EXPECT_NE(Card(fill, VCardTarget::Apple)
                  .find("\r\nnote;charset=UTF-8;encoding=quoted-printable:=\r\n"
                        "Hobbies: golf=0D=0AAccount: A1=0D=0A=\r\nLine 1\\, a\\; b=0D=0ALine 2\r\n"),
              std::string::npos);
}

TEST(VCardWriter, ValuesOnContentLinesAreEscaped) {
    const std::string card =
        Card([](auto& m) { m.set_text(contact::spouse_name, u"Sam\r\nLee; Jr."); }, VCardTarget::Apple);
    EXPECT_NE(card.find("\r\nitem1.X-ABRELATEDNAMES:Sam\\nLee\\; Jr.\r\n"), std::string::npos) << card;
}

TEST(VCardWriter, NamedPropertiesOutsideTheMapOrOfAnotherTypeAreAbsent) {
    const std::string card = Card([](pstwrite::message_builder& m) {
        m.set_text(0x3001, u"Ann");
        m.set_subject(u"Ann");
        m.set(0xA083, m.text(u"ann@example.com"));  // an id the name map does not know
        m.set_named({pstwrite::PS_PUBLIC_STRINGS, std::u16string(u"Keywords")}, pstwrite::prop::i32(7));
    });
    EXPECT_EQ(card,
              "begin:vcard\r\nversion:3.0\r\nUID:6F1B2C3D-0000-4000-8000-00000000000A\r\n"
              "fn;charset=UTF-8:Ann\r\nend:vcard");
}

TEST(VCardWriter, ContactThatCannotBeReadWritesNothing) {
    pstwrite::store_builder builder(pstwrite::format::unicode, pstwrite::crypt::none);
    auto& m = builder.ipm_subtree().add_folder(u"Contacts", "IPF.Contact").add_message("IPM.Contact");
    mftest::FillAllFields(m, u"");
    // A children list too short to hold its own count, read after nearly every other field.
    m.set(contact::children, {pstwrite::prop::pt_mv | pstwrite::prop::pt_unicode, pstwrite::to_bytes("\x05"), 0});
    ContactStore store(builder.write_to_memory());
    std::string out = "before";
    EXPECT_THROW(store.WriteInto(out, 0, VCardTarget::Plain), std::length_error);
    EXPECT_EQ(out, "before");
}

TEST(VCardWriter, AnsiContactInWindows1251) {
    ContactStore store(mftest::CyrillicContactStore());
    EXPECT_EQ(store.Write(0, VCardTarget::Plain, 1251),
              "begin:vcard\r\nversion:3.0\r\nUID:6F1B2C3D-0000-4000-8000-00000000000A\r\n"
              "n;charset=UTF-8:Петров;Иван;;;\r\n"
              "fn;charset=UTF-8:Иван Петров\r\n"
              "adr;charset=UTF-8;type=home:;;;Москва;;;\r\n"
              "org;charset=UTF-8:Ёлка и Ко;\r\n"
              "email;type=internet;charset=UTF-8:ivan@example.ru\r\n"
              "note;charset=UTF-8:Hobbies: шахматы\\nВстреча в пятницу.\r\n"
              "end:vcard");
}

}  // namespace
