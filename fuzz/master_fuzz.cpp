// Master files of every trend version: the master header and the file-header
// records behind it, loaded from arbitrary bytes and saved again.
//
// Properties: a file shorter than the master header is refused; Load then
// Save gives back the very bytes read (header and every whole record), and
// loading and saving those again gives the same bytes (load->save->load is
// stable); a Version without a record layout reads no record.
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "formats/BinaryFile.h"
#include "formats/clsHSTHeader.h"
#include "formats/clsHSTMaster.h"
#include "base/Errors.h"

using namespace fuzzsupport;

namespace {

constexpr std::size_t kMaxRecords = 12;  // enough for every path; more only cost time

// Loads a master and up to `records` records from `in` and saves them to `out`;
// returns how many records were whole, or -1 when the header was refused.
int LoadSave(const fs::path& in, const fs::path& out, std::size_t size) {
    jw::BinaryFile file(in, jw::BinaryFile::Mode::ReadOnly);
    jw::clsHSTMaster master;
    try {
        master.Load(file);
    } catch (const jw::Error& e) {
        FUZZ_CHECK(size < kMasterLength && e.kind() == jw::ErrorKind::InvalidData, e.what());
        return -1;
    }
    FUZZ_CHECK(size >= kMasterLength && file.Position() == kMasterLength, "a whole header is read");
    const std::size_t length = static_cast<std::size_t>(MasterRecordLength(master.Version));
    std::vector<jw::clsHSTHeader> records(std::min(length ? (size - kMasterLength) / length : 1, kMaxRecords));
    for (auto& r : records) r.Load(file, master);
    FUZZ_CHECK(length || file.Position() == kMasterLength, "a Version without a layout reads no record");
    if (!length) records.clear();
    jw::BinaryFile saved(out, jw::BinaryFile::Mode::CreateNew);
    master.Save(saved);
    for (auto& r : records) r.Save(saved, master);
    return static_cast<int>(records.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const fs::path in = Scratch() / "in.HST", once = Scratch() / "once.HST", twice = Scratch() / "twice.HST";
    std::error_code ec;
    fs::remove(once, ec), fs::remove(twice, ec);
    WriteBytes(in, input);
    const int records = LoadSave(in, once, size);
    if (records < 0) return 0;
    const std::string saved = ReadBytes(once);
    const int version = Get<std::int16_t>(input, kVersionOffset);
    FUZZ_CHECK(saved.size() == kMasterLength + static_cast<std::size_t>(records * MasterRecordLength(version)),
               "saved length " + std::to_string(saved.size()));
    FUZZ_CHECK(saved == input.substr(0, saved.size()), "load then save gives back the bytes read");
    FUZZ_CHECK(LoadSave(once, twice, saved.size()) == records && ReadBytes(twice) == saved, "load->save->load is stable");
    FUZZ_CHECK(ReadBytes(in) == input, "the input file is unchanged");
    return 0;
}
