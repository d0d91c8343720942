#include "base/Checked.h"

namespace jw::detail {

void FailOverflow(std::string_view what, const std::string& value, std::string_view type) {
    Fail(ErrorKind::Overflow, std::string(what) + ": " + value + " does not fit a " + std::string(type) +
                                  " integer (overflow)");
}

}  // namespace jw::detail
