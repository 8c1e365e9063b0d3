#pragma once
// store_columns.h: the column sets of the folder, message and store tables as Outlook's templates lay them out
// (tag, cell offset, width, bitmap bit). ANSI stores get 8-bit string columns instead of UTF-16 ones.

#include <vector>

#include "ltp_tc.h"

namespace pstwrite {

enum class table_kind {
    hierarchy,
    contents,
    associated_contents,
    search_contents,
    attachment,
    recipient,
    receive_folder
};

std::vector<column> column_set(table_kind kind, format f);

}  // namespace pstwrite
