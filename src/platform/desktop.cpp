#include "platform/desktop.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace mailferry::platform {

namespace {

// The opener's full path, found before forking: between fork and exec only async-signal-safe calls are allowed.
std::string find_on_path(std::string_view program) {
    const char* path = std::getenv("PATH");
    std::string_view dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    while (!dirs.empty()) {
        const auto colon = dirs.find(':');
        const std::string_view dir = dirs.substr(0, colon);
        dirs = colon == std::string_view::npos ? std::string_view() : dirs.substr(colon + 1);
        if (dir.empty()) continue;
        std::string candidate = std::string(dir) + "/" + std::string(program);
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return {};
}

}  // namespace

bool open_with_default_application(const std::string& path) {
    const std::string opener = find_on_path("xdg-open");
    if (opener.empty()) return false;
    std::vector<char*> argv{const_cast<char*>(opener.c_str()), const_cast<char*>(path.c_str()), nullptr};
    // Forked twice, so the opener belongs to init and leaves no zombie behind while it runs.
    const pid_t child = ::fork();
    if (child < 0) return false;
    if (child == 0) {
        ::setsid();
        if (::fork() == 0) {
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::_exit(0);
    }
    int status = 0;
    pid_t waited;
    do {
        waited = ::waitpid(child, &status, 0);
    } while (waited < 0 && errno == EINTR);
    return waited == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace mailferry::platform
