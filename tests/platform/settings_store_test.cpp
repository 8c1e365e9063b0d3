// The settings store over files in a temporary folder: defaults under the user's values, typed reads, saving,
// observers, and where the user's file lives.

#include "platform/settings_store.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/test_helpers.h"

namespace {

namespace fs = std::filesystem;
using mailferry::platform::settings_store;

class SettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("mf-settings-" + std::to_string(::getpid()) + "-" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        write(defaults(),
              "# shipped\n[mailferry]\ndefaultCodePage=1252\nsplitMBOXFiles = true\nmaxMBOXSize=abc\n"
              "ignoreEmptyFolders=1\nnot a setting\n");
    }
    void TearDown() override { fs::remove_all(m_dir); }

    fs::path defaults() const { return m_dir / "defaults.ini"; }
    fs::path user() const { return m_dir / "config" / "mailferry" / "settings.ini"; }
    static void write(const fs::path& path, const std::string& text) {
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << text;
    }

    fs::path m_dir;
};

TEST_F(SettingsStoreTest, DefaultsAnswerUntilTheUserFileSaysOtherwise) {
    settings_store fresh(defaults(), user());
    EXPECT_EQ(fresh.get_int("defaultCodePage"), 1252);
    EXPECT_TRUE(fresh.get_bool("splitMBOXFiles"));
    EXPECT_TRUE(fresh.get_bool("ignoreEmptyFolders"));
    EXPECT_EQ(fresh.get_int("maxMBOXSize"), 0) << "not a number";
    EXPECT_EQ(fresh.get_int("absent"), 0);
    EXPECT_FALSE(fresh.get_bool("absent"));
    EXPECT_EQ(fresh.get_string("absent"), std::nullopt);

    write(user(), "defaultCodePage=1251\nsplitMBOXFiles=no\n");
    settings_store overridden(defaults(), user());
    EXPECT_EQ(overridden.get_int("defaultCodePage"), 1251);
    EXPECT_FALSE(overridden.get_bool("splitMBOXFiles"));
    EXPECT_TRUE(overridden.get_bool("ignoreEmptyFolders"));
}

TEST_F(SettingsStoreTest, ValuesSetAreSavedAndSurviveAReopen) {
    {
        settings_store store(defaults(), user());
        store.set_int("defaultCodePage", 932);
        store.set_bool("saveReadUnread", true);
        store.set_string("destinationTypeOptions", " 2 ");
    }
    EXPECT_EQ(mftest::slurp(user()), "defaultCodePage=932\ndestinationTypeOptions=2\nsaveReadUnread=true\n");
    EXPECT_EQ(mftest::slurp(defaults()).find("932"), std::string::npos) << "the shipped file is never written";
    settings_store again(defaults(), user());
    EXPECT_EQ(again.get_int("defaultCodePage"), 932);
    EXPECT_TRUE(again.get_bool("saveReadUnread"));
}

TEST_F(SettingsStoreTest, ObserversHearTheirKeyAfterTheChange) {
    settings_store store(defaults(), user());
    std::vector<std::string> heard;
    const auto id = store.add_observer("defaultCodePage", [&](std::string_view key) {
        heard.push_back(std::string(key) + "=" + std::to_string(store.get_int(key)));
    });
    store.add_observer("other", [&](std::string_view key) { heard.push_back(std::string(key)); });
    store.set_int("defaultCodePage", 1250);
    store.set_int("unobserved", 1);
    store.remove_observer(id);
    store.set_int("defaultCodePage", 1251);
    EXPECT_EQ(heard, (std::vector<std::string>{"defaultCodePage=1250"}));
}

TEST_F(SettingsStoreTest, RejectsKeysAndValuesThatWouldBreakTheFile) {
    settings_store store(defaults(), user());
    EXPECT_THROW(store.set_string("a=b", "1"), std::invalid_argument);
    EXPECT_THROW(store.set_string("", "1"), std::invalid_argument);
    EXPECT_THROW(store.set_string("key", "two\nlines"), std::invalid_argument);
    EXPECT_FALSE(fs::exists(user()));
}

TEST_F(SettingsStoreTest, UnwritableFileKeepsTheValueAndSaysSo) {
    fs::create_directories(user());  // a folder where the file should be
    settings_store store(defaults(), user());
    int calls = 0;
    store.add_observer("defaultCodePage", [&](std::string_view) { ++calls; });
    try {
        store.set_int("defaultCodePage", 874);
        FAIL() << "saving over a folder must fail";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "settings file cannot be written");
    }
    EXPECT_EQ(store.get_int("defaultCodePage"), 874);
    EXPECT_EQ(calls, 1);
}

TEST_F(SettingsStoreTest, UserFileFollowsXdgConfigHome) {
    const char* saved_xdg = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = saved_xdg ? saved_xdg : "";
    const char* home = std::getenv("HOME");

    ::setenv("XDG_CONFIG_HOME", (m_dir / "xdg").c_str(), 1);
    EXPECT_EQ(mailferry::platform::user_settings_path(), m_dir / "xdg" / "mailferry" / "settings.ini");
    ::setenv("XDG_CONFIG_HOME", "relative/path", 1);  // ignored, as the XDG rules ask
    if (home) {
        EXPECT_EQ(mailferry::platform::user_settings_path(), fs::path(home) / ".config/mailferry/settings.ini");
    }
    ::unsetenv("XDG_CONFIG_HOME");
    if (home) {
        EXPECT_EQ(mailferry::platform::user_settings_path(), fs::path(home) / ".config/mailferry/settings.ini");
    }

    if (saved_xdg) ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
}

}  // namespace
