#include "cli/TimeText.h"

namespace jw::cli {

StoredTime FromRaw(const TaggedValue& raw) {
    StoredTime t;
    switch (raw.kind()) {
        case TaggedValue::Kind::Long:
            t.Raw = raw.AsLong();
            t.Ticks = CitectToTicks(t.Raw);
            t.IsCitect = true;
            break;
        case TaggedValue::Kind::Currency:
            t.Raw = raw.AsCurrency().Raw();
            t.Ticks = t.Raw;
            break;
        default:
            break;
    }
    return t;
}

std::string FormatTicks(std::int64_t ticks, bool withMilliseconds) {
    return DateTimeTools::FormatCivil(DateTimeTools::TicksToCivil(ticks), withMilliseconds);
}

std::string StoredTimeText(const StoredTime& t) {
    if (t.Raw == 0) return {};
    return FormatTicks(t.Ticks, false);
}

std::optional<std::int64_t> ParseTimeText(std::string_view text) {
    const auto t = DateTimeTools::ParseCivil(text);
    if (!t) return std::nullopt;
    return DateTimeTools::CivilToTicks(*t);
}

}  // namespace jw::cli
