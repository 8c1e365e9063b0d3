#include "platform/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <utility>
#include <vector>

namespace mailferry::platform {

namespace {

std::error_code last_error() {
    return {errno, std::generic_category()};
}

class fd_handle {
public:
    fd_handle() = default;
    explicit fd_handle(int fd) : m_fd(fd) {}
    fd_handle(fd_handle&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    fd_handle& operator=(fd_handle&& other) noexcept {
        if (this != &other) {
            reset();
            m_fd = std::exchange(other.m_fd, -1);
        }
        return *this;
    }
    fd_handle(const fd_handle&) = delete;
    fd_handle& operator=(const fd_handle&) = delete;
    ~fd_handle() { reset(); }

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    void reset() {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd = -1;
};

class local_file final : public writable_file {
public:
    local_file(fd_handle fd, std::uint64_t size) : m_fd(std::move(fd)), m_size(size) {}

    std::error_code write(std::string_view bytes) override {
        while (!bytes.empty()) {
            const ssize_t written = ::write(m_fd.get(), bytes.data(), bytes.size());
            if (written < 0) {
                if (errno == EINTR) continue;
                return last_error();
            }
            m_size += static_cast<std::uint64_t>(written);
            bytes.remove_prefix(static_cast<std::size_t>(written));
        }
        return {};
    }

    std::error_code truncate(std::uint64_t length) override {
        if (length > m_size) return std::make_error_code(std::errc::invalid_argument);
        if (::ftruncate(m_fd.get(), static_cast<off_t>(length)) != 0) return last_error();
        m_size = length;
        return {};
    }

    std::uint64_t size() const override { return m_size; }

private:
    fd_handle m_fd;
    std::uint64_t m_size;
};

// A folder below the root, opened, and the last component of a path in it.
struct place {
    int dir = -1;  // borrowed from the root, the cache or `owned`
    fd_handle owned;
    std::string leaf;  // empty for the root itself
};

class local_file_system final : public file_system {
public:
    explicit local_file_system(const std::string& root) {
        std::filesystem::path normal = std::filesystem::path(root).lexically_normal();
        m_root = normal.string();
        while (m_root.size() > 1 && m_root.back() == '/') m_root.pop_back();
        m_root_fd = fd_handle(::open(m_root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!m_root_fd.valid()) m_root_error = last_error();
    }

    std::unique_ptr<writable_file> open_append(const std::string& path, std::error_code& error) override {
        return open_file(path, O_WRONLY | O_APPEND | O_CREAT, error);
    }

    std::unique_ptr<writable_file> create_exclusive(const std::string& path, std::error_code& error) override {
        return open_file(path, O_WRONLY | O_APPEND | O_CREAT | O_EXCL, error);
    }

    bool exists(const std::string& path) override {
        place at;
        if (resolve(path, at, true)) return false;
        if (at.leaf.empty()) return true;
        struct stat st {};
        return ::fstatat(at.dir, at.leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    }

    std::error_code create_directory(const std::string& path) override {
        place at;
        if (const auto error = resolve(path, at, true)) return error;
        return make_folder(at.dir, at.leaf);
    }

    std::error_code create_directories(const std::string& path) override {
        std::vector<std::string> parts;
        if (const auto error = split(path, parts)) return error;
        int dir = m_root_fd.get();
        fd_handle current;
        for (const std::string& part : parts) {
            if (const auto error = make_folder(dir, part)) return error;
            fd_handle next(::openat(dir, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (!next.valid()) return last_error();
            current = std::move(next);
            dir = current.get();
        }
        return {};
    }

    std::error_code rename(const std::string& from, const std::string& to) override {
        place source, target;
        if (const auto error = resolve(from, source, false)) return error;
        if (const auto error = resolve(to, target, true)) return error;
        if (source.leaf.empty() || target.leaf.empty()) return std::make_error_code(std::errc::invalid_argument);
        if (::renameat2(source.dir, source.leaf.c_str(), target.dir, target.leaf.c_str(), RENAME_NOREPLACE) == 0)
            return {};
        if (errno != EINVAL && errno != ENOSYS) return last_error();
        // File systems without the no-replace flag: a hard link fails on an existing name in the same way.
        if (::linkat(source.dir, source.leaf.c_str(), target.dir, target.leaf.c_str(), 0) != 0) return last_error();
        if (::unlinkat(source.dir, source.leaf.c_str(), 0) != 0) return last_error();
        return {};
    }

    std::error_code remove(const std::string& path) override {
        place at;
        if (const auto error = resolve(path, at, true)) return error;
        if (at.leaf.empty()) return std::make_error_code(std::errc::invalid_argument);
        if (::unlinkat(at.dir, at.leaf.c_str(), 0) != 0) return last_error();
        return {};
    }

    std::error_code copy_in(const std::string& source, const std::string& destination) override {
        fd_handle in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
        if (!in.valid()) return last_error();
        std::error_code error;
        auto out = create_exclusive(destination, error);
        if (!out) return error;
        std::vector<char> buffer(64 * 1024);
        for (;;) {
            const ssize_t got = ::read(in.get(), buffer.data(), buffer.size());
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) return last_error();
            if (got == 0) return {};
            if (const auto failed = out->write(std::string_view(buffer.data(), static_cast<std::size_t>(got))))
                return failed;
        }
    }

private:
    std::unique_ptr<writable_file> open_file(const std::string& path, int flags, std::error_code& error) {
        place at;
        if ((error = resolve(path, at, true))) return nullptr;
        if (at.leaf.empty()) {
            error = std::make_error_code(std::errc::is_a_directory);
            return nullptr;
        }
        // O_NONBLOCK keeps a FIFO of that name from blocking the open; it is refused below like any non-file.
        fd_handle fd(::openat(at.dir, at.leaf.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666));
        if (!fd.valid()) {
            error = last_error();
            return nullptr;
        }
        struct stat st {};
        if (::fstat(fd.get(), &st) != 0) {
            error = last_error();
            return nullptr;
        }
        if (!S_ISREG(st.st_mode)) {
            error = std::make_error_code(std::errc::invalid_argument);
            return nullptr;
        }
        ::fcntl(fd.get(), F_SETFL, O_WRONLY | O_APPEND);
        error.clear();
        return std::make_unique<local_file>(std::move(fd), static_cast<std::uint64_t>(st.st_size));
    }

    static std::error_code make_folder(int dir, const std::string& name) {
        if (name.empty()) return {};  // the root
        if (::mkdirat(dir, name.c_str(), 0777) == 0) return {};
        if (errno != EEXIST) return last_error();
        struct stat st {};
        if (::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode)) return {};
        return std::make_error_code(std::errc::not_a_directory);
    }

    // The components of `path` below the root; a path outside it, or with an empty, "." or ".." component,
    // is refused.
    std::error_code split(const std::string& path, std::vector<std::string>& parts) const {
        if (!m_root_fd.valid()) return m_root_error;
        const std::string_view text(path);
        std::string_view rest;
        if (text == m_root) return {};
        if (m_root == "/") {
            if (!text.starts_with('/')) return std::make_error_code(std::errc::operation_not_permitted);
            rest = text.substr(1);
        } else {
            if (!text.starts_with(m_root) || text.size() <= m_root.size() || text[m_root.size()] != '/')
                return std::make_error_code(std::errc::operation_not_permitted);
            rest = text.substr(m_root.size() + 1);
        }
        while (true) {
            const auto slash = rest.find('/');
            const std::string_view part = rest.substr(0, slash);
            if (part.empty() || part == "." || part == "..") return std::make_error_code(std::errc::invalid_argument);
            parts.emplace_back(part);
            if (slash == std::string_view::npos) return {};
            rest.remove_prefix(slash + 1);
        }
    }

    // Opens the folder that holds the path's last component, following no link on the way. With `cached`, the
    // folder is kept for the next call (consecutive writes mostly go to one folder).
    std::error_code resolve(const std::string& path, place& at, bool cached) {
        std::vector<std::string> parts;
        if (const auto error = split(path, parts)) return error;
        if (parts.empty()) {
            at.dir = m_root_fd.get();
            return {};
        }
        at.leaf = std::move(parts.back());
        parts.pop_back();
        if (parts.empty()) {
            at.dir = m_root_fd.get();
            return {};
        }
        std::string key;
        for (const std::string& part : parts) key.append(part).push_back('/');
        if (cached && m_cache_fd.valid() && key == m_cache_key) {
            at.dir = m_cache_fd.get();
            return {};
        }
        int dir = m_root_fd.get();
        fd_handle current;
        for (const std::string& part : parts) {
            fd_handle next(::openat(dir, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (!next.valid()) return last_error();
            current = std::move(next);
            dir = current.get();
        }
        if (cached) {
            m_cache_fd = std::move(current);
            m_cache_key = std::move(key);
            at.dir = m_cache_fd.get();
        } else {
            at.owned = std::move(current);
            at.dir = at.owned.get();
        }
        return {};
    }

    std::string m_root;
    fd_handle m_root_fd;
    std::error_code m_root_error;
    std::string m_cache_key;  // the cached folder's components, each followed by '/'
    fd_handle m_cache_fd;
};

}  // namespace

std::unique_ptr<file_system> open_output_root(const std::string& root) {
    return std::make_unique<local_file_system>(root);
}

}  // namespace mailferry::platform
