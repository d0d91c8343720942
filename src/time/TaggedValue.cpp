#include "time/TaggedValue.h"

#include "time/DateTimeTools.h"
#include "base/Errors.h"

namespace jw {

TaggedValue TaggedValue::Integer(std::int16_t v) {
    TaggedValue t;
    t.kind_ = Kind::Integer;
    t.v_ = v;
    return t;
}

TaggedValue TaggedValue::Long(std::int32_t v) {
    TaggedValue t;
    t.kind_ = Kind::Long;
    t.v_ = v;
    return t;
}

TaggedValue TaggedValue::Currency(Scaled64 v) {
    TaggedValue t;
    t.kind_ = Kind::Currency;
    t.v_ = v;
    return t;
}

TaggedValue TaggedValue::Date(double v) {
    TaggedValue t;
    t.kind_ = Kind::Date;
    t.v_ = DateTimeTools::CheckDate(v, "date value");
    return t;
}

TaggedValue TaggedValue::Double(double v) {
    TaggedValue t;
    t.kind_ = Kind::Double;
    t.v_ = v;
    return t;
}

std::string_view TaggedValue::TypeName() const {
    switch (kind_) {
        case Kind::Empty: return "Empty";
        case Kind::Integer: return "Integer";
        case Kind::Long: return "Long";
        case Kind::Currency: return "Currency";
        case Kind::Date: return "Date";
        case Kind::Double: return "Double";
    }
    return "Empty";
}

namespace {

[[noreturn]] void Mismatch(std::string_view have, std::string_view want) {
    Fail(ErrorKind::TypeMismatch,
         "a value of kind " + std::string(have) + " was read as " + std::string(want) + " (type mismatch)");
}

}  // namespace

std::int16_t TaggedValue::AsInteger() const {
    if (kind_ != Kind::Integer) Mismatch(TypeName(), "Integer");
    return std::get<std::int16_t>(v_);
}

std::int32_t TaggedValue::AsLong() const {
    if (kind_ != Kind::Long) Mismatch(TypeName(), "Long");
    return std::get<std::int32_t>(v_);
}

Scaled64 TaggedValue::AsCurrency() const {
    if (kind_ != Kind::Currency) Mismatch(TypeName(), "Currency");
    return std::get<Scaled64>(v_);
}

double TaggedValue::AsDate() const {
    if (kind_ != Kind::Date) Mismatch(TypeName(), "Date");
    return std::get<double>(v_);
}

double TaggedValue::AsDouble() const {
    if (kind_ != Kind::Double) Mismatch(TypeName(), "Double");
    return std::get<double>(v_);
}

}  // namespace jw
