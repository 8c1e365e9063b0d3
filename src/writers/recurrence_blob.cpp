#include <algorithm>

#include "platform/diagnostic_log.h"
#include "pstcore/ndb/byte_reader.h"
#include "writers/recurrence.h"
#include "writers/recurrence_format.h"

namespace mailferry {

namespace {

namespace rf = recurrence_format;

// Reads the blob front to back. Every read checks the bytes left first; the first read that does not fit marks
// the blob truncated, and every read after it fails too, so the parse ends where the bytes did.
class BlobCursor {
public:
    explicit BlobCursor(std::span<const std::byte> blob) : _reader(blob) {}

    template <std::unsigned_integral T>
    bool Read(T& value) {
        if (_truncated || !_reader.fits(_offset, sizeof(T))) return Fail();
        value = _reader.read<T>(_offset);
        _offset += sizeof(T);
        return true;
    }
    bool Skip(std::size_t length) {
        if (_truncated || !_reader.fits(_offset, length)) return Fail();
        _offset += length;
        return true;
    }
    // Skips a reserved block: its size, then its bytes when the size is within bounds.
    bool SkipReservedBlock() {
        std::uint32_t size = 0;
        if (!Read(size)) return false;
        return size < 1 || size > rf::kMaxReservedBlock || Skip(size);
    }
    std::size_t Left() const { return _reader.size() - std::min(_offset, _reader.size()); }
    bool Truncated() const { return _truncated; }

private:
    bool Fail() {
        _truncated = true;
        return false;
    }

    pstcore::byte_reader _reader;
    std::size_t _offset = 0;
    bool _truncated = false;
};

// Reads `count` u32 values into `out`, reserving no more than the bytes left could hold.
bool ReadDates(BlobCursor& cursor, std::uint32_t count, std::vector<std::uint32_t>* out) {
    if (out) out->reserve(std::min<std::size_t>(count, cursor.Left() / sizeof(std::uint32_t)));
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t date = 0;
        if (!cursor.Read(date)) return false;
        if (out) out->push_back(date);
    }
    return true;
}

bool ReadPatternSpecific(BlobCursor& cursor, RecurrencePattern& p) {
    switch (p.patternType) {
        case rf::kPatternWeek:
            return cursor.Read(p.dayMask);
        case rf::kPatternMonth:
        case rf::kPatternMonthEnd:
        case rf::kPatternHijriMonth:
        case rf::kPatternHijriMonthEnd:
            return cursor.Read(p.dayOfMonth);
        case rf::kPatternMonthNth:
        case rf::kPatternHijriMonthNth:
            return cursor.Read(p.dayMask) && cursor.Read(p.nth);
        default:
            return true;
    }
}

bool ReadRecurrencePattern(BlobCursor& cursor, RecurrencePattern& p) {
    std::uint16_t readerVersion = 0, writerVersion = 0, calendarType = 0;
    std::uint32_t slidingFlag = 0, deletedCount = 0;
    if (!(cursor.Read(readerVersion) && cursor.Read(writerVersion) && cursor.Read(p.frequency) &&
          cursor.Read(p.patternType) && cursor.Read(calendarType) && cursor.Read(p.firstDateTime) &&
          cursor.Read(p.period) && cursor.Read(slidingFlag) && ReadPatternSpecific(cursor, p) &&
          cursor.Read(p.endType) && cursor.Read(p.occurrenceCount) && cursor.Read(p.firstDayOfWeek) &&
          cursor.Read(deletedCount)))
        return false;
    if (deletedCount >= 1 && deletedCount <= rf::kMaxInstances &&
        !ReadDates(cursor, deletedCount, &p.deletedInstanceDates))
        return false;
    if (!cursor.Read(p.modifiedInstanceCount)) return false;
    const std::uint32_t modified = p.modifiedInstanceCount;
    if (modified >= 1 && modified <= deletedCount && modified <= rf::kMaxInstances &&
        !ReadDates(cursor, modified, nullptr))
        return false;
    return cursor.Read(p.startDate) && cursor.Read(p.endDate);
}

// An 8-bit subject or location: its length, a second length, and the text when the two agree.
bool SkipShortString(BlobCursor& cursor) {
    std::uint16_t length = 0, length2 = 0;
    if (!cursor.Read(length) || !cursor.Read(length2)) return false;
    return length != length2 + 1 || cursor.Skip(length2);
}

bool SkipWideString(BlobCursor& cursor) {
    std::uint16_t characters = 0;
    return cursor.Read(characters) && cursor.Skip(std::size_t{characters} * 2);
}

bool ReadExceptionInfo(BlobCursor& cursor, RecurrenceException& e, std::uint16_t& flags) {
    if (!(cursor.Read(e.startMinutes) && cursor.Read(e.endMinutes) && cursor.Read(e.originalStartMinutes) &&
          cursor.Read(flags)))
        return false;
    std::uint32_t value = 0;
    if ((flags & rf::kOverrideSubject) && !SkipShortString(cursor)) return false;
    for (const std::uint16_t flag : {rf::kOverrideMeetingType, rf::kOverrideReminderDelta, rf::kOverrideReminder})
        if ((flags & flag) && !cursor.Read(value)) return false;
    if ((flags & rf::kOverrideLocation) && !SkipShortString(cursor)) return false;
    for (const std::uint16_t flag :
         {rf::kOverrideBusyStatus, rf::kOverrideAttachment, rf::kOverrideSubType, rf::kOverrideColor})
        if ((flags & flag) && !cursor.Read(value)) return false;
    return true;
}

bool SkipExtendedException(BlobCursor& cursor, std::uint32_t writerVersion2, std::uint16_t flags) {
    if (writerVersion2 >= rf::kChangeHighlightVersion && !cursor.SkipReservedBlock()) return false;
    if (!cursor.SkipReservedBlock()) return false;
    if (!(flags & (rf::kOverrideSubject | rf::kOverrideLocation))) return true;
    std::uint32_t times[3] = {};
    for (std::uint32_t& t : times)
        if (!cursor.Read(t)) return false;
    if ((flags & rf::kOverrideSubject) && !SkipWideString(cursor)) return false;
    if ((flags & rf::kOverrideLocation) && !SkipWideString(cursor)) return false;
    return cursor.SkipReservedBlock();
}

bool ReadAppointmentPart(BlobCursor& cursor, RecurrencePattern& p) {
    std::uint32_t readerVersion2 = 0, writerVersion2 = 0;
    std::uint16_t exceptionCount = 0;
    if (!(cursor.Read(readerVersion2) && cursor.Read(writerVersion2) && cursor.Read(p.startTimeOffset) &&
          cursor.Read(p.endTimeOffset) && cursor.Read(exceptionCount)))
        return false;
    const bool readExceptions =
        exceptionCount != 0 && exceptionCount == p.modifiedInstanceCount && exceptionCount <= rf::kMaxInstances;
    std::vector<std::uint16_t> flags;
    if (readExceptions) {
        for (std::uint16_t i = 0; i < exceptionCount; ++i) {
            RecurrenceException e;
            std::uint16_t f = 0;
            if (!ReadExceptionInfo(cursor, e, f)) return false;
            p.exceptions.push_back(e);
            flags.push_back(f);
        }
    }
    if (!cursor.SkipReservedBlock()) return false;
    // Nothing the events use follows; the rest is read so that a blob cut inside it is noticed.
    for (const std::uint16_t f : flags)
        if (!SkipExtendedException(cursor, writerVersion2, f)) return false;
    return cursor.SkipReservedBlock();
}

}  // namespace

RecurrencePattern ParseRecurrenceBlob(std::span<const std::byte> blob) {
    RecurrencePattern pattern;
    BlobCursor cursor(blob);
    if (ReadRecurrencePattern(cursor, pattern))
        ReadAppointmentPart(cursor, pattern);
    else
        pattern.ruleTruncated = true;
    pattern.truncated = cursor.Truncated();
    if (pattern.truncated) platform::log_diagnostic("Calendar event recurrance pattern is truncated.");
    return pattern;
}

}  // namespace mailferry
