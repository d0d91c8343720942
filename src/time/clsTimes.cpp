#include "time/clsTimes.h"

#include <charconv>

#include "time/DateTimeTools.h"
#include "time/StringTools.h"

namespace jw {

double clsTimes::VB() const { return DateTimeTools::ToVB(Raw); }

Scaled64 clsTimes::Int64() const { return DateTimeTools::ToInt64(Raw, 0); }

std::int32_t clsTimes::Citect() const { return DateTimeTools::ToCitect(Raw); }

namespace {

// General date form: "YYYY-MM-DD HH:MM:SS"; the date alone at midnight, the
// time alone on day 0 (1899-12-30).
std::string GeneralDate(double d) {
    using namespace std::chrono;
    const DateTimeTools::CivilTime t = DateTimeTools::VBToCivil(d);
    const std::string full = DateTimeTools::FormatCivil(t, false);
    const std::size_t space = full.find(' ');
    if (t.date == year_month_day(1899y / December / 30)) return full.substr(space + 1);
    if (t.hour == 0 && t.minute == 0 && t.second == 0) return full.substr(0, space);
    return full;
}

}  // namespace

std::string clsTimes::FormattedString() const {
    if (Raw.TypeName() == "Currency") return StringTools::Int64ToString(Raw.AsCurrency());
    switch (Raw.kind()) {
        case TaggedValue::Kind::Integer: return std::to_string(Raw.AsInteger());
        case TaggedValue::Kind::Long: return std::to_string(Raw.AsLong());
        case TaggedValue::Kind::Date: return GeneralDate(Raw.AsDate());
        case TaggedValue::Kind::Double: {
            char buf[64];
            auto res = std::to_chars(buf, buf + sizeof buf, Raw.AsDouble());  // shortest round-trip text
            return std::string(buf, res.ptr);
        }
        case TaggedValue::Kind::Empty:
        case TaggedValue::Kind::Currency: break;
    }
    return std::string();
}

}  // namespace jw
