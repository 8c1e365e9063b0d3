#pragma once
// dates.h: PST time stamps and the four fixed date formats of the writers (RFC 822 headers, the MBOX separator,
// iCalendar and ISO dates). One date_formatter serves a whole export run: the driver makes it when the run starts
// and hands it to the writers. Every format call sets its own pattern and zone, so no setting leaks from one call
// to the next. The formatter and the zones are not thread-safe; a run formats on one thread.
//
//   date_formatter dates;
//   std::string line;
//   FormatRfc822Date(dates, 1796472940, line);   // "Sat, 05 Dec 2026 12:15:40 +0000"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace mailferry {

// Seconds since 1970-01-01 00:00:00 UTC.
using time_value = std::int64_t;

// 100-nanosecond ticks since 1601-01-01 UTC to seconds since 1970, truncated toward zero.
time_value FileTimeToTimeT(std::uint64_t filetime);

// A time zone, copied by value.
class time_zone {
public:
    static time_zone gmt();
    // The machine's zone, as the platform reports it when called.
    static time_zone system();
    // A zone by its tz database id ("Europe/Berlin"); nullopt when the id is unknown.
    static std::optional<time_zone> named(std::string_view id);

    time_zone(const time_zone& other);
    time_zone& operator=(const time_zone& other);
    time_zone(time_zone&&) noexcept;
    time_zone& operator=(time_zone&&) noexcept;
    ~time_zone();

    std::string id() const;

private:
    struct impl;
    explicit time_zone(std::unique_ptr<impl> zone);
    std::unique_ptr<impl> m_impl;
    friend class date_formatter;
};

// Formats dates with fixed patterns (Unicode TR 35 letters) in the en_US locale.
class date_formatter {
public:
    // Throws std::runtime_error("date formatter unavailable") when the platform cannot make one.
    date_formatter();
    date_formatter(const date_formatter&) = delete;
    date_formatter& operator=(const date_formatter&) = delete;
    ~date_formatter();

    // Appends `seconds` in `pattern` and `zone`. Returns false, appending nothing, when the text is not ASCII
    // or the platform fails.
    bool format(time_value seconds, std::string_view pattern, const time_zone& zone, std::string& out);

private:
    struct impl;
    std::unique_ptr<impl> m_impl;
};

// Each appends the date to `out` and returns whether it did. `zone` null means GMT.
// "EEE, dd MMM yyyy HH:mm:ss ZZZ": Sat, 05 Dec 2026 12:15:40 +0000
bool FormatRfc822Date(date_formatter& formatter, time_value seconds, std::string& out, const time_zone* zone = nullptr);
// "EEE MMM dd HH:mm:ss yyyy": Sat Dec 05 12:15:40 2026
bool FormatMboxDate(date_formatter& formatter, time_value seconds, std::string& out, const time_zone* zone = nullptr);
// "yyyyMMdd" when `dateOnly`, else "yyyyMMdd'T'HHmmss" in a given zone or "yyyyMMdd'T'HHmmss'Z'" in GMT.
bool FormatICalDate(date_formatter& formatter, time_value seconds, std::string& out, const time_zone* zone,
                    bool dateOnly);
// "yyyy'-'MM'-'dd" in `zone`, the system zone in every use: 2026-12-05
bool FormatIsoDate(date_formatter& formatter, time_value seconds, std::string& out, const time_zone& zone);

// Buffer forms for fixed-size records: each writes the text and a terminating zero when both fit in `buffer`,
// and otherwise leaves the buffer as it was. FormatMboxDate needs at least 25 bytes and FormatIsoDate 11.
bool FormatRfc822Date(date_formatter& formatter, time_value seconds, std::span<char> buffer,
                      const time_zone* zone = nullptr);
bool FormatMboxDate(date_formatter& formatter, time_value seconds, std::span<char> buffer,
                    const time_zone* zone = nullptr);
bool FormatICalDate(date_formatter& formatter, time_value seconds, std::span<char> buffer, const time_zone* zone,
                    bool dateOnly);
bool FormatIsoDate(date_formatter& formatter, time_value seconds, std::span<char> buffer, const time_zone& zone);

}  // namespace mailferry
