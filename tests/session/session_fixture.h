#pragma once
// session_fixture.h: a temporary folder per test holding the PST files the test writes and the settings files
// the sessions read (never the user's own), and sentOn in UTC so that expected dates are fixed.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/settings_store.h"
#include "pstwrite/store_builder.h"
#include "session/pst_session.h"

namespace mftest {

// An ANSI store whose names are in code page 1251 (read as 1252 until the code page is changed).
inline std::vector<std::byte> cyrillic_store() {
    pstwrite::store_builder store(pstwrite::format::ansi, pstwrite::crypt::none);
    auto& inbox = store.ipm_subtree().add_folder(u"Inbox");
    inbox.set(0x3001, pstwrite::prop::string8("\xC2\xF5\xEE\xE4\xFF\xF9\xE8\xE5", 1251));
    inbox.add_folder(u"Sub").set(0x3001, pstwrite::prop::string8("\xCF\xE0\xEF\xEA\xE0", 1251));
    inbox.add_message().set(0x0037, pstwrite::prop::string8("\xCF\xF0\xE8\xE2\xE5\xF2", 1251));
    return store.write_to_memory();
}

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Before the first date is formatted: the formatter reads the zone once.
        ::setenv("TZ", "UTC", 1);
        m_dir =
            std::filesystem::temp_directory_path() / ("mf-session-" + std::to_string(::getpid()) + "-" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::string write_pst(const std::vector<std::byte>& bytes, const std::string& name = "store.pst") const {
        const auto path = m_dir / name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path.string();
    }

    // Settings whose shipped defaults are `defaults_text`.
    std::unique_ptr<mailferry::platform::settings_store> settings(const std::string& defaults_text) const {
        const auto defaults = m_dir / "defaults.ini";
        std::ofstream(defaults, std::ios::binary) << defaults_text;
        return std::make_unique<mailferry::platform::settings_store>(defaults, m_dir / "user" / "settings.ini");
    }

    std::shared_ptr<mailferry::PSTSession> open(const std::vector<std::byte>& bytes,
                                                const std::string& defaults_text = "defaultCodePage=1252\n") {
        m_settings = settings(defaults_text);
        return std::make_shared<mailferry::PSTSession>(write_pst(bytes), *m_settings);
    }

    std::filesystem::path m_dir;
    std::unique_ptr<mailferry::platform::settings_store> m_settings;
};

}  // namespace mftest
