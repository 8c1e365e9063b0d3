#include "platform/settings_store.h"

#include <charconv>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

#include "platform/shipped_files.h"

namespace mailferry::platform {

namespace {

std::string_view trim(std::string_view s) {
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    const auto last = s.find_last_not_of(" \t\r");
    return s.substr(first, last - first + 1);
}

std::map<std::string, std::string, std::less<>> read_ini(const std::filesystem::path& path) {
    std::map<std::string, std::string, std::less<>> values;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        const std::string_view text = trim(line);
        if (text.empty() || text.front() == '#' || text.front() == ';' || text.front() == '[') continue;
        const auto eq = text.find('=');
        if (eq == std::string_view::npos) continue;
        const std::string_view key = trim(text.substr(0, eq));
        if (key.empty()) continue;
        values[std::string(key)] = std::string(trim(text.substr(eq + 1)));
    }
    return values;
}

bool has_line_break(std::string_view s) {
    return s.find_first_of("\r\n") != std::string_view::npos;
}

}  // namespace

settings_store::settings_store(std::filesystem::path defaults_file, std::filesystem::path user_file)
    : m_user_file(std::move(user_file)), m_defaults(read_ini(defaults_file)), m_user(read_ini(m_user_file)) {}

std::optional<std::string> settings_store::get_string(std::string_view key) const {
    if (auto it = m_user.find(key); it != m_user.end()) return it->second;
    if (auto it = m_defaults.find(key); it != m_defaults.end()) return it->second;
    return std::nullopt;
}

std::int64_t settings_store::get_int(std::string_view key) const {
    const auto text = get_string(key);
    if (!text) return 0;
    std::int64_t value = 0;
    const char* end = text->data() + text->size();
    const auto [ptr, ec] = std::from_chars(text->data(), end, value);
    if (ec != std::errc() || ptr != end) return 0;
    return value;
}

bool settings_store::get_bool(std::string_view key) const {
    const auto text = get_string(key);
    if (!text) return false;
    std::string lower;
    for (char c : *text) lower.push_back(static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c));
    return lower == "1" || lower == "true" || lower == "yes";
}

void settings_store::set_string(std::string_view key, std::string_view value) {
    if (trim(key).empty() || trim(key) != key || key.find('=') != std::string_view::npos || has_line_break(key) ||
        has_line_break(value))
        throw std::invalid_argument("invalid setting");
    m_user[std::string(key)] = std::string(trim(value));
    // Observers hear of the change even when saving fails: the value is in force for this run.
    try {
        save();
    } catch (const std::exception&) {
        notify(key);
        throw;
    }
    notify(key);
}

void settings_store::notify(std::string_view key) const {
    // A copy, because an observer may add or remove observers.
    const auto observers = m_observers;
    for (const auto& [id, entry] : observers)
        if (entry.first == key) entry.second(key);
}

void settings_store::set_int(std::string_view key, std::int64_t value) {
    set_string(key, std::to_string(value));
}

void settings_store::set_bool(std::string_view key, bool value) {
    set_string(key, value ? "true" : "false");
}

settings_store::observer_id settings_store::add_observer(std::string key, observer callback) {
    const observer_id id = m_next_observer++;
    m_observers.emplace(id, std::make_pair(std::move(key), std::move(callback)));
    return id;
}

void settings_store::remove_observer(observer_id id) {
    m_observers.erase(id);
}

void settings_store::save() const {
    std::error_code ec;
    if (m_user_file.has_parent_path()) std::filesystem::create_directories(m_user_file.parent_path(), ec);
    std::filesystem::path temp = m_user_file;
    temp += ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        for (const auto& [key, value] : m_user) out << key << '=' << value << '\n';
        out.flush();
        if (!out) throw std::runtime_error("settings file cannot be written");
    }
    std::filesystem::rename(temp, m_user_file, ec);
    if (ec) throw std::runtime_error("settings file cannot be written");
}

std::filesystem::path user_settings_path() {
    std::filesystem::path base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg && std::filesystem::path(xdg).is_absolute())
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = std::filesystem::path(home) / ".config";
    else
        base = ".config";
    return base / "mailferry" / "settings.ini";
}

std::filesystem::path shipped_defaults_path() {
    return shipped_file_path("defaults.ini");
}

settings_store& standard_settings() {
    static settings_store store(shipped_defaults_path(), user_settings_path());
    return store;
}

}  // namespace mailferry::platform
