// Master files of every trend version: the master header and the file-header
// records behind it, loaded from arbitrary bytes and saved again.
//
// Properties:
//  - a file shorter than the master header is refused (InvalidData), never read;
//  - Load then Save gives back the very bytes read (header and every record);
//  - Load of the saved file gives the same members again (load->save->load);
//  - a record the file ends inside is refused and leaves members and position alone;
//  - a Version without a record layout reads and writes nothing;
//  - a Save that fails (Version out of int16, a record that does not fit
//    another version's layout) writes nothing and keeps the position.
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "formats/BinaryFile.h"
#include "formats/clsHSTHeader.h"
#include "formats/clsHSTMaster.h"
#include "time/Errors.h"

namespace {

using namespace fuzzsupport;
using jw::BinaryFile;
using jw::clsHSTHeader;
using jw::clsHSTMaster;
using jw::ErrorKind;

// Enough records to cover every path; more only cost time.
constexpr std::size_t kMaxRecords = 12;

bool SameMaster(const clsHSTMaster& a, const clsHSTMaster& b) {
    return a.Title == b.Title && a.ID == b.ID && a.FileType == b.FileType && a.Version == b.Version &&
           a.Mode == b.Mode && a.History == b.History && a.nFiles == b.nFiles && a.NextFile == b.NextFile &&
           a.AddOn == b.AddOn && a.Alignment1 == b.Alignment1 && a.Alignment2 == b.Alignment2;
}

bool SameRecord(clsHSTHeader& a, clsHSTHeader& b) {
    return a.Name == b.Name && a.ID == b.ID && a.FileType == b.FileType && a.Version == b.Version &&
           a.StartEvNo == b.StartEvNo && a.LogName == b.LogName && a.Mode == b.Mode && a.Area == b.Area &&
           a.Priv == b.Priv && a.HistoryType == b.HistoryType && a.SamplePeriod == b.SamplePeriod &&
           a.SamplePeriodRaw == b.SamplePeriodRaw && a.sEngUnits == b.sEngUnits && a.Format == b.Format &&
           a.DataLength == b.DataLength && a.FilePointer == b.FilePointer && a.EndEvNo == b.EndEvNo &&
           a.Alignment1 == b.Alignment1 && a.Alignment2 == b.Alignment2 && a.StartTime()->Raw == b.StartTime()->Raw &&
           a.EndTime()->Raw == b.EndTime()->Raw;
}

// A record as a value, to see that a failed Load changed nothing.
clsHSTHeader Copy(clsHSTHeader& r) {
    clsHSTHeader c = r;
    c.SetStartTime(std::make_shared<jw::clsTimes>(*r.StartTime()));
    c.SetEndTime(std::make_shared<jw::clsTimes>(*r.EndTime()));
    return c;
}

void ExpectError(const std::function<void()>& step, const char* what, std::initializer_list<ErrorKind> kinds) {
    try {
        step();
    } catch (const jw::Error& e) {
        for (const ErrorKind k : kinds)
            if (e.kind() == k) return;
        Violated(what, __FILE__, __LINE__, std::string("unexpected error kind: ") + e.what());
    }
    Violated(what, __FILE__, __LINE__, "no error");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const fs::path in = Scratch() / "in.HST";
    const fs::path out = Scratch() / "out.HST";
    const fs::path again = Scratch() / "again.HST";
    WriteBytes(in, input);
    std::error_code ec;
    fs::remove(out, ec);
    fs::remove(again, ec);

    BinaryFile file(in, BinaryFile::Mode::ReadOnly);
    clsHSTMaster master;
    if (size < kMasterLength) {
        ExpectError([&] { master.Load(file); }, "a file shorter than a master header is refused",
                    {ErrorKind::InvalidData});
        return 0;
    }
    master.Load(file);
    FUZZ_CHECK(file.Position() == kMasterLength, "position after the master header");
    FUZZ_CHECK(master.Version == Get<std::int16_t>(input, kMasterVersionOffset), "Version is the sign-extended int16");

    const int version = master.Version;
    const int length = MasterRecordLength(version);
    std::vector<clsHSTHeader> records;
    if (length == 0) {
        // No layout: nothing is read and nothing changes.
        clsHSTHeader r;
        r.Name = "untouched";
        r.Load(file, master);
        FUZZ_CHECK(r.Name == "untouched" && file.Position() == kMasterLength, "no layout reads nothing");
    } else {
        const std::size_t whole = (size - kMasterLength) / static_cast<std::size_t>(length);
        const std::size_t count = std::min(whole, kMaxRecords);
        for (std::size_t i = 0; i < count; ++i) {
            records.emplace_back();
            records.back().Load(file, master);
        }
        FUZZ_CHECK(file.Position() == kMasterLength + count * static_cast<std::size_t>(length), "position after records");
        if (count == whole && (size - kMasterLength) % static_cast<std::size_t>(length) != 0) {
            // The file ends inside the next record: refused, nothing changes.
            clsHSTHeader r;
            if (!records.empty()) r = Copy(records.front());
            clsHSTHeader before = Copy(r);
            const std::uint64_t at = file.Position();
            ExpectError([&] { r.Load(file, master); }, "a record the file ends inside is refused",
                        {ErrorKind::InvalidData});
            FUZZ_CHECK(SameRecord(r, before), "a refused record load changes no member");
            FUZZ_CHECK(file.Position() == at, "a refused record load keeps the position");
        }
    }
    file.Close();

    // Save: the same bytes again.
    {
        BinaryFile saved(out, BinaryFile::Mode::CreateNew);
        master.Save(saved);
        FUZZ_CHECK(saved.Position() == kMasterLength, "position after saving the master header");
        for (auto& r : records) r.Save(saved, master);
        if (length == 0) {
            clsHSTHeader r;
            r.StartEvNo = r.EndEvNo = "0";
            r.Save(saved, master);
            FUZZ_CHECK(saved.Position() == kMasterLength, "no layout writes nothing");
        }
        saved.Close();
    }
    const std::string written = ReadBytes(out);
    const std::size_t expectedLength = kMasterLength + records.size() * static_cast<std::size_t>(length);
    FUZZ_CHECK(written.size() == expectedLength, "saved length " + std::to_string(written.size()));
    FUZZ_CHECK(written == input.substr(0, expectedLength), "load then save gives back the bytes read");

    // load -> save -> load: the same members.
    {
        BinaryFile reread(out, BinaryFile::Mode::ReadOnly);
        clsHSTMaster m2;
        m2.Load(reread);
        FUZZ_CHECK(SameMaster(master, m2), "master header members after load->save->load");
        for (auto& r : records) {
            clsHSTHeader r2;
            r2.Load(reread, m2);
            FUZZ_CHECK(SameRecord(r, r2), "record members after load->save->load");
        }
    }

    // Saves that must fail write nothing and keep the position.
    {
        BinaryFile target(again, BinaryFile::Mode::CreateNew);
        const std::string filler(100, 'x');
        target.Write(std::span(reinterpret_cast<const std::uint8_t*>(filler.data()), filler.size()));
        clsHSTMaster wide = master;
        wide.Version = (size & 1) ? 40000 : -40000;
        ExpectError([&] { wide.Save(target); }, "a Version outside int16 is an overflow", {ErrorKind::Overflow});
        FUZZ_CHECK(target.Position() == filler.size(), "a refused master save keeps the position");

        // A record saved under another version's layout: it fits or nothing is written.
        clsHSTMaster other = master;
        other.Version = static_cast<int>(size % 9) - 1;  // -1 .. 7
        for (auto& r : records) {
            const std::uint64_t at = target.Position();
            const std::uint64_t lengthBefore = target.Length();
            try {
                r.Save(target, other);
                FUZZ_CHECK(target.Position() == at + static_cast<std::uint64_t>(MasterRecordLength(other.Version)),
                           "a saved record advances by its layout's length");
            } catch (const jw::Error& e) {
                FUZZ_CHECK(target.Position() == at && target.Length() == lengthBefore,
                           std::string("a refused record save writes nothing: ") + e.what());
            }
        }
        target.Close();
        FUZZ_CHECK(ReadBytes(again).substr(0, filler.size()) == filler, "refused saves left earlier bytes alone");
    }
    FUZZ_CHECK(ReadBytes(in) == input, "the input file is unchanged");
    return 0;
}
