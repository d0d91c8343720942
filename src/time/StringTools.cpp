#include "time/StringTools.h"

#include <algorithm>

namespace jw::StringTools {

std::string Int64ToString(Scaled64 v) {
    // The numeric value with four decimals ("-0.0005"), then without its
    // separator: integer digits only, no float step on the way.
    std::string text = v.ToDecimalString();
    text.erase(std::remove(text.begin(), text.end(), '.'), text.end());
    return text;
}

}  // namespace jw::StringTools
