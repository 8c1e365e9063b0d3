// convert MAILFERRY FILE --format mbox|eml --out DIR: runs `mailferry convert` on a store into the separate-files
// target (MBOX or EML) and prints the time it took, MB/s of PST, messages per second and the program's peak
// memory, to stand beside the reader-only walk of the same store (bench/walk) in scripts/bench.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

namespace {

int usage() {
    std::cerr << "usage: convert MAILFERRY FILE --format mbox|eml --out DIR\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 7 || std::string(argv[3]) != "--format" || std::string(argv[5]) != "--out") return usage();
    const std::string mailferry = argv[1], file = argv[2], format = argv[4], out = argv[6];
    std::filesystem::remove_all(out);
    const std::string report = out + ".report";

    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        std::FILE* sink = std::freopen(report.c_str(), "w", stdout);
        if (!sink) ::_exit(127);
        ::execl(mailferry.c_str(), mailferry.c_str(), "convert", file.c_str(), "--out", out.c_str(), "--format",
                format.c_str(), "--quiet", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || ::wait4(child, &status, 0, &usage) != child) return 1;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    std::string text;
    if (std::FILE* in = std::fopen(report.c_str(), "r")) {
        char buffer[4096];
        for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, in)) > 0;) text.append(buffer, got);
        std::fclose(in);
    }
    constexpr std::string_view kTotal = "Total number of emails processed: ";
    const std::size_t at = text.find(kTotal);
    const double messages = at == std::string::npos ? 0 : std::atof(text.c_str() + at + kTotal.size());
    std::uintmax_t written = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(out))
        if (entry.is_regular_file()) written += entry.file_size();
    const double fileMB = static_cast<double>(std::filesystem::file_size(file)) / 1e6;
    const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                       static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;

    std::printf("convert %-4s      %.3f s (CPU %.3f s), exit %d\n", format.c_str(), seconds, cpu,
                WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    std::printf("throughput        %.1f MB/s of PST\n", fileMB / seconds);
    std::printf("items             %.0f messages/s (%.0f messages)\n", messages / seconds, messages);
    std::printf("written           %.1f MB\n", static_cast<double>(written) / 1e6);
    std::printf("peak RSS          %.1f MB\n", static_cast<double>(usage.ru_maxrss) / 1024.0);
    std::filesystem::remove_all(out);
    std::filesystem::remove(report);
    return WIFEXITED(status) && (WEXITSTATUS(status) == 0 || WEXITSTATUS(status) == 3) ? 0 : 1;
}
