// Data files of every layout: the header and runs of samples, read from
// arbitrary bytes over arbitrary (also hostile) sample ranges.
//
// Input: three little-endian int32 (first and last sample number of a run,
// a sample number to look up), then the bytes of the data file.
//
// Properties:
//  - Load refuses a file too short for the version field or for the header
//    its version selects (InvalidData); a version outside 0..6 gives exactly
//    one notice with the invalid-file text and leaves HeaderSize 0; otherwise
//    Version, HeaderSize, HistoryType, FileSize and the start time are those
//    of the bytes at the layout's offsets, and the position is HeaderSize;
//  - LoadQuiet accepts exactly what Load loads, and shows nothing;
//  - a run of samples is read exactly when it is a run (1 <= first <= last)
//    that the file holds and whose start offset fits 32 bits; its values are
//    the bytes at HeaderSize + (k - 1) * SampleSize; any other run is an
//    error of kind Overflow, SubscriptOutOfRange or InvalidData, never a
//    crash, a huge allocation or a read past the file;
//  - looking up a sample outside the run read is a subscript error.
#include <cstdint>
#include <cstring>
#include <variant>
#include <limits>
#include <string>

#include "FuzzSupport.h"
#include "formats/BinaryFile.h"
#include "formats/clsDataFile.h"
#include "formats/clsDataHeader.h"
#include "time/Errors.h"

namespace {

using namespace fuzzsupport;
using jw::BinaryFile;
using jw::ErrorKind;

int HistoryTypeOffset(int v) { return v == 6 ? 248 : (v == 4 || v == 5) ? 232 : 184; }
int StartTimeOffset(int v) { return v == 6 ? 266 : (v == 4 || v == 5) ? 250 : 202; }
bool Wide(int v) { return v == 4 || v == 6; }

// Bytes per sample by version and history type (4: events).
int SampleBytes(int v, int historyType) {
    const bool events = historyType == 4;
    if (Wide(v)) return events ? 16 : 8;
    return events ? 12 : 2;
}

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Reads the run and checks it against the bytes, or checks that it is refused.
void CheckRun(jw::clsDataFile& df, BinaryFile& file, const std::string& bytes, std::int64_t headerSize, int s,
              std::int32_t first, std::int32_t last, std::int32_t probe) {
    const std::int64_t startOffset = (static_cast<std::int64_t>(first) - 1) * s + headerSize;
    const bool offsetFits = startOffset >= std::numeric_limits<std::int32_t>::min() &&
                            startOffset <= std::numeric_limits<std::int32_t>::max();
    const bool isRun = first >= 1 && last >= first;
    const bool held = isRun && static_cast<std::int64_t>(last) * s + headerSize <= static_cast<std::int64_t>(bytes.size());
    const bool readable = isRun && held && offsetFits;
    const std::string run = std::to_string(first) + ".." + std::to_string(last) + " of " + std::to_string(bytes.size()) +
                            " bytes, header " + std::to_string(headerSize) + ", sample " + std::to_string(s);

    jw::SampleRun got;
    try {
        got = df.GetSamples(file, first, last);
    } catch (const jw::Error& e) {
        FUZZ_CHECK(!readable, "a run the file holds is read: " + run + ": " + e.what());
        FUZZ_CHECK(e.kind() == ErrorKind::Overflow || e.kind() == ErrorKind::SubscriptOutOfRange ||
                       e.kind() == ErrorKind::InvalidData,
                   std::string("a refused run is an overflow, subscript or truncation error: ") + e.what());
        return;
    }
    FUZZ_CHECK(readable, "only a run the file holds is read: " + run);

    const std::size_t count = static_cast<std::size_t>(last - first + 1);
    auto at = [&](std::int32_t k) {
        return static_cast<std::size_t>(headerSize + (static_cast<std::int64_t>(k) - 1) * s);
    };
    switch (s) {
        case 2: {
            const auto* a = std::get_if<jw::IndexedArray<std::int16_t>>(&got);
            FUZZ_CHECK(a && a->size() == count && a->lo() == first, "16-bit run returned whole: " + run);
            for (std::int32_t k = first; k <= last; ++k)
                FUZZ_CHECK((*a)(k) == Get<std::int16_t>(bytes, at(k)), "16-bit sample " + std::to_string(k));
            break;
        }
        case 8: {
            const auto* a = std::get_if<jw::IndexedArray<double>>(&got);
            FUZZ_CHECK(a && a->size() == count && a->lo() == first, "64-bit run returned whole: " + run);
            for (std::int32_t k = first; k <= last; ++k)
                FUZZ_CHECK(SameBits((*a)(k), Get<double>(bytes, at(k))), "64-bit sample " + std::to_string(k));
            break;
        }
        case 12: {
            FUZZ_CHECK(std::holds_alternative<std::monostate>(got), "event runs return nothing");
            const auto& a = df.EventSamples32();
            FUZZ_CHECK(a.size() == count && a.lo() == first, "32-bit event run: " + run);
            for (std::int32_t k = first; k <= last; ++k) {
                const std::size_t o = at(k);
                FUZZ_CHECK(a(k).Value == Get<std::int32_t>(bytes, o) && a(k).Time == Get<std::int32_t>(bytes, o + 4) &&
                               a(k).Milliseconds == Get<std::int32_t>(bytes, o + 8),
                           "32-bit event " + std::to_string(k));
            }
            break;
        }
        case 16: {
            FUZZ_CHECK(std::holds_alternative<std::monostate>(got), "event runs return nothing");
            const auto& a = df.EventSamples64();
            FUZZ_CHECK(a.size() == count && a.lo() == first, "64-bit event run: " + run);
            for (std::int32_t k = first; k <= last; ++k) {
                const std::size_t o = at(k);
                FUZZ_CHECK(SameBits(a(k).Value, Get<double>(bytes, o)) && a(k).Time == Get<std::int64_t>(bytes, o + 8),
                           "64-bit event " + std::to_string(k));
            }
            break;
        }
        default: Violated("a known sample size", __FILE__, __LINE__, std::to_string(s));
    }

    // Looking up one sample: inside the run it is there, outside a subscript error.
    const bool inside = probe >= first && probe <= last;
    const int historyType = df.header()->HistoryType;
    try {
        const jw::TaggedValue v = df.SampleValue(probe);
        const std::int64_t t = df.SampleTime(probe);
        if (historyType == 4) {
            FUZZ_CHECK(inside, "an event outside the run is not answered");
            if (s == 16) FUZZ_CHECK(t == Get<std::int64_t>(bytes, at(probe) + 8), "event time as stored");
        } else {
            FUZZ_CHECK(t == 0, "periodic samples have no time");
            if (historyType == 0) FUZZ_CHECK(inside, "a periodic sample outside the run is not answered");
            else FUZZ_CHECK(v.IsEmpty(), "history types other than 0 and 4 give no value");
        }
    } catch (const jw::Error& e) {
        FUZZ_CHECK(!inside || (historyType == 4 && s == 12 && e.kind() == ErrorKind::Overflow),
                   std::string("a sample inside the run is answered: ") + e.what());
        FUZZ_CHECK(e.kind() == ErrorKind::SubscriptOutOfRange || e.kind() == ErrorKind::Overflow,
                   std::string("a lookup outside the run is a subscript error: ") + e.what());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    constexpr std::size_t kPrefix = 12;
    const std::int32_t first = Get<std::int32_t>(input, 0);
    const std::int32_t last = Get<std::int32_t>(input, 4);
    const std::int32_t probe = Get<std::int32_t>(input, 8);
    const std::string bytes = size > kPrefix ? input.substr(kPrefix) : std::string();
    const fs::path path = Scratch() / "TREND.000";
    WriteBytes(path, bytes);

    NoticeRecorder notices;
    BinaryFile file(path, BinaryFile::Mode::ReadOnly);
    const std::int16_t version = Get<std::int16_t>(bytes, kDataVersionOffset);
    const int headerLength = DataHeaderLength(version);
    const bool known = version >= 0 && version <= 6;

    jw::clsDataFile df;
    bool loaded = false;
    try {
        df.Load(file);
        loaded = true;
    } catch (const jw::Error& e) {
        FUZZ_CHECK(e.kind() == ErrorKind::InvalidData, std::string("a short file is InvalidData: ") + e.what());
        FUZZ_CHECK(bytes.size() < kDataVersionOffset + 2 || (known && bytes.size() < static_cast<std::size_t>(headerLength)),
                   "only a file too short for its header is refused");
    }

    jw::clsDataHeader quiet;
    std::string why;
    {
        BinaryFile again(path, BinaryFile::Mode::ReadOnly);
        const std::size_t shown = notices.texts.size();
        const bool ok = quiet.LoadQuiet(again, &why);
        FUZZ_CHECK(notices.texts.size() == shown, "LoadQuiet shows nothing");
        FUZZ_CHECK(ok == (loaded && known), "LoadQuiet accepts what Load loads: " + why);
        FUZZ_CHECK(ok || !why.empty(), "a refusal says why");
    }
    if (!loaded) return 0;

    const jw::clsDataHeader& h = *df.header();
    FUZZ_CHECK(h.FileSize == static_cast<std::int32_t>(bytes.size()), "FileSize is the file's length");
    if (!known) {
        FUZZ_CHECK(notices.texts.size() == 1 && notices.texts[0] == jw::InvalidTrendFileText(version) &&
                       notices.marks[0] == jw::NoticeMark::Error,
                   "one invalid-file notice with the error mark");
        FUZZ_CHECK(notices.texts[0].find("Version = " + std::to_string(version)) != std::string::npos,
                   "the notice names the version");
        FUZZ_CHECK(h.HeaderSize == 0 && h.Version == 0 && h.HistoryType == 0, "a rejected header stays fresh");
    } else {
        FUZZ_CHECK(notices.texts.empty(), "a valid header shows nothing");
        FUZZ_CHECK(h.Version == version && h.HeaderSize == headerLength, "version and header size");
        FUZZ_CHECK(file.Position() == static_cast<std::uint64_t>(headerLength), "position after Load is HeaderSize");
        FUZZ_CHECK(h.HistoryType == Get<std::int16_t>(bytes, static_cast<std::size_t>(HistoryTypeOffset(version))),
                   "HistoryType at its offset");
        jw::clsDataHeader& mh = *df.header();
        const jw::TaggedValue& raw = mh.StartTime()->Raw;
        if (Wide(version))
            FUZZ_CHECK(raw.kind() == jw::TaggedValue::Kind::Currency &&
                           raw.AsCurrency().Raw() == Get<std::int64_t>(bytes, static_cast<std::size_t>(StartTimeOffset(version))),
                       "64-bit start time as stored");
        else
            FUZZ_CHECK(raw.kind() == jw::TaggedValue::Kind::Long &&
                           raw.AsLong() == Get<std::int32_t>(bytes, static_cast<std::size_t>(StartTimeOffset(version))),
                       "32-bit start time as stored");
    }

    // A rejected header reads from byte 0 as 16-bit samples.
    const int s = SampleBytes(h.Version, h.HistoryType);
    notices.texts.clear();
    FUZZ_CHECK(df.SampleSize() == s, "sample size by version and history type");
    FUZZ_CHECK(notices.texts.empty(), "a known version has a sample size without notice");

    // Samples before any run: nothing is loaded.
    try {
        (void)df.SampleValue(1);
        FUZZ_CHECK(h.HistoryType != 0 && h.HistoryType != 4, "nothing is loaded before a run");
    } catch (const jw::Error& e) {
        FUZZ_CHECK(e.kind() == ErrorKind::SubscriptOutOfRange, std::string("subscript error: ") + e.what());
    }

    const std::int64_t headerSize = h.HeaderSize;
    const std::int32_t held = static_cast<std::int32_t>(
        std::max<std::int64_t>(0, (static_cast<std::int64_t>(bytes.size()) - headerSize) / s));
    CheckRun(df, file, bytes, headerSize, s, first, last, probe);
    // Hostile ranges around the end of the file and the ends of the 32-bit range.
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    const std::int32_t ranges[][2] = {{1, held},         {held, held + 1}, {held + 1, held + 1}, {0, 0},
                                      {kMin, kMax},      {1, kMax},        {kMax, kMax},         {kMax / s, kMax / s},
                                      {last, first},     {first, first}};
    for (const auto& r : ranges) CheckRun(df, file, bytes, headerSize, s, r[0], r[1], r[0]);
    FUZZ_CHECK(notices.texts.empty(), "sample runs of a known layout show no notice");
    return 0;
}
