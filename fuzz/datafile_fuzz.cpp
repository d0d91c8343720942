// Data files of every layout: the header and runs of samples, read from
// arbitrary bytes over arbitrary (also hostile) sample ranges.
//
// Input: three little-endian int32 (first and last sample number of a run;
// the third is not used), then the bytes of the data file.
//
// Properties: Load refuses only a file too short for the version field or
// for the header its version selects; a known version gives its header size
// and leaves the position there, without a notice; a run of samples is read
// exactly when it is a run (1 <= first <= last) the file holds whose start
// offset fits 32 bits, and its values are the bytes at HeaderSize +
// (k - 1) * SampleSize; any other run is an error, never a crash, a huge
// allocation or a read past the file.
#include <cstdint>
#include <limits>
#include <string>
#include <variant>

#include "FuzzSupport.h"
#include "formats/BinaryFile.h"
#include "formats/Notices.h"
#include "formats/clsDataFile.h"
#include "base/Errors.h"

using namespace fuzzsupport;

namespace {

// A run of T read back: first..last, the values the bytes at HeaderSize + (k - 1) * sizeof(T).
template <class T>
void CheckValues(const jw::SampleRun& got, const std::string& bytes, std::int64_t header, std::int32_t first, std::int32_t last) {
    const auto* a = std::get_if<jw::IndexedArray<T>>(&got);
    FUZZ_CHECK(a && a->size() == static_cast<std::size_t>(last - first + 1) && a->lo() == first &&
                   std::memcmp(&(*a)(first), bytes.data() + header + (std::int64_t{first} - 1) * sizeof(T), a->size() * sizeof(T)) == 0,
               "a run comes back whole, as stored");
}

void CheckRun(jw::clsDataFile& df, jw::BinaryFile& file, const std::string& bytes, std::int32_t first, std::int32_t last) {
    const std::int64_t header = df.header()->HeaderSize, s = df.SampleSize();
    const std::int64_t start = (std::int64_t{first} - 1) * s + header;
    const bool readable = first >= 1 && last >= first && std::int64_t{last} * s + header <= std::int64_t(bytes.size()) &&
                          start <= std::numeric_limits<std::int32_t>::max();
    const std::string run = std::to_string(first) + ".." + std::to_string(last);  // for the messages
    jw::SampleRun got;
    try {
        got = df.GetSamples(file, first, last);
    } catch (const jw::Error& e) {
        FUZZ_CHECK(!readable, "a run the file holds is read: " + run + ": " + e.what());
        return;
    }
    FUZZ_CHECK(readable, "only a run the file holds is read: " + run);
    if (s == 2) CheckValues<std::int16_t>(got, bytes, header, first, last);
    if (s == 8) CheckValues<double>(got, bytes, header, first, last);
    if (s > 8) FUZZ_CHECK(std::holds_alternative<std::monostate>(got), "event runs are kept apart");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::string bytes = size > 12 ? input.substr(12) : std::string();
    const fs::path path = Scratch() / "TREND.000";
    WriteBytes(path, bytes);
    int notices = 0;
    jw::ScopedNoticeSink sink([&](std::string_view, jw::NoticeMark) { ++notices; });

    jw::BinaryFile file(path, jw::BinaryFile::Mode::ReadOnly);
    const std::int16_t version = Get<std::int16_t>(bytes, kVersionOffset);
    const std::size_t length = static_cast<std::size_t>(DataHeaderLength(version));
    jw::clsDataFile df;
    try {
        df.Load(file);
    } catch (const jw::Error& e) {
        FUZZ_CHECK(e.kind() == jw::ErrorKind::InvalidData && (bytes.size() < kVersionOffset + 2 || bytes.size() < length),
                   std::string("only a file too short for its header is refused: ") + e.what());
        return 0;
    }
    FUZZ_CHECK(length ? df.header()->Version == version && df.header()->HeaderSize == std::int32_t(length) &&
                            file.Position() == length && notices == 0
                      : df.header()->HeaderSize == 0 && notices == 1,
               "a known version: its header size, the position after it, no notice; else one notice and no header");
    const std::int32_t first = Get<std::int32_t>(input, 0), last = Get<std::int32_t>(input, 4);
    const std::int32_t held = static_cast<std::int32_t>(
        std::max<std::int64_t>(0, (std::int64_t(bytes.size()) - df.header()->HeaderSize) / df.SampleSize()));
    for (const auto& r : {std::pair{first, last}, {1, held}, {held, held + 1}, {0, 0}, {INT32_MIN, INT32_MAX}, {1, INT32_MAX}})
        CheckRun(df, file, bytes, r.first, r.second);
    return 0;
}
