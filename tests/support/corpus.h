#pragma once
// corpus.h: where the tests find the public sample PST files and their JSON manifests.
// The files are read in place beside the checkout; a test that needs them skips when they are absent.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <boost/property_tree/ptree.hpp>

namespace mftest {

// The shared folder (corpus/ and reference/): $MF_SHARED_DIR, else the folder beside the checkout.
std::filesystem::path shared_dir();
std::filesystem::path corpus_dir();

// Every *.pst in the corpus, sorted by name; empty when there is no corpus.
std::vector<std::filesystem::path> corpus_files();

// The manifest that describes `pst` (same name, .json).
boost::property_tree::ptree load_manifest(const std::filesystem::path& pst);

// A whole number the manifest holds at `path`, as T (read as text: Boost's numeric getters trip GCC's
// uninitialised-value warning in the sanitizer build). Throws when it is missing or not a number.
template <typename T = std::uint64_t>
T manifest_number(const boost::property_tree::ptree& tree, const std::string& path) {
    return static_cast<T>(std::stoll(tree.get<std::string>(path)));
}

// The same, or nothing when the manifest has no value there.
template <typename T = std::uint64_t>
std::optional<T> manifest_optional_number(const boost::property_tree::ptree& tree, const std::string& path) {
    const auto text = tree.get_optional<std::string>(path);
    if (!text || text->empty() || *text == "null") return std::nullopt;
    return static_cast<T>(std::stoll(*text));
}

}  // namespace mftest

// Skips the current test when the sample files are not there.
#define MF_REQUIRE_CORPUS()                                                \
    do {                                                                   \
        if (::mftest::corpus_files().empty()) GTEST_SKIP() << "no corpus"; \
    } while (0)
