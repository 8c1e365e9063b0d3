#pragma once
// show_kinds.h: the per-kind halves of `mailferry show`, each in its own file. Internal to the command line.

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

namespace pstcore {
class message;
}

namespace mailferry {

class PSTSession;

struct ShowOptions {
    std::string file;
    std::uint32_t nid = 0;
    bool mbox = false;                     // --mbox: an MBOX entry with its "From - " line, LF line ends
    std::optional<std::int32_t> codePage;  // --codepage N: the session's code page for 8-bit strings
    std::string target = "plain";          // --target apple|archive|plain: the vCard mode
    bool reference = false;                // --reference: an appointment's calendar reference mail
    std::optional<std::string> timeZone;   // --timezone ZONE: the zone local times are written in
};

// Each writes the item to `out` and returns the exit status; errors reading the item pass as exceptions.
int ShowMail(const ShowOptions& options, PSTSession& session, pstcore::message& message, std::ostream& out,
             std::ostream& err);
int ShowContact(const ShowOptions& options, PSTSession& session, pstcore::message& message, std::ostream& out,
                std::ostream& err);
int ShowAppointment(const ShowOptions& options, PSTSession& session, pstcore::message& message, std::ostream& out,
                    std::ostream& err);

}  // namespace mailferry
