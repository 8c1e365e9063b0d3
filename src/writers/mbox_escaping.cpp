#include <cstring>
#include <ctime>

#include "encoding/dates.h"
#include "pstcore/messaging/message.h"
#include "pstcore/messaging/messaging_format.h"
#include "writers/mime_parts_internal.h"

namespace mailferry::detail {

namespace {

// A run of ">" held back at a line start is written out once it is this long: every ">" is the same byte, so
// the one added for a "From " line may as well go after the run as before it.
constexpr std::size_t kLongQuoteRun = 512;

// Where the next CR or LF lies at or after `from`, or the end of `text`.
std::size_t NextLineEnd(std::string_view text, std::size_t from) {
    const char* start = text.data() + from;
    const std::size_t left = text.size() - from;
    const auto* lf = static_cast<const char*>(std::memchr(start, '\n', left));
    const std::size_t limit = lf != nullptr ? static_cast<std::size_t>(lf - start) : left;
    const auto* cr = static_cast<const char*>(std::memchr(start, '\r', limit));
    return from + (cr != nullptr ? static_cast<std::size_t>(cr - start) : limit);
}

}  // namespace

void MboxEscaper::EndLine(std::string& out) {
    out.append(_pending);
    _pending.clear();
    out.push_back('\n');
    _atLineStart = true;
    _lineEnded = false;
}

void MboxEscaper::Escape(std::string_view chunk, std::string& out) {
    std::size_t i = 0;
    while (i < chunk.size()) {
        const char c = chunk[i];
        if (_lineEnded) EndLine(out);
        if (c == '\n') {
            // The LF of a CR LF ends nothing more: the CR already ended the line.
            _lineEnded = _previous != '\r';
            _previous = c;
            ++i;
            continue;
        }
        if (c == '\r') {
            _lineEnded = true;
            _previous = c;
            ++i;
            continue;
        }
        if (!_atLineStart) {
            // The middle of a line: copy up to its end in one piece.
            const std::size_t end = NextLineEnd(chunk, i);
            out.append(chunk.substr(i, end - i));
            _previous = chunk[end - 1];
            i = end;
            continue;
        }
        const bool continues =
            ((c == '>' || c == 'F') && (_previous == '\n' || _previous == '\r' || _previous == '>')) ||
            (c == 'r' && _previous == 'F') || (c == 'o' && _previous == 'r') || (c == 'm' && _previous == 'o');
        _previous = c;
        ++i;
        if (continues) {
            if (c == '>' && _pending.size() >= kLongQuoteRun) {
                out.append(_pending);
                _pending.clear();
            }
            _pending.push_back(c);
            continue;
        }
        // The line's start is settled: quoted when it reads ">...From ", as it is otherwise.
        if (c == ' ' && _pending.ends_with("From")) out.push_back('>');
        out.append(_pending);
        _pending.clear();
        out.push_back(c);
        _atLineStart = false;
    }
}

void MboxEscaper::Finish(std::string& out) {
    out.append(_pending);
    _pending.clear();
}

void WriteFromLine(MimeOutput& out, const MailSettings& settings, pstcore::message& message) {
    const pstcore::property_bag& bag = message.get_property_bag();
    std::optional<std::int64_t> when = FindTime(bag, pstcore::k_prop_delivery_time);
    if (!when) when = FindTime(bag, pstcore::k_prop_client_submit_time);
    if (!when) when = static_cast<std::int64_t>(std::time(nullptr));
    std::string date;
    // A separator without a date is no separator to Dovecot, which would join this message to the one before.
    if (!FormatMboxDate(*settings.context->dates, *when, date, &settings.context->zone))
        date = "Thu Jan 01 00:00:00 1970";
    out.Line("From - ", date);
}

}  // namespace mailferry::detail
