#include "writers/mbox_split.h"

namespace mailferry {

namespace {
constexpr std::string_view kMboxExtension = ".mbox";
constexpr std::uint64_t kMebibyte = 1048576;
}  // namespace

bool MboxNeedsSplit(std::uint64_t fileLength, std::uint64_t messageSize, std::int64_t maxMboxSizeInMB) {
    if (maxMboxSizeInMB < 1 || fileLength == 0) return false;
    // In 64 bits throughout: limits of 2048 MB and more, and stored sizes near 4 GB, must not wrap.
    const std::uint64_t limit = static_cast<std::uint64_t>(maxMboxSizeInMB) * kMebibyte;
    const std::uint64_t estimate = messageSize + (messageSize * 2) / 5;  // 1.4 times, without floating point
    return estimate > limit || fileLength > limit - estimate;
}

std::string MboxPartPath(std::string_view mboxPath, int part) {
    std::string_view stem = mboxPath;
    if (stem.ends_with(kMboxExtension)) stem.remove_suffix(kMboxExtension.size());
    std::string path(stem);
    path.append("_Part_").append(std::to_string(part)).append(kMboxExtension);
    return path;
}

}  // namespace mailferry
