#include "support/corpus.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include <boost/property_tree/json_parser.hpp>

namespace mftest {

std::filesystem::path shared_dir() {
    if (const char* env = std::getenv("MF_SHARED_DIR"); env && *env) return env;
    return MF_DEFAULT_SHARED_DIR;
}

std::filesystem::path corpus_dir() {
    return shared_dir() / "corpus";
}

std::vector<std::filesystem::path> corpus_files() {
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(corpus_dir(), ec))
        if (entry.path().extension() == ".pst") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

boost::property_tree::ptree load_manifest(const std::filesystem::path& pst) {
    boost::property_tree::ptree tree;
    auto json = pst;
    json.replace_extension(".json");
    boost::property_tree::read_json(json.string(), tree);
    return tree;
}

std::uint64_t manifest_number(const boost::property_tree::ptree& tree, const std::string& path) {
    return std::stoull(tree.get<std::string>(path));
}

}  // namespace mftest
