#include "cli/progress_bar.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string_view>

#include "platform/path_text.h"

namespace mailferry {

namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
constexpr std::size_t kBarCells = 20;

// The numbers of a label, in order ("Total Progress : 12 / 40" gives 12 and 40).
void Numbers(std::u16string_view label, std::int64_t& first, std::int64_t& second) {
    std::int64_t values[2] = {first, second};
    int found = 0;
    for (std::size_t i = 0; i < label.size() && found < 2;) {
        if (label[i] < u'0' || label[i] > u'9') {
            ++i;
            continue;
        }
        std::int64_t value = 0;
        for (; i < label.size() && label[i] >= u'0' && label[i] <= u'9'; ++i)
            value = std::min<std::int64_t>(value * 10 + (label[i] - u'0'), INT64_MAX / 10);
        values[found++] = value;
    }
    if (found == 2) {
        first = values[0];
        second = values[1];
    }
}

std::string Duration(double seconds) {
    const auto total = static_cast<long long>(seconds);
    char text[32];
    if (total >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60, total % 60);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", total / 60, total % 60);
    return text;
}

// Cuts UTF-8 text to `columns` characters (one column each; good enough for a status line).
std::string Fit(const std::string& text, std::size_t columns) {
    std::size_t chars = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
        if (chars++ == columns) return text.substr(0, i);
    }
    return text;
}

}  // namespace

std::string ProgressLine(const ProgressState& state, std::size_t width) {
    const float percent = std::clamp(std::isfinite(state.percent) ? state.percent : 0.0f, 0.0f, 100.0f);
    const auto filled = static_cast<std::size_t>(percent / 100.0f * kBarCells + 0.5f);
    std::string line = "[" + std::string(filled, '#') + std::string(kBarCells - filled, '-') + "] ";
    char text[160];
    std::snprintf(text, sizeof text, "%3d%%  folder %lld/%lld  items %lld/%lld", static_cast<int>(percent),
                  static_cast<long long>(state.folder), static_cast<long long>(state.folders),
                  static_cast<long long>(state.done), static_cast<long long>(state.total));
    line += text;
    if (state.seconds > 0 && state.done > 0) {
        const double rate = static_cast<double>(state.done) / state.seconds;
        const double left = static_cast<double>(std::max<std::int64_t>(0, state.total - state.done)) / rate;
        std::snprintf(text, sizeof text, "  %.0f/s  %s left", rate, Duration(left).c_str());
        line += text;
    }
    if (!state.folderName.empty()) line += "  " + state.folderName;
    return Fit(line, width);
}

TerminalProgress::TerminalProgress(std::ostream& out, std::size_t width)
    : _out(out), _width(std::max<std::size_t>(width, 20) - 1) {}

void TerminalProgress::updateCurrentProgressLabel(std::u16string_view label) {
    constexpr std::u16string_view kPrefix = u"Processing Folder: ";
    if (label.starts_with(kPrefix)) _state.folderName = platform::path_of_text(label.substr(kPrefix.size()));
}

void TerminalProgress::updateOverallProgressValue(float value) {
    _state.percent = value;
    Draw();
}

void TerminalProgress::updateOverallFoldersLabel(std::u16string_view label) {
    Numbers(label, _state.folder, _state.folders);
    Draw();
}

void TerminalProgress::updateOverallItemsLabel(std::u16string_view label) {
    Numbers(label, _state.done, _state.total);
}

void TerminalProgress::Draw() {
    const auto now = std::chrono::steady_clock::now();
    if (_drawn && now - _lastDraw < kRedrawInterval) return;
    _lastDraw = now;
    _drawn = true;
    _state.seconds = std::chrono::duration<double>(now - _start).count();
    _out << '\r' << ProgressLine(_state, _width) << "\x1b[K" << std::flush;
}

void TerminalProgress::Finish() {
    if (_drawn) _out << "\r\x1b[K" << std::flush;
}

}  // namespace mailferry
