#include "platform/file_system.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/path_text.h"
#include "support/test_helpers.h"

namespace mailferry::platform {
namespace {

namespace fs = std::filesystem;

using mftest::slurp;

class FileSystemTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_base = fs::temp_directory_path() / ("mf-files-" + std::to_string(::getpid()));
        fs::remove_all(m_base);
        fs::create_directories(m_base / "root");
        fs::create_directories(m_base / "outside");
        m_root = (m_base / "root").string();
        m_files = open_output_root(m_root);
    }
    void TearDown() override { fs::remove_all(m_base); }

    std::string at(const std::string& relative) const { return m_root + "/" + relative; }

    fs::path m_base;
    std::string m_root;
    std::unique_ptr<file_system> m_files;
};

// Whatever a link below the root points at, and whatever path is asked for, nothing outside the root changes.
TEST_F(FileSystemTest, NeverWritesOutsideTheRoot) {
    std::ofstream(m_base / "outside" / "victim") << "keep";
    fs::create_directory_symlink(m_base / "outside", m_base / "root" / "folder-link");
    fs::create_symlink(m_base / "outside" / "victim", m_base / "root" / "file-link");
    std::error_code error;
    EXPECT_FALSE(m_files->open_append(at("folder-link/victim"), error));
    EXPECT_FALSE(m_files->open_append(at("file-link"), error));
    EXPECT_FALSE(m_files->create_exclusive(at("folder-link/new"), error));
    EXPECT_TRUE(m_files->create_directories(at("folder-link/deeper")));
    EXPECT_TRUE(m_files->create_directory(at("folder-link")));
    EXPECT_TRUE(m_files->rename(at("file-link"), at("folder-link/moved")));
    EXPECT_FALSE(m_files->open_append((m_base / "outside" / "victim").string(), error));
    EXPECT_FALSE(m_files->open_append(at("../outside/victim"), error));
    EXPECT_EQ(slurp(m_base / "outside" / "victim"), "keep");
    EXPECT_EQ(std::distance(fs::directory_iterator(m_base / "outside"), fs::directory_iterator()), 1);
    EXPECT_TRUE(m_files->exists(at("file-link")));  // a link is an entry, so unique names step past it
}

TEST_F(FileSystemTest, ExclusiveCreateAndRenameNeverReplace) {
    std::error_code error;
    ASSERT_TRUE(m_files->create_directories(at("a/b")) == std::error_code());
    auto first = m_files->create_exclusive(at("a/b/x.eml"), error);
    ASSERT_TRUE(first);
    EXPECT_FALSE(first->write("one"));
    EXPECT_FALSE(m_files->create_exclusive(at("a/b/x.eml"), error));
    EXPECT_EQ(error, std::errc::file_exists);
    auto second = m_files->open_append(at("a/b/y.mbox"), error);
    ASSERT_TRUE(second);
    EXPECT_FALSE(second->write("two"));
    EXPECT_EQ(m_files->rename(at("a/b/y.mbox"), at("a/b/x.eml")), std::errc::file_exists);
    EXPECT_EQ(slurp(m_base / "root/a/b/x.eml"), "one");
    EXPECT_FALSE(m_files->rename(at("a/b/y.mbox"), at("a/z.mbox")));
    EXPECT_EQ(slurp(m_base / "root/a/z.mbox"), "two");
}

TEST_F(FileSystemTest, AppendKeepsContentAndTruncateCutsBack) {
    std::ofstream(m_base / "root" / "box") << "earlier";
    std::error_code error;
    auto file = m_files->open_append(at("box"), error);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->size(), 7u);
    EXPECT_FALSE(file->write(" and a failed item"));
    EXPECT_FALSE(file->truncate(7));
    EXPECT_FALSE(file->write(" then"));
    file.reset();
    EXPECT_EQ(slurp(m_base / "root" / "box"), "earlier then");
}

TEST(PathText, ConvertsBothWaysAndReplacesWhatIsNoCharacter) {
    EXPECT_EQ(path_of_text(u"a\u2215b \U0001F600"), "a\u2215b \U0001F600");
    EXPECT_EQ(path_of_text(std::u16string(1, char16_t(0xD800)) + u"x"), "\uFFFDx");
    EXPECT_EQ(text_of_path("\xC3\xA9\xFF\xC0\xAF"
                           "\xF0\x9F\x98\x80"),
              u"\u00E9\uFFFD\uFFFD\uFFFD\U0001F600");
}

}  // namespace
}  // namespace mailferry::platform
