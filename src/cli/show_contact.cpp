#include <optional>

#include "cli/show_kinds.h"
#include "encoding/dates.h"
#include "session/pst_session.h"
#include "writers/vcard_writer.h"

namespace mailferry {

namespace {

constexpr int kUsageError = 64;

// Standard output as a writer's sink: a card's photo passes through in pieces.
class StreamSink final : public OutputSink {
public:
    explicit StreamSink(std::ostream& out) : _out(out) {}
    void Append(std::string_view bytes) override {
        _out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!_out) throw OutputError("cannot write the output");
    }

private:
    std::ostream& _out;
};

VCardTarget TargetNamed(const std::string& name) {
    if (name == "apple") return VCardTarget::Apple;
    if (name == "archive") return VCardTarget::Archive;
    return VCardTarget::Plain;
}

}  // namespace

int ShowContact(const ShowOptions& options, PSTSession& session, pstcore::message& message, std::ostream& out,
                std::ostream& err) {
    time_zone zone = session.SystemTimeZone();
    if (options.timeZone) {
        const std::optional<time_zone> named = time_zone::named(*options.timeZone);
        if (!named) {
            err << "mailferry show: unknown time zone " << *options.timeZone << "\n";
            return kUsageError;
        }
        zone = *named;
    }
    VCardWriter writer(TargetNamed(options.target), session.pstDefaultCodePage(), session.isUnicodePST(),
                       {.dates = &session.DateFormatter(), .zone = zone});
    writer.LookUpNamedProperties(session.pstSession());
    StreamSink sink(out);
    writer.WriteContact(sink, message);
    // A card file ends its last line like every other.
    sink.Append("\r\n");
    return 0;
}

}  // namespace mailferry
