#include "session/message.h"

#include <array>
#include <utility>

#include "encoding/code_page_table.h"
#include "platform/platform_string.h"
#include "pstcore/messaging/messaging_format.h"
#include "session/pst_session.h"

namespace mailferry {

std::int32_t MessageClassForName(std::u16string_view messageClass) {
    static constexpr std::array<std::pair<std::u16string_view, std::int32_t>, 7> kClasses{{
        {u"IPM.Note", kNoteMessage},
        {u"IPM.Contact", kContactMessage},
        {u"IPM.Appointment", kAppointmentMessage},
        {u"IPM.DistList", kDistListMessage},
        {u"IPM.Journal", kJournalMessage},
        {u"IPM.Task", kTaskMessage},
        {u"IPM.StickyNote", kStickyNoteMessage},
    }};
    for (const auto& [prefix, code] : kClasses)
        if (messageClass.starts_with(prefix)) return code;
    return kNoteMessage;
}

Message::Message(std::unique_ptr<pstcore::message> message, std::shared_ptr<PSTSession> session,
                 const time_zone& timeZone)
    : _messageP(std::move(message)), _ownerSession(std::move(session)) {
    pstcore::property_bag& bag = _messageP->get_property_bag();
    bag.set_text_encoding(_ownerSession ? find_text_encoding(_ownerSession->pstDefaultCodePage()) : nullptr);
    // The size is optional in valid messages; the readers of messageSize take 0 as "unknown".
    if (bag.find_prop_type(pstcore::k_prop_message_size)) _messageSize = static_cast<std::uint32_t>(_messageP->size());
    if (bag.find_prop_type(pstcore::k_prop_sender_name))
        _senderName = platform::stringWithWString(bag.read_wstring(pstcore::k_prop_sender_name));
    if (bag.find_prop_type(pstcore::k_prop_message_class))
        _messageClass = MessageClassForName(bag.read_unistring(pstcore::k_prop_message_class));
    if (_messageClass == kAppointmentMessage || _messageClass == kNoteMessage) {
        std::optional<std::int64_t> sent = _messageP->get_time(pstcore::k_prop_client_submit_time);
        if (!sent) sent = _messageP->get_time(pstcore::k_prop_delivery_time);
        if (sent) {
            std::string text;
            if (_ownerSession) {
                _ownerSession->DateFormatter().format(*sent, kSentOnPattern, timeZone, text);
            } else {
                date_formatter formatter;
                formatter.format(*sent, kSentOnPattern, timeZone, text);
            }
            _sentOn.assign(text.begin(), text.end());  // the formatter gives ASCII or nothing
        }
    }
    if (_messageP->has_subject()) _subject = platform::stringWithWString(_messageP->get_subject());
    if (bag.find_prop_type(pstcore::k_prop_message_flags))
        _isRead = (bag.get_value_4(pstcore::k_prop_message_flags) & 1u) != 0;
}

}  // namespace mailferry
