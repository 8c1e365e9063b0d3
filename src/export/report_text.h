#pragma once
// report_text.h: the fixed texts of the report, the log file and the diagnostic log, kept word for word (their
// spelling included: users and support scripts search for them), and the small formatter that fills their
// placeholders. Shared by the driver and the folder exporters.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace mailferry::report_text {

// 74 hyphens and CR LF.
inline constexpr std::u16string_view kSeparatorLine =
    u"--------------------------------------------------------------------------\r\n";

// Driver.
inline constexpr std::u16string_view kPathTooLongHead = u"Operation aborted due to following error :\r\n";
inline constexpr std::u16string_view kPathTooLong = u"Following folder path is too long: %@\r\n";
inline constexpr std::u16string_view kPathTooLongAdvice =
    u"Please choose a shorter output path to avoid this error.\r\n";
inline constexpr std::u16string_view kOverallItems = u"Overall: Items [  0 / %i ]";
inline constexpr std::u16string_view kConvertingPst = u"Converting content from PST File: %@\r\n";
inline constexpr std::u16string_view kConvertingOutlook = u"Converting content from Outlook\r\n";
inline constexpr std::u16string_view kQueryingContent = u"Querying Content.";
inline constexpr std::u16string_view kProcessingFolder = u"Processing Folder: %@";
inline constexpr std::u16string_view kFoldersLabel = u"Folders: %i / %li";
inline constexpr std::u16string_view kFolderLine = u"Folder: %@ [%lli]\r\n";
inline constexpr std::u16string_view kExporterAborted = u"\r\n\r\nOperation aborted due to following error: %@";
inline constexpr std::u16string_view kTotalEmails = u"Total number of emails processed: %li\r\n";
inline constexpr std::u16string_view kTotalContacts = u"Total number of contacts processed: %li\r\n";
inline constexpr std::u16string_view kTotalCalendarItems = u"Total number of calendar items processed: %li\r\n";
inline constexpr std::u16string_view kRunFailed = u"Operation aborted due to following error:\r\n%@\r\n";
inline constexpr std::u16string_view kRunFailedReason =
    u"Please ensure that there is enough space avialable on the disk or you have sufficient privilege to access "
    u"output folder.";
inline constexpr std::u16string_view kRunCancelled = u"Operation aborted !!!\r\n";
inline constexpr std::u16string_view kRunSucceeded = u"Operation completed successfully.\r\n";
inline constexpr std::u16string_view kOutputPath = u"Output Path: %@\r\n";
inline constexpr std::u16string_view kCorruptPst =
    u"Operation aborted due to following error :\r\nPST File appears to be corrupt. Please run some pst repair tool "
    u"(such as \"scanpst\" on Windows) on this pst file and try again later.";
inline constexpr std::u16string_view kTotalProgress = u"Total Progress : %i / %i";

// Folder exporters.
inline constexpr std::u16string_view kCorruptItems =
    u"Error: Skipped following number of corrupt %@ (details could not be fetched): %i\r\nIf not acceptable, please "
    u"repair your pst file using some pst repair tool such as \"scanpst\" (on Windows) and convert this folder "
    u"again.\r\n";
inline constexpr std::u16string_view kFileStreamFail =
    u"Please ensure that there is enough space available on the disk or you have sufficient previledges to write "
    u"on the disk.\r\n\r\n";
inline constexpr std::u16string_view kItemSkipped =
    u"\r\n*************** ERROR WHILE CONVERTING A MESSAGE : MESSAGE SKIPPED ******************\r\n";
inline constexpr std::u16string_view kProcessedItems = u"Processed Items Count: %i %@\r\n";
inline constexpr std::u16string_view kFolderFailed = u"\r\nOperation aborted due to following error:\r\n%@";
inline constexpr std::u16string_view kSavedIn = u"Saved in: %@\r\n\r\n";
inline constexpr std::u16string_view kMailItem = u"From: %@\r\nDate: %@\r\nSubject: %@";
inline constexpr std::u16string_view kItemLogEnd = u"\r\n\r\n";
inline constexpr std::u16string_view kEmailsWord = u"emails";
inline constexpr std::u16string_view kContactItem = u"Contact.\r\nName: %@";
inline constexpr std::u16string_view kContactsWord = u"contacts";
inline constexpr std::u16string_view kCalendarItem = u"Calendar Event.\r\nFrom: %@\r\nSubject: %@";
inline constexpr std::u16string_view kCalendarEventsWord = u"calendar events";
inline constexpr std::u16string_view kEventsSavedIn = u"Saved in: %@\r\n";
inline constexpr std::u16string_view kReferencesSavedIn = u"Calendar References Saved in: %@\r\n\r\n";

// Diagnostic log (UTF-8: it is no part of the report).
inline constexpr std::string_view kFileOpeningFailed = "File opening failed for %@.";
inline constexpr std::string_view kCorruptMessage = "Corrupt Message found.";
inline constexpr std::string_view kCorruptContact = "Corrupt contact found.";
inline constexpr std::string_view kCorruptCalendarEvent = "Corrupt calendar event found.";
inline constexpr std::string_view kMailWriterError =
    "Error: \"%@\" in following Mail\n: Sender: %@\nDate %@ \nSubject: %@";
inline constexpr std::string_view kSplitRenameFailed = "SplitFile(): Error renaming file.";
inline constexpr std::string_view kSplitOpenFailed = "SplitFile(): Fail to open file stream.";

// Fills the placeholders %@, %i, %li and %lli of `format`, in order, with `values` (already text); a placeholder
// without a value stays empty.
std::u16string Format(std::u16string_view format, std::initializer_list<std::u16string_view> values);
std::string Format(std::string_view format, std::initializer_list<std::string_view> values);

std::u16string Number(std::int64_t value);

}  // namespace mailferry::report_text
