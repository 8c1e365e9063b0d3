#pragma once
// settings_store.h: the user's settings — an INI file of `key=value` lines in the XDG config folder
// ($XDG_CONFIG_HOME, else ~/.config, then "mailferry/settings.ini") over the defaults file shipped with the
// program ("defaults.ini" among the shipped files). A value set here goes to the user's file at once (written
// whole to a temporary file, then renamed) and each observer of its key is called after the change. Lines
// that are not `key=value` (comments with # or ;, [section] headers, blanks) are ignored. Not thread-safe:
// the front ends read and write settings from their main thread.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace mailferry::platform {

class settings_store {
public:
    using observer = std::function<void(std::string_view key)>;
    using observer_id = std::size_t;

    // Reads both files; a file that is absent or unreadable counts as empty.
    settings_store(std::filesystem::path defaults_file, std::filesystem::path user_file);

    // The user's value, else the default, else nothing.
    std::optional<std::string> get_string(std::string_view key) const;
    // The value as a decimal integer; 0 when absent or not a whole number in range.
    std::int64_t get_int(std::string_view key) const;
    // "1", "true" and "yes" (any case) are true; everything else, and absence, is false.
    bool get_bool(std::string_view key) const;

    // Store the value in the user's file and notify the key's observers. Throws std::runtime_error
    // "settings file cannot be written" when the file cannot be saved (the value is kept in memory).
    // A key may not be empty or hold '=' or a line break, nor a value a line break (std::invalid_argument).
    void set_string(std::string_view key, std::string_view value);
    void set_int(std::string_view key, std::int64_t value);
    void set_bool(std::string_view key, bool value);

    // Calls `callback` after each change of `key`, until remove_observer.
    observer_id add_observer(std::string key, observer callback);
    void remove_observer(observer_id id);

    const std::filesystem::path& user_file() const { return m_user_file; }

private:
    void save() const;
    void notify(std::string_view key) const;

    std::filesystem::path m_user_file;
    std::map<std::string, std::string, std::less<>> m_defaults;
    std::map<std::string, std::string, std::less<>> m_user;
    std::map<observer_id, std::pair<std::string, observer>> m_observers;
    observer_id m_next_observer = 1;
};

// $XDG_CONFIG_HOME/mailferry/settings.ini, or ~/.config/mailferry/settings.ini when XDG_CONFIG_HOME is unset or
// not absolute.
std::filesystem::path user_settings_path();
// "defaults.ini" among the program's shipped files (platform/shipped_files.h).
std::filesystem::path shipped_defaults_path();
// The process's settings over those two files, made on first use.
settings_store& standard_settings();

}  // namespace mailferry::platform
