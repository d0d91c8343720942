// Every reader of trend files over the same arbitrary bytes: as a master
// (header and file-header records) and as a data file (header and runs of
// samples).
//
// Properties: a master shorter than its header is refused; load then save
// gives back the bytes read, and a Version without a record layout reads no
// record.  A data file is refused only when too short for its version field
// or the header its version selects; a known version gives its header size
// without a notice; a run of samples is read exactly when the file holds it
// (1 <= first <= last) and its start offset fits 32 bits, and its values are
// the bytes at HeaderSize + (k - 1) * SampleSize; any other run (hostile
// ranges, and one taken from the last eight bytes) is an error, never a
// crash, a huge allocation or a read past the file.
#include <cstdint>
#include <limits>
#include <string>
#include <variant>
#include <vector>

#include "FuzzSupport.h"
#include "base/Errors.h"
#include "formats/BinaryFile.h"
#include "formats/Notices.h"
#include "formats/clsDataFile.h"
#include "formats/clsHSTHeader.h"
#include "formats/clsHSTMaster.h"

using namespace fuzzsupport;

namespace {

void ReadMaster(const fs::path& in, const std::string& bytes) {
    jw::BinaryFile file(in, jw::BinaryFile::Mode::ReadOnly);
    jw::clsHSTMaster master;
    try {
        master.Load(file);
    } catch (const jw::Error& e) {
        FUZZ_CHECK(bytes.size() < kMasterLength && e.kind() == jw::ErrorKind::InvalidData, e.what());
        return;
    }
    const std::size_t length = static_cast<std::size_t>(MasterRecordLength(master.Version));
    std::vector<jw::clsHSTHeader> records(length ? std::min<std::size_t>((bytes.size() - kMasterLength) / length, 12) : 1);
    for (auto& r : records) r.Load(file, master);
    FUZZ_CHECK(length || file.Position() == kMasterLength, "a Version without a layout reads no record");
    if (!length) records.clear();
    const fs::path out = Scratch() / "saved.HST";
    fs::remove(out);
    {
        jw::BinaryFile saved(out, jw::BinaryFile::Mode::CreateNew);
        master.Save(saved);
        for (auto& r : records) r.Save(saved, master);
    }
    FUZZ_CHECK(ReadBytes(out) == bytes.substr(0, kMasterLength + records.size() * length), "load then save gives back the bytes read");
}

template <class T>
void CheckValues(const jw::SampleRun& got, const std::string& bytes, std::int64_t header, std::int32_t first, std::int32_t last) {
    const auto* a = std::get_if<jw::IndexedArray<T>>(&got);
    FUZZ_CHECK(a && a->size() == static_cast<std::size_t>(last - first + 1) && a->lo() == first &&
                   std::memcmp(&(*a)(first), bytes.data() + header + (std::int64_t{first} - 1) * sizeof(T), a->size() * sizeof(T)) == 0,
               "a run comes back whole, as stored");
}

void ReadRun(jw::clsDataFile& df, jw::BinaryFile& file, const std::string& bytes, std::int32_t first, std::int32_t last) {
    const std::int64_t header = df.header()->HeaderSize, s = df.SampleSize();
    const bool readable = first >= 1 && last >= first && std::int64_t{last} * s + header <= std::int64_t(bytes.size()) &&
                          (std::int64_t{first} - 1) * s + header <= std::numeric_limits<std::int32_t>::max();
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

void ReadDataFile(const fs::path& in, const std::string& bytes) {
    int notices = 0;
    jw::ScopedNoticeSink sink([&](std::string_view, jw::NoticeMark) { ++notices; });
    jw::BinaryFile file(in, jw::BinaryFile::Mode::ReadOnly);
    const std::int16_t version = Get<std::int16_t>(bytes, kVersionOffset);
    const std::size_t length = static_cast<std::size_t>(DataHeaderLength(version));
    jw::clsDataFile df;
    try {
        df.Load(file);
    } catch (const jw::Error& e) {
        FUZZ_CHECK(e.kind() == jw::ErrorKind::InvalidData && (bytes.size() < kVersionOffset + 2 || bytes.size() < length),
                   std::string("only a file too short for its header is refused: ") + e.what());
        return;
    }
    FUZZ_CHECK(length ? df.header()->HeaderSize == std::int32_t(length) && file.Position() == length && notices == 0
                      : df.header()->HeaderSize == 0 && notices == 1,
               "a known version: its header size, the position after it, no notice; else one notice and no header");
    const std::int32_t held = static_cast<std::int32_t>(
        std::max<std::int64_t>(0, (std::int64_t(bytes.size()) - df.header()->HeaderSize) / df.SampleSize()));
    for (const std::size_t tail = bytes.size() < 8 ? 0 : bytes.size() - 8;
         const auto& r : {std::pair{Get<std::int32_t>(bytes, tail), Get<std::int32_t>(bytes, tail + 4)}, {1, held},
                          {held, held + 1}, {0, 0}, {INT32_MIN, INT32_MAX}, {1, INT32_MAX}})
        ReadRun(df, file, bytes, r.first, r.second);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const fs::path in = Scratch() / "TREND.000";
    WriteBytes(in, bytes);
    ReadMaster(in, bytes), ReadDataFile(in, bytes);
    return 0;
}
