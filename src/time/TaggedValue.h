// A value that carries its kind with it (clsTimes.Raw, clsDataFile.SampleValue).
//
// The time conversions tell kinds apart by their type names, exactly and
// case-sensitively: "Long" (32-bit integer: a Citect time), "Currency"
// (scaled 64-bit number: an Int64 time) and "Date" (a date value).  Every
// other kind means "no time".  A copied value keeps its kind.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "time/Scaled64.h"

namespace jw {

class TaggedValue {
public:
    enum class Kind { Empty, Integer, Long, Currency, Date, Double };

    TaggedValue() = default;  // the empty value
    static TaggedValue Integer(std::int16_t v);
    static TaggedValue Long(std::int32_t v);
    static TaggedValue Currency(Scaled64 v);
    // A date value outside years 100..9999 (or NaN) is an overflow error.
    static TaggedValue Date(double v);
    static TaggedValue Double(double v);  // a plain 64-bit float, not a date

    Kind kind() const { return kind_; }
    // "Empty", "Integer", "Long", "Currency", "Date", "Double".
    std::string_view TypeName() const;
    bool IsEmpty() const { return kind_ == Kind::Empty; }

    // Accessors: a kind other than the one asked for is a type-mismatch error.
    std::int16_t AsInteger() const;
    std::int32_t AsLong() const;
    Scaled64 AsCurrency() const;
    double AsDate() const;
    double AsDouble() const;

    bool operator==(const TaggedValue&) const = default;

private:
    Kind kind_ = Kind::Empty;
    std::variant<std::monostate, std::int16_t, std::int32_t, Scaled64, double> v_;
};

}  // namespace jw
