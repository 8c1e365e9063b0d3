#pragma once
// progress_bar.h: the conversion's progress on a terminal — one line redrawn in place, at most ten times a
// second: a bar, the percentage, folder n of N, items done of all, items per second and the time left, then the
// folder being read. It is drawn from what the export agent tells its presenter; the line's text is a pure
// function of those values, so it can be checked without a terminal. Not thread-safe: the agent and the bar
// share the thread that runs the conversion.

#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>

#include "export/export_interfaces.h"

namespace mailferry {

struct ProgressState {
    std::int64_t folder = 0, folders = 0;  // from "Folders: n / N"
    std::int64_t done = 0, total = 0;      // from "Overall: Items [  0 / N ]" and "Total Progress : d / N"
    float percent = 0;                     // the overall value
    std::string folderName;                // from "Processing Folder: name"
    double seconds = 0;                    // since the run started
};

// The line for a terminal `width` columns wide (never longer).
std::string ProgressLine(const ProgressState& state, std::size_t width);

class TerminalProgress final : public SilentProgressPresenter {
public:
    // Draws on `out`, a terminal `width` columns wide.
    TerminalProgress(std::ostream& out, std::size_t width);
    // Clears the line.
    void Finish();

    void updateCurrentProgressLabel(std::u16string_view label) override;
    void updateOverallProgressValue(float value) override;
    void updateOverallFoldersLabel(std::u16string_view label) override;
    void updateOverallItemsLabel(std::u16string_view label) override;

private:
    void Draw();

    std::ostream& _out;
    std::size_t _width;
    ProgressState _state;
    std::chrono::steady_clock::time_point _start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point _lastDraw{};
    bool _drawn = false;
};

}  // namespace mailferry
