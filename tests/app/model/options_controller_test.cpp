// The option panel's rules: which targets the kind boxes offer and which switches each target takes, the chosen
// target across a changing list, and the stored settings bound both ways.

#include <filesystem>

#include "app/model/options_controller.h"
#include "app/model/tree_selection.h"
#include "session/session_fixture.h"

namespace mailferry {
namespace {

class OptionsTest : public mftest::SessionTest {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        m_settings = settings("maxMBOXSize=1024\n");
        options = std::make_unique<OptionsController>(*m_settings);
    }
    void setKinds(std::int32_t mails, std::int32_t contacts, std::int32_t calendar) {
        options->setKindState(kMailContainer, mails);
        options->setKindState(kContactsContainer, contacts);
        options->setKindState(kCalendarContainer, calendar);
    }
    // Per target of the list: its packing and format, then the switches it enables — R read/unread, C merge
    // contacts, K merge calendar events, S split MBOX files.
    std::string targets() {
        std::string out;
        for (std::size_t i = 0; i < options->selectedOptionsArray().size(); ++i) {
            options->setDestinationTypeOptions(static_cast<std::int32_t>(i));
            const OptionMenuItem& option = *options->chosenOption();
            const OptionSwitches& s = options->switches();
            out += (out.empty() ? "" : " ") + std::to_string(option.packingType) + std::to_string(option.mailFormat) +
                   ":" + (s.saveReadUnreadEnabled ? "R" : "-") + (s.mergeContactsEnabled ? "C" : "-") +
                   (s.mergeCalendarEventsEnabled ? "K" : "-") + (s.splitMBOXFilesEnabled ? "S" : "-");
        }
        return out;
    }
    std::unique_ptr<OptionsController> options;
};

constexpr std::int32_t none = kNoFolderOfClass, some = kMixedSelection;

TEST_F(OptionsTest, EveryKindCombinationOffersItsTargetsAndSwitches) {
    const struct {
        std::int32_t mails, contacts, calendar;
        const char* expected;
    } cases[] = {
        // Mixed counts as selected; an unticked or absent kind does not.
        {some, 0, none, "11:---- 01:---- 20:---- 31:R--S 30:R---"},
        {0, 1, none, "11:---- 01:---- 31:-C--"},
        {none, none, some, "11:---- 01:---- 20:---- 31:--KS 30:--K-"},
        {1, some, none, "11:---- 01:---- 20:---- 31:RC-S 30:RC--"},
        {1, 0, 1, "11:---- 01:---- 20:---- 31:R-KS 30:R-K-"},
        {none, 1, 1, "11:---- 01:---- 20:---- 31:-CKS 30:-CK-"},
        {1, 1, 1, "11:---- 01:---- 20:---- 31:RCKS 30:RCK-"},
    };
    for (const auto& c : cases) {
        setKinds(c.mails, c.contacts, c.calendar);
        EXPECT_TRUE(options->startButtonEnabled());
        EXPECT_EQ(targets(), c.expected) << c.mails << " " << c.contacts << " " << c.calendar;
    }
    setKinds(0, none, 0);
    EXPECT_FALSE(options->startButtonEnabled() || options->destinationTypeOptionEnabled());
    EXPECT_EQ(options->chosenOption(), nullptr);
    EXPECT_FALSE(options->switches().saveReadUnreadEnabled || options->switches().splitMBOXFilesEnabled);
}

TEST_F(OptionsTest, ChosenTargetIsClampedToTheListAndComesBackWhenItGrows) {
    setKinds(1, none, none);
    options->setDestinationTypeOptions(4);  // *.eml
    setKinds(0, 1, none);
    EXPECT_EQ(options->destinationTypeOptions(), 2) << "*.vcf, the last of three";
    setKinds(1, 1, none);
    EXPECT_EQ(options->destinationTypeOptions(), 4);
}

TEST_F(OptionsTest, SettingsAreBoundBothWays) {
    int changes = 0;
    options->addChangeHandler([&] { ++changes; });
    options->setSplitMBOXFiles(true);
    EXPECT_FALSE(options->setMaxMBOXSize(0));
    EXPECT_FALSE(options->setMaxMBOXSize(-3));
    EXPECT_TRUE(options->setMaxMBOXSize(250));
    EXPECT_EQ(changes, 2);
    platform::settings_store reread(m_dir / "defaults.ini", m_dir / "user" / "settings.ini");
    EXPECT_TRUE(reread.get_bool("splitMBOXFiles"));
    EXPECT_EQ(reread.get_int("maxMBOXSize"), 250);

    m_settings->set_bool("mergeContacts", true);
    EXPECT_TRUE(options->switches().mergeContacts);
    m_settings->set_string("maxMBOXSize", "0");
    EXPECT_EQ(options->switches().maxMBOXSize, 1024) << "a size below 1 is not taken from the file";
}

TEST(ShippedDefaults, HoldEveryStoredSetting) {
    const auto defaults = std::filesystem::path(MF_SOURCE_DIR) / "share/defaults.ini";
    platform::settings_store store(defaults, std::filesystem::temp_directory_path() / "mf-no-such-dir/settings.ini");
    for (const char* key : {"ignoreEmptyFolders", "splitMBOXFiles", "maxMBOXSize", "saveReadUnread", "mergeContacts",
                            "mergeCalendarEvents", "actionOption", "destinationTypeOptions"})
        EXPECT_TRUE(store.get_string(key)) << key;
    EXPECT_GE(store.get_int("maxMBOXSize"), 1);
    EXPECT_EQ(store.get_int("actionOption"), 1);
}

}  // namespace
}  // namespace mailferry
