// One instant, held in whatever encoding it was read (Raw), and its views.
//
// Encodings (no time-zone or daylight-saving shift anywhere):
//   Citect time  "Long"      int32 seconds since 1970-01-01 00:00:00
//   Int64 time   "Currency"  int64 100-ns ticks since 1601-01-01 00:00:00
//   date value   "Date"      double days since 1899-12-30 00:00:00
// The views are computed on every read; nothing is cached.  Conversion
// failures (overflow) are raised as jw::Error.
#pragma once

#include <cstdint>
#include <string>

#include "time/Scaled64.h"
#include "time/TaggedValue.h"

namespace jw {

class clsTimes {
public:
    TaggedValue Raw;  // empty in a new object

    double VB() const;               // ToVB(Raw)
    Scaled64 Int64() const;          // ToInt64(Raw, 0)
    std::int32_t Citect() const;     // ToCitect(Raw)
    std::string FormattedString() const;
};

}  // namespace jw
