#pragma once
// uuid.h: random (version 4) UUIDs in the usual 36-character upper-case text form, the form vCard and iCalendar
// UIDs and generated Message-IDs carry. Safe to call from any thread.
//
//   new_uuid();   // "3F2504E0-4F89-41D3-9A0C-0305E82C3301"

#include <string>

namespace mailferry::platform {

std::string new_uuid();

}  // namespace mailferry::platform
