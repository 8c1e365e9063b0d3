#pragma once
// corpus.h: where the tests find the public sample PST files and their JSON manifests.
// The files are read in place beside the checkout; a test that needs them skips when they are absent.

#include <cstdint>
#include <filesystem>
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

// A whole number the manifest holds at `path` (read as text: Boost's numeric getters trip GCC's
// uninitialised-value warning in the sanitizer build). Throws when it is missing or not a number.
std::uint64_t manifest_number(const boost::property_tree::ptree& tree, const std::string& path);

}  // namespace mftest

// Skips the current test when the sample files are not there.
#define MF_REQUIRE_CORPUS()                                                \
    do {                                                                   \
        if (::mftest::corpus_files().empty()) GTEST_SKIP() << "no corpus"; \
    } while (0)
