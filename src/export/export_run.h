#pragma once
// export_run.h: what one conversion run shares between the driver and its folder exporters — the settings, the
// output folder's files, the services a run needs from outside, the detailed log file, the date formatter, the
// cancel flag and the counters and names that span folders. Made and reset by the agent; an exporter reads and
// updates it for the folder it writes. Only the cancel flag may be touched from another thread.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "encoding/dates.h"
#include "export/export_interfaces.h"
#include "export/export_settings.h"
#include "export/extended_log_file.h"
#include "export/mail_item_writer.h"
#include "writers/writer_context.h"

namespace mailferry {

namespace platform {
class file_system;
}

// What a run takes from outside besides its settings; tests pass fixed ones.
struct ExportServices {
    time_zone zone = time_zone::system();  // local times in the output
    UuidSource newUuid = platform::new_uuid;
    std::function<std::int64_t()> now;  // seconds since 1970; the clock when empty
    MailWriterFactory mailWriters;      // needed as soon as a mail folder is exported
};

// The services of a normal run: the real writers, the machine's zone unless `zone` is given.
ExportServices StandardExportServices(std::optional<time_zone> zone = std::nullopt);

struct ExportRun {
    ExportRun(_ExportSettings& settings, platform::file_system& files, ExportServices services)
        : _settings(settings), _files(files), _services(std::move(services)) {}

    // The start values of a run; `now` in seconds since 1970.
    void Reset(std::int64_t now);
    // The writers' view of the run: its formatter, zone and UUIDs.
    WriterContext Context() const { return WriterContext{_dates.get(), _services.zone, _services.newUuid}; }
    // The run was cancelled (Cancel is observed between items).
    bool Canceled() const { return _canceled.load(std::memory_order_relaxed); }
    // Progress after the item at zero-based position `k` of a folder of `count` items was handled.
    void UpdateProgressPresenter(IProgressPresenter& progressPresenter, std::uint32_t k, std::int64_t count);

    _ExportSettings& _settings;
    platform::file_system& _files;
    ExportServices _services;
    ExtendedLogFile _logFile;
    std::unique_ptr<date_formatter> _dates;

    std::atomic<bool> _canceled{false};
    std::uint64_t _totalItemsToExport = 0;
    std::uint64_t _numberOfItemsExported = 0;
    std::int32_t _lastPSTSuffix = -1;
    // Kept for the contact and calendar exporters.
    std::int32_t _contactSuffix = 0;
    std::int32_t _calendarSuffix = 0;
    std::int32_t _mergeContactSuffixValue = -1;
    std::int32_t _mergeCalendarEventSuffixValue = -1;
    std::int32_t _mergeCalendarMailRefSuffixValue = -1;
    bool _extendedVCalendarScope = false;
    std::string _calendarFileFullPath;  // empty until a calendar file is shared
    std::int32_t _refUID = 0;
};

}  // namespace mailferry
