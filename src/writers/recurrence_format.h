#pragma once
// recurrence_format.h: the codes and bounds of the appointment recurrence blob, shared by its parser and its
// RRULE writer.

#include <cstdint>

namespace mailferry::recurrence_format {

inline constexpr std::uint16_t kDaily = 0x200A;
inline constexpr std::uint16_t kWeekly = 0x200B;
inline constexpr std::uint16_t kMonthly = 0x200C;
inline constexpr std::uint16_t kYearly = 0x200D;

inline constexpr std::uint16_t kPatternDay = 0x0;
inline constexpr std::uint16_t kPatternWeek = 0x1;
inline constexpr std::uint16_t kPatternMonth = 0x2;
inline constexpr std::uint16_t kPatternMonthNth = 0x3;
inline constexpr std::uint16_t kPatternMonthEnd = 0x4;
inline constexpr std::uint16_t kPatternHijriMonth = 0xA;
inline constexpr std::uint16_t kPatternHijriMonthNth = 0xB;
inline constexpr std::uint16_t kPatternHijriMonthEnd = 0xC;

inline constexpr std::uint32_t kEndByDate = 0x2021;
inline constexpr std::uint32_t kEndByCount = 0x2022;

// Arrays of dates and exceptions longer than this are not read.
inline constexpr std::uint32_t kMaxInstances = 499;
// Reserved blocks are read only when their size is 1 to this.
inline constexpr std::uint32_t kMaxReservedBlock = 65534;
// From this writer version on, each extended exception starts with its change highlight.
inline constexpr std::uint32_t kChangeHighlightVersion = 0x3009;

// Exception override flags that add fields.
inline constexpr std::uint16_t kOverrideSubject = 0x0001;
inline constexpr std::uint16_t kOverrideMeetingType = 0x0002;
inline constexpr std::uint16_t kOverrideReminderDelta = 0x0004;
inline constexpr std::uint16_t kOverrideReminder = 0x0008;
inline constexpr std::uint16_t kOverrideLocation = 0x0010;
inline constexpr std::uint16_t kOverrideBusyStatus = 0x0020;
inline constexpr std::uint16_t kOverrideAttachment = 0x0040;
inline constexpr std::uint16_t kOverrideSubType = 0x0080;
inline constexpr std::uint16_t kOverrideColor = 0x0100;

inline constexpr std::uint32_t kMinutesPerDay = 1440;
inline constexpr std::uint32_t kMonthsPerYear = 12;

}  // namespace mailferry::recurrence_format
