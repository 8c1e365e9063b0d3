// walk FILE [--codepage N] [--map]: reads a whole PST store as a conversion would (see store_walk.h) and prints the
// time it took (wall and CPU, with the system's share), MB/s of file size, messages per second, what it read and the
// peak memory; beside them, the time a plain sequential read of the same file takes, so that runs on busy machines
// compare as ratios. --map reads the file through a memory map instead of positioned reads.

#include <sys/resource.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "encoding/code_page_table.h"
#include "pstcore/messaging/pst.h"
#include "pstcore/ndb/database.h"
#include "pstcore/ndb/source.h"
#include "store_walk.h"

namespace {

using clock_type = std::chrono::steady_clock;

double seconds_since(clock_type::time_point start) {
    return std::chrono::duration<double>(clock_type::now() - start).count();
}

// Reads the whole file in 1 MB pieces and returns the seconds it took.
double plain_read_seconds(const std::string& path) {
    std::vector<char> buffer(1024 * 1024);
    const auto start = clock_type::now();
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) throw std::runtime_error("cannot open the file for the plain read");
    std::uint64_t total = 0;
    for (std::size_t got; (got = std::fread(buffer.data(), 1, buffer.size(), file)) > 0;) total += got;
    std::fclose(file);
    if (total == 0) throw std::runtime_error("the plain read found an empty file");
    return seconds_since(start);
}

rusage self_usage() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage;
}

double seconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

int usage() {
    std::cerr << "usage: walk FILE [--codepage N] [--map]\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string path;
    std::int32_t code_page = 1252;
    auto access = pstcore::file_access::read;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--codepage" && i + 1 < argc)
            code_page = std::atoi(argv[++i]);
        else if (arg == "--map")
            access = pstcore::file_access::map;
        else if (!arg.empty() && arg[0] != '-' && path.empty())
            path = arg;
        else
            return usage();
    }
    if (path.empty()) return usage();

    try {
        const auto* encoding = mailferry::find_text_encoding(code_page);
        const double file_mb = static_cast<double>(std::filesystem::file_size(path)) / 1e6;

        const rusage before = self_usage();
        const auto start = clock_type::now();
        mailferry::bench::walk_counts counts;
        {
            pstcore::pst store(pstcore::open_database(pstcore::open_file_source(path, access)));
            counts = mailferry::bench::walk_store(store, encoding);
        }
        const double walk = seconds_since(start);
        // On a busy machine the wall time includes waiting for a core; the CPU time does not.
        const rusage after = self_usage();
        const double user = seconds(after.ru_utime) - seconds(before.ru_utime);
        const double system = seconds(after.ru_stime) - seconds(before.ru_stime);
        const double cpu = user + system;
        const double plain = plain_read_seconds(path);

        std::printf("file              %s\n", path.c_str());
        std::printf("size              %.1f MB\n", file_mb);
        std::printf("elapsed           %.3f s (CPU %.3f s: user %.3f s, system %.3f s = %.0f%%)\n", walk, cpu, user,
                    system, cpu > 0 ? 100 * system / cpu : 0.0);
        std::printf("CPU throughput    %.1f MB/s\n", cpu > 0 ? file_mb / cpu : 0.0);
        std::printf("throughput        %.1f MB/s\n", file_mb / walk);
        std::printf("items             %.0f messages/s\n", static_cast<double>(counts.messages) / walk);
        std::printf("plain read        %.3f s (%.1f MB/s); walk / plain read = %.2f\n", plain, file_mb / plain,
                    walk / plain);
        std::printf("folders           %llu (%llu damaged)\n", static_cast<unsigned long long>(counts.folders),
                    static_cast<unsigned long long>(counts.damaged_folders));
        std::printf("messages          %llu (embedded included; %llu damaged)\n",
                    static_cast<unsigned long long>(counts.messages),
                    static_cast<unsigned long long>(counts.damaged_items));
        std::printf("recipients        %llu\n", static_cast<unsigned long long>(counts.recipients));
        std::printf("attachments       %llu (%.1f MB)\n", static_cast<unsigned long long>(counts.attachments),
                    static_cast<double>(counts.attachment_bytes) / 1e6);
        std::printf("body bytes        %.1f MB\n", static_cast<double>(counts.body_bytes) / 1e6);
        std::printf("properties        %llu\n", static_cast<unsigned long long>(counts.properties));
        std::printf("peak RSS          %.1f MB\n", static_cast<double>(self_usage().ru_maxrss) / 1024.0);  // in KB
    } catch (const std::exception& e) {
        std::cerr << "walk: " << path << ": " << e.what() << "\n";
        return 1;
    }
    return 0;
}
