#include "export/output_naming.h"

#include "platform/file_system.h"

namespace mailferry {

namespace {

constexpr std::size_t kLongName = 65;  // code units from which a name is cut
constexpr std::size_t kKeptUnits = 60;
constexpr char16_t kDivisionSlash = 0x2215;
// Candidates tried before giving up: more entries of one name than any folder holds.
constexpr std::int32_t kMaxSuffix = 1000000;

bool IsHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

}  // namespace

std::u16string SafeText(std::u16string_view text) {
    std::u16string name;
    if (text.size() >= kLongName) {
        std::size_t kept = kKeptUnits;
        if (IsHighSurrogate(text[kept - 1])) --kept;
        name.assign(text.substr(0, kept)).append(u"...");
    } else {
        name.assign(text);
    }
    for (char16_t& c : name) {
        if (c == u':')
            c = u'-';
        else if (c == u'/')
            c = kDivisionSlash;
        else if (c < 0x20 || c == 0x7F)
            c = u'_';
    }
    return name;
}

std::u16string SafeName(std::u16string_view text) {
    std::u16string name = SafeText(text);
    if (name.empty() || name == u"." || name == u"..") name.insert(0, u"_");
    return name;
}

std::string JoinPath(std::string_view folder, std::string_view name) {
    std::string path(folder);
    path.push_back('/');
    path.append(name);
    return path;
}

std::string UniquePath(platform::file_system& files, const std::string& folder, std::string_view base,
                       std::string_view extension) {
    const std::string stem = JoinPath(folder, base);
    const std::string dotted = extension.empty() ? std::string() : "." + std::string(extension);
    std::string candidate = stem + dotted;
    for (std::int32_t n = 1; files.exists(candidate) && n <= kMaxSuffix; ++n)
        candidate = stem + " (" + std::to_string(n) + ")" + dotted;
    return candidate;
}

std::int32_t CollisionSuffix(platform::file_system& files, const std::string& path) {
    if (!files.exists(path)) return -1;
    std::int32_t n = 1;
    while (n < kMaxSuffix && files.exists(WithSuffix(path, n))) ++n;
    return n;
}

std::string WithSuffix(std::string_view path, std::int32_t suffix) {
    std::string named(path);
    if (suffix != -1) named.append(" (").append(std::to_string(suffix)).append(")");
    return named;
}

std::string RunSharedPath(platform::file_system& files, const std::string& folder, std::string_view base,
                          std::string_view extension, std::int32_t& suffix) {
    const auto named = [&](std::int32_t n) {
        std::string name(base);
        if (n >= 1) name.append(" (").append(std::to_string(n)).append(")");
        return JoinPath(folder, name.append(extension));
    };
    if (suffix == -1) {
        suffix = 0;
        if (files.exists(named(0))) {
            suffix = 1;
            while (suffix < kMaxSuffix && files.exists(named(suffix))) ++suffix;
        }
    }
    return named(suffix);
}

std::optional<std::string> ArchiveSequenceName(std::string_view prefix, std::int64_t sequence) {
    constexpr std::int64_t kLargest = 99999999;  // eight digits
    if (sequence < 0 || sequence > kLargest) return std::nullopt;
    std::string name = std::string(prefix) + "00000000";
    std::size_t at = name.size();
    do {
        name[--at] = static_cast<char>('A' + sequence % 10);
        sequence /= 10;
    } while (sequence > 0);
    return name;
}

std::string ExtendedLogFileName(platform::file_system& files, const std::string& folder, std::time_t now) {
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[64] = {};
    // The program never sets a locale, so month and AM/PM come out in English as the name wants.
    std::strftime(stamp, sizeof stamp, "%I.%M %p-%d %b %Y", &local);
    return UniquePath(files, folder, std::string("Detailed Log Report ") + stamp, "txt");
}

}  // namespace mailferry
