#include "writers/recurrence.h"

#include <array>
#include <string_view>

#include "encoding/local_time.h"
#include "platform/diagnostic_log.h"
#include "writers/recurrence_format.h"

namespace mailferry {

namespace {

namespace rf = recurrence_format;

constexpr time_value kSeconds1601To1970 = 11644473600;
constexpr std::int64_t kDays1601To1970 = 134774;
constexpr std::array<std::string_view, 7> kDayCodes = {"SU", "MO", "TU", "WE", "TH", "FR", "SA"};
constexpr std::uint32_t kLastWeekOfMonth = 5;

// The month (1-12) of the date `days` days after 1601-01-01.
int MonthOfDay(std::int64_t days) {
    return civil_from_days(days - kDays1601To1970).month;
}

// Builds the RRULE value part by part; a part whose value the blob does not give is left out, since readers
// reject an empty BYDAY and loop for ever on INTERVAL=0.
class RuleBuilder {
public:
    explicit RuleBuilder(std::string& out) : _out(out) {}

    void Interval(std::uint32_t interval, std::string_view error) {
        if (interval == 0) {
            platform::log_diagnostic(error);
            return;
        }
        Part("INTERVAL", std::to_string(interval));
    }
    void Days(std::uint32_t mask) {
        std::string days;
        for (std::size_t day = 0; day < kDayCodes.size(); ++day) {
            if (!(mask & (1u << day))) continue;
            if (!days.empty()) days.push_back(',');
            days.append(kDayCodes[day]);
        }
        if (days.empty()) {
            platform::log_diagnostic("Recurrance Pattern Error.");
            return;
        }
        Part("BYDAY", days);
    }
    void MonthDay(std::uint32_t day) {
        if (day < 1 || day > 31) {
            platform::log_diagnostic("Recurrance Pattern Error.");
            return;
        }
        Part("BYMONTHDAY", std::to_string(day));
    }
    void Part(std::string_view name, std::string_view value) {
        _out.push_back(';');
        _out.append(name).push_back('=');
        _out.append(value);
    }

private:
    std::string& _out;
};

bool IsMonthPattern(std::uint16_t patternType) {
    return patternType == rf::kPatternMonth || patternType == rf::kPatternMonthNth ||
           patternType == rf::kPatternMonthEnd;
}

// "FREQ=..." with its interval; false for a frequency the rule cannot name.
bool WriteFrequency(std::string& out, RuleBuilder& rule, const RecurrencePattern& p) {
    switch (p.frequency) {
        case rf::kDaily:
            out.append("DAILY");
            if (p.patternType == rf::kPatternDay)
                rule.Interval(p.period / rf::kMinutesPerDay, "Recurrance Pattern Error Interval - DAILY");
            else if (p.patternType != rf::kPatternWeek)
                platform::log_diagnostic("Recurrance Pattern Error Interval - DAILY");
            return true;
        case rf::kWeekly:
            out.append("WEEKLY");
            rule.Interval(p.period, "Recurrance Pattern Error Interval - WEEKLY");
            return true;
        case rf::kMonthly:
            out.append("MONTHLY");
            if (IsMonthPattern(p.patternType))
                rule.Interval(p.period, "Recurrance Pattern Error Interval - MONTHLY.");
            else
                platform::log_diagnostic("Recurrance Pattern Error Interval - MONTHLY.");
            return true;
        case rf::kYearly:
            out.append("YEARLY");
            if (IsMonthPattern(p.patternType))
                rule.Interval(p.period / rf::kMonthsPerYear, "Recurrance Pattern Error Interval - YEARLY");
            else
                platform::log_diagnostic("Recurrance Pattern Error Interval - YEARLY");
            // The month the series began in, as a date within the period counted from January 1601.
            rule.Part("BYMONTH", std::to_string(MonthOfDay(p.firstDateTime / rf::kMinutesPerDay)));
            return true;
        default:
            return false;
    }
}

void WritePatternParts(RuleBuilder& rule, const RecurrencePattern& p) {
    switch (p.patternType) {
        case rf::kPatternDay:
            return;
        case rf::kPatternWeek:
            rule.Days(p.dayMask);
            return;
        case rf::kPatternMonth:
            rule.MonthDay(p.dayOfMonth);
            return;
        case rf::kPatternMonthNth:
            if (p.dayMask != 0) rule.Days(p.dayMask);
            if (p.nth >= 1 && p.nth < kLastWeekOfMonth)
                rule.Part("BYSETPOS", std::to_string(p.nth));
            else if (p.nth == kLastWeekOfMonth)
                rule.Part("BYSETPOS", "-1");
            else if (p.nth != 0)
                platform::log_diagnostic("Recurrance Pattern Error BYSETPOS.");
            return;
        case rf::kPatternMonthEnd:
            rule.Part("BYMONTHDAY", "-1");
            return;
        default:
            platform::log_diagnostic("Recurrance Pattern Error.");
    }
}

// The instant of the occurrence on local date `dateMinutes`: the series start's wall time moved by whole days.
time_value OccurrenceOn(std::uint32_t dateMinutes, const RecurrencePattern& p, const SeriesStart& start,
                        const time_zone& zone) {
    const std::int64_t days =
        (static_cast<std::int64_t>(dateMinutes) - static_cast<std::int64_t>(p.startDate)) / rf::kMinutesPerDay;
    return add_local_days(start.start, days, zone);
}

void WriteEnd(std::string& out, RuleBuilder& rule, const RecurrencePattern& p, const SeriesStart& start,
              date_formatter& dates, const time_zone& zone) {
    if (p.endType == rf::kEndByCount) {
        rule.Part("COUNT", std::to_string(p.occurrenceCount));
    } else if (p.endType == rf::kEndByDate) {
        // The start of the last occurrence: a date for an all-day series, else the instant in UTC.
        out.append(";UNTIL=");
        const time_value last = OccurrenceOn(p.endDate, p, start, zone);
        FormatICalDate(dates, last, out, start.allDay ? &zone : nullptr, start.allDay);
    }
}

void WriteExcludedDates(std::string& out, const RecurrencePattern& p, const SeriesStart& start, date_formatter& dates,
                        const time_zone& zone) {
    for (const std::uint32_t date : p.deletedInstanceDates) {
        if (date == 0) continue;
        if (start.allDay) {
            out.append("\r\nEXDATE;VALUE=DATE:");
        } else {
            out.append("\r\nEXDATE;TZID=\"").append(zone.id()).append("\":");
        }
        FormatICalDate(dates, OccurrenceOn(date, p, start, zone), out, &zone, start.allDay);
    }
}

}  // namespace

time_value MinutesToTime(std::uint32_t minutes) {
    return static_cast<time_value>(minutes) * 60 - kSeconds1601To1970;
}

std::vector<ExceptionTimes> WriteRecurrence(std::string& out, const RecurrencePattern& pattern,
                                            const SeriesStart& start, date_formatter& dates, const time_zone& zone) {
    std::string rule = "\r\nRRULE:FREQ=";
    RuleBuilder builder(rule);
    if (WriteFrequency(rule, builder, pattern)) {
        WritePatternParts(builder, pattern);
        WriteEnd(rule, builder, pattern, start, dates, zone);
        if (pattern.firstDayOfWeek < kDayCodes.size())
            builder.Part("WKST", kDayCodes[pattern.firstDayOfWeek]);
        else
            platform::log_diagnostic("Recurrance Pattern Error WKST.");
        out.append(rule);
        WriteExcludedDates(out, pattern, start, dates, zone);
    } else {
        platform::log_diagnostic("Recurrance Pattern Error.");
    }
    std::vector<ExceptionTimes> times;
    times.reserve(pattern.exceptions.size());
    for (const RecurrenceException& e : pattern.exceptions)
        times.push_back({local_digits_to_instant(MinutesToTime(e.startMinutes), zone),
                         local_digits_to_instant(MinutesToTime(e.endMinutes), zone)});
    return times;
}

}  // namespace mailferry
