#pragma once
// convert_command.h: `mailferry convert FILE... --out DIR [--target apple|thunderbird|archive|files]
// [--format mbox|eml] [--split-mbox MB] [--read-unread] [--merge-contacts] [--merge-events]
// [--only mail,contacts,calendar] [--folder PATH]... [--ignore-empty] [--codepage N] [--timezone ZONE] [--quiet]`
// — converts the mail, contacts and calendars of PST files (or the kinds --only names) into a target's layout
// below DIR (made when missing), as the desktop front end does: the same options, set-ups, report and log file.
// --folder takes the paths `mailferry list` prints (a folder and everything below it). On a terminal a progress bar
// shows the run and Ctrl-C cancels it; at the end the report and its two footers are printed. A file that cannot be
// opened is reported in one line and the others still convert.

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

namespace mailferry {

namespace platform {
class settings_store;
}

// Exit statuses besides the run's result code (0 success, 1 cancelled, 2 failed, 3 items skipped).
inline constexpr int kConvertUsageError = 64;

// Returns the exit status; a file that failed to load makes it 2. The progress bar is drawn on `progress`
// when `progressWidth` (the terminal's columns) is not 0.
int RunConvertCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunConvertCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                      const platform::settings_store& settings, std::ostream* progress, std::size_t progressWidth);

}  // namespace mailferry
