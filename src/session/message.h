#pragma once
// message.h (session): one message with the few values the front ends and the export log show, computed
// once when the wrapper is made with the session's code page of that moment. Owned by whoever asked for it;
// it keeps its session (and so the file) alive. Not thread-safe.

#include <cstdint>
#include <memory>
#include <string>

#include "encoding/dates.h"
#include "pstcore/messaging/message.h"

namespace mailferry {

class PSTSession;

// Message class codes, by the beginning of the message class.
enum MessageClass : std::int32_t {
    kAppointmentMessage = 0,
    kContactMessage = 1,
    kDistListMessage = 2,
    kJournalMessage = 3,
    kNoteMessage = 4,
    kStickyNoteMessage = 5,
    kTaskMessage = 6,
};

// "IPM.Note" 4, "IPM.Contact" 1, "IPM.Appointment" 0, "IPM.DistList" 2, "IPM.Journal" 3, "IPM.Task" 6,
// "IPM.StickyNote" 5 by prefix; anything else 4.
std::int32_t MessageClassForName(std::u16string_view messageClass);

// The pattern of sentOn: weekday, day, month, year, 12-hour time.
inline constexpr std::string_view kSentOnPattern = "EEEE, dd MMM yyyy hh:mm:ss a";

class Message {
public:
    // initWithMessage:Session:TimeZone:. sentOn is formatted in `timeZone` with the session's date formatter.
    // Without a session no code page is attached.
    // Reading the values may throw (a string that cannot be decoded, a floating-point date).
    Message(std::unique_ptr<pstcore::message> message, std::shared_ptr<PSTSession> session, const time_zone& timeZone);

    pstcore::message& GetMessage() { return *_messageP; }
    const std::shared_ptr<PSTSession>& ownerSession() const { return _ownerSession; }
    const std::u16string& senderName() const { return _senderName; }
    const std::u16string& sentOn() const { return _sentOn; }
    const std::u16string& subject() const { return _subject; }
    bool isRead() const { return _isRead; }
    std::int32_t messageClass() const { return _messageClass; }
    // 0x0E08, or 0 when the message does not say.
    std::uint32_t messageSize() const { return _messageSize; }

private:
    std::unique_ptr<pstcore::message> _messageP;
    std::shared_ptr<PSTSession> _ownerSession;
    std::u16string _senderName;
    std::u16string _sentOn;
    std::u16string _subject;
    bool _isRead = true;
    std::int32_t _messageClass = kNoteMessage;
    std::uint32_t _messageSize = 0;
};

}  // namespace mailferry
