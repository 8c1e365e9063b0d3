// write FILE [--codepage N] [--only walk|write]: the cost of writing mail. Every message of the store is written as an
// MBOX entry into a sink that only counts, the way a conversion writes it, beside a reader-only walk of the same store
// (see store_walk.h) in the same run. Each runs in a child process of its own, so that each peak memory is its own.
// Prints time, MB/s of file size, messages per second and peak RSS of both, and writing time / walk time.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <iostream>
#include <string>

#include "encoding/code_page_table.h"
#include "pstcore/messaging/pst.h"
#include "store_walk.h"
#include "store_write.h"

namespace {

using clock_type = std::chrono::steady_clock;

struct phase_result {
    double seconds = 0;
    double cpu = 0;
    double peak_mb = 0;
    bool ok = false;
};

double seconds_of(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

// Runs `work` in a child process and returns its wall and CPU time and its own peak RSS.
template <typename Work>
phase_result in_child(Work work) {
    std::fflush(stdout);
    const auto start = clock_type::now();
    const pid_t child = fork();
    if (child < 0) return {};
    if (child == 0) {
        int status = 0;
        try {
            work();
        } catch (const std::exception& e) {
            std::cerr << "write: " << e.what() << "\n";
            status = 1;
        }
        std::fflush(stdout);
        _exit(status);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    phase_result result;
    result.seconds = std::chrono::duration<double>(clock_type::now() - start).count();
    result.cpu = seconds_of(usage.ru_utime) + seconds_of(usage.ru_stime);
    result.peak_mb = static_cast<double>(usage.ru_maxrss) / 1024.0;  // in KB
    result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return result;
}

int usage() {
    std::cerr << "usage: write FILE [--codepage N] [--only walk|write]\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string path;
    std::int32_t code_page = 1252;
    std::string only;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--codepage" && i + 1 < argc)
            code_page = std::atoi(argv[++i]);
        else if (arg == "--only" && i + 1 < argc &&
                 (std::string(argv[i + 1]) == "walk" || std::string(argv[i + 1]) == "write"))
            only = argv[++i];
        else if (!arg.empty() && arg[0] != '-' && path.empty())
            path = arg;
        else
            return usage();
    }
    if (path.empty()) return usage();
    std::error_code error;
    const double file_mb = static_cast<double>(std::filesystem::file_size(path, error)) / 1e6;
    if (error) {
        std::cerr << "write: " << path << ": " << error.message() << "\n";
        return 1;
    }
    mailferry::init_text_encodings();  // once, before the children start

    std::printf("file              %s\nsize              %.1f MB\n", path.c_str(), file_mb);
    // One phase alone, in this process: for profilers.
    const auto walk_phase = [&] {
        const auto start = clock_type::now();
        pstcore::pst store(path);
        const auto counts = mailferry::bench::walk_store(store, mailferry::find_text_encoding(code_page));
        const double seconds = std::chrono::duration<double>(clock_type::now() - start).count();
        std::printf("walk              %llu messages (embedded included; %llu damaged), %.0f messages/s\n",
                    static_cast<unsigned long long>(counts.messages),
                    static_cast<unsigned long long>(counts.damaged_items),
                    static_cast<double>(counts.messages) / seconds);
    };
    const auto write_phase = [&] {
        const auto start = clock_type::now();
        pstcore::pst store(path);
        const auto counts = mailferry::bench::write_store(store, code_page, true, false);
        const double seconds = std::chrono::duration<double>(clock_type::now() - start).count();
        std::printf("write             %llu messages (%llu damaged), %.0f messages/s, %.1f MB of MBOX text\n",
                    static_cast<unsigned long long>(counts.messages), static_cast<unsigned long long>(counts.damaged),
                    static_cast<double>(counts.messages) / seconds, static_cast<double>(counts.bytes) / 1e6);
    };
    if (only == "walk") walk_phase();
    if (only == "write") write_phase();
    if (!only.empty()) return 0;
    const phase_result walk = in_child(walk_phase);
    const phase_result write = in_child(write_phase);
    if (!walk.ok || !write.ok) return 1;
    std::printf("walk time         %.3f s (CPU %.3f s), %.1f MB/s, peak RSS %.1f MB\n", walk.seconds, walk.cpu,
                file_mb / walk.seconds, walk.peak_mb);
    std::printf("write time        %.3f s (CPU %.3f s), %.1f MB/s, peak RSS %.1f MB\n", write.seconds, write.cpu,
                file_mb / write.seconds, write.peak_mb);
    std::printf("write / walk      %.2f (CPU %.2f)\n", write.seconds / walk.seconds, write.cpu / walk.cpu);
    return 0;
}
