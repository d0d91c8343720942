// clsTimes and the tagged value behind its Raw member.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "time/Errors.h"
#include "time/clsTimes.h"

namespace jw {
namespace {

constexpr std::int64_t kCitectZeroTicks = 116444736000000000;

TEST(TaggedValue, KeepsItsKindWhenCopied) {
    struct Case {
        TaggedValue v;
        const char* name;
    };
    const Case cases[] = {
        {TaggedValue(), "Empty"},
        {TaggedValue::Integer(0), "Integer"},
        {TaggedValue::Long(0), "Long"},
        {TaggedValue::Currency(Scaled64()), "Currency"},
        {TaggedValue::Date(0.0), "Date"},
        {TaggedValue::Double(0.0), "Double"},
    };
    for (const auto& c : cases) {
        TaggedValue copy;
        copy = c.v;
        EXPECT_EQ(copy.TypeName(), c.name);
        EXPECT_EQ(copy, c.v);
        EXPECT_EQ(copy.IsEmpty(), std::string(c.name) == "Empty");
    }
    // The same bits under another kind are another value.
    EXPECT_NE(TaggedValue::Date(1.5), TaggedValue::Double(1.5));
    EXPECT_NE(TaggedValue::Integer(5), TaggedValue::Long(5));
}

TEST(TaggedValue, ReadingAnotherKindIsATypeMismatch) {
    const TaggedValue l = TaggedValue::Long(-7);
    EXPECT_EQ(l.AsLong(), -7);
    EXPECT_EQ(TaggedValue::Date(2.25).AsDate(), 2.25);
    EXPECT_EQ(TaggedValue::Currency(Scaled64::FromRaw(-1)).AsCurrency().Raw(), -1);
    try {
        (void)l.AsInteger();
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::TypeMismatch);
    }
    EXPECT_THROW((void)TaggedValue().AsDouble(), Error);
    EXPECT_THROW((void)TaggedValue::Double(1.0).AsDate(), Error);
}

TEST(TaggedValue, DateOutsideYears100To9999Overflows) {
    for (double d : {-657434.0 - 1e-6, 2958466.0, std::numeric_limits<double>::quiet_NaN(), 1e300}) {
        try {
            (void)TaggedValue::Date(d);
            ADD_FAILURE() << d;
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), ErrorKind::Overflow);
        }
    }
}

TEST(clsTimes, NewObjectSetsNoTime) {
    const clsTimes t;
    EXPECT_TRUE(t.Raw.IsEmpty());
    EXPECT_EQ(t.VB(), 0.0);
    EXPECT_EQ(t.Int64().Raw(), 0);
    EXPECT_EQ(t.Citect(), 0);
    EXPECT_EQ(t.FormattedString(), "");
}

TEST(clsTimes, IntegerZeroAndPlainFloatSetNoTime) {
    clsTimes t;
    t.Raw = TaggedValue::Integer(0);  // what the merge assigns to clear a time
    EXPECT_EQ(t.VB(), 0.0);
    EXPECT_EQ(t.Int64().Raw(), 0);
    EXPECT_EQ(t.Citect(), 0);
    EXPECT_EQ(t.FormattedString(), "0");

    t.Raw = TaggedValue::Double(38247.5);  // a float that is not a date value
    EXPECT_EQ(t.VB(), 0.0);
    EXPECT_EQ(t.Int64().Raw(), 0);
    EXPECT_EQ(t.Citect(), 0);
    EXPECT_EQ(t.FormattedString(), "38247.5");
}

TEST(clsTimes, ViewsOfTheCitectZeroPoint) {
    clsTimes fromCitect;
    fromCitect.Raw = TaggedValue::Long(0);
    EXPECT_EQ(fromCitect.VB(), 25569.0);
    EXPECT_EQ(fromCitect.Int64().Raw(), kCitectZeroTicks);
    EXPECT_EQ(fromCitect.Citect(), 0);
    EXPECT_EQ(fromCitect.FormattedString(), "0");

    clsTimes fromTicks;
    fromTicks.Raw = TaggedValue::Currency(Scaled64::FromRaw(kCitectZeroTicks));
    EXPECT_EQ(fromTicks.Citect(), 0);
    EXPECT_EQ(fromTicks.VB(), 25569.0);
    EXPECT_EQ(fromTicks.Int64().Raw(), kCitectZeroTicks);
    EXPECT_EQ(fromTicks.FormattedString(), "116444736000000000");

    // Views follow Raw on every read.
    fromTicks.Raw = TaggedValue::Currency(Scaled64::FromRaw(kCitectZeroTicks + 15000000));
    EXPECT_EQ(fromTicks.Citect(), 2);
    fromTicks.Raw = fromCitect.Raw;
    EXPECT_EQ(fromTicks.FormattedString(), "0");
}

TEST(clsTimes, DateValueViewsAndText) {
    clsTimes t;
    t.Raw = TaggedValue::Date(0.0);
    EXPECT_EQ(t.Int64().Raw(), 94353120000000000);
    EXPECT_THROW((void)t.Citect(), Error);

    struct Case {
        double d;
        const char* text;
    };
    const Case cases[] = {
        {38247.0 + 24330.0 / 86400.0, "2004-09-17 06:45:30"},
        {38247.0, "2004-09-17"},
        {24330.0 / 86400.0, "06:45:30"},
        {0.0, "00:00:00"},
        {-0.25, "1899-12-29 18:00:00"},
        {-657434.0, "0100-01-01"},
    };
    for (const auto& c : cases) {
        t.Raw = TaggedValue::Date(c.d);
        EXPECT_EQ(t.FormattedString(), c.text) << c.d;
    }
    t.Raw = TaggedValue::Long(-5);
    EXPECT_EQ(t.FormattedString(), "-5");
    t.Raw = TaggedValue::Integer(-32768);
    EXPECT_EQ(t.FormattedString(), "-32768");
    t.Raw = TaggedValue::Currency(Scaled64::FromRaw(-3));
    EXPECT_EQ(t.FormattedString(), "-00003");
}

}  // namespace
}  // namespace jw
