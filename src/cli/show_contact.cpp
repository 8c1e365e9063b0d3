#include "cli/show_kinds.h"

namespace mailferry {

int ShowContact(const ShowOptions&, PSTSession&, pstcore::message&, std::ostream&, std::ostream& err) {
    err << "mailferry show: this kind of item cannot be shown yet\n";
    return 1;
}

}  // namespace mailferry
