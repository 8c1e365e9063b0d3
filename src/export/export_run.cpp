#include "export/export_run.h"

#include <algorithm>

#include "export/report_text.h"

namespace mailferry {

namespace rt = report_text;

namespace {

// A percentage for a bar: a folder whose stored count is too small (a damaged file) stops at 100.
float Percent(std::uint64_t done, std::uint64_t total) {
    if (total == 0) return 100.0f;
    return std::min(100.0f, static_cast<float>(done) / static_cast<float>(total) * 100.0f);
}

}  // namespace

void ExportRun::Reset(std::int64_t now) {
    _totalItemsToExport = 0;
    _numberOfItemsExported = 0;
    _lastPSTSuffix = -1;
    _contactSuffix = 0;
    _calendarSuffix = 0;
    _mergeContactSuffixValue = -1;
    _mergeCalendarEventSuffixValue = -1;
    _mergeCalendarMailRefSuffixValue = -1;
    _extendedVCalendarScope = false;
    _calendarFileFullPath.clear();
    _refUID = static_cast<std::int32_t>(static_cast<std::uint32_t>(now));
}

void ExportRun::UpdateProgressPresenter(IProgressPresenter& progressPresenter, std::uint32_t k, std::int64_t count) {
    progressPresenter.updateOverallItemsLabel(
        rt::Format(rt::kTotalProgress, {rt::Number(static_cast<std::int64_t>(_numberOfItemsExported)),
                                        rt::Number(static_cast<std::int64_t>(_totalItemsToExport))}));
    progressPresenter.updateCurrentProgressValue(Percent(std::uint64_t{k} + 1, count > 0 ? count : 0));
    progressPresenter.updateOverallProgressValue(Percent(_numberOfItemsExported, _totalItemsToExport));
}

}  // namespace mailferry
