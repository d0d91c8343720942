#include "formats/clsHSTMaster.h"

#include <array>
#include <string>

#include "formats/BinaryFile.h"
#include "formats/TrendDefs.h"
#include "base/Checked.h"
#include "base/Errors.h"

namespace jw {

using TrendDefs::HSTMasterLayout;
using TrendDefs::kMasterLength;

void clsHSTMaster::Load(BinaryFile& file) {
    std::array<std::uint8_t, kMasterLength> bytes{};
    const std::size_t got = file.ReadAt(0, bytes);
    if (got < bytes.size())
        Fail(ErrorKind::InvalidData, file.QuotedName() + " is not a history master file: it holds " +
                                         std::to_string(got) + " bytes, fewer than the " +
                                         std::to_string(kMasterLength) + " of a master header");
    TrendDefs::HSTMasterRec rec;
    TrendDefs::Decode(HSTMasterLayout, bytes, rec);
    Title = std::move(rec.Title);
    ID = std::move(rec.ID);
    FileType = rec.FileType;
    Version = rec.Version;  // sign-extended: FF FF is -1
    Alignment1 = std::move(rec.Alignment1);
    Mode = rec.Mode;
    History = rec.History;
    nFiles = rec.nFiles;
    NextFile = rec.NextFile;
    AddOn = rec.AddOn;
    Alignment2 = std::move(rec.Alignment2);
    file.Seek(kMasterLength);
}

void clsHSTMaster::Save(BinaryFile& file) const {
    TrendDefs::HSTMasterRec rec;
    rec.Title = Title;
    rec.ID = ID;
    rec.FileType = FileType;
    rec.Version = CheckedNarrow<std::int16_t>(Version, "master header Version for " + file.QuotedName());
    rec.Alignment1 = Alignment1;
    rec.Mode = Mode;
    rec.History = History;
    rec.nFiles = nFiles;
    rec.NextFile = NextFile;
    rec.AddOn = AddOn;
    rec.Alignment2 = Alignment2;
    std::array<std::uint8_t, kMasterLength> bytes{};
    TrendDefs::Encode(HSTMasterLayout, rec, bytes);
    // The whole record is built: only now is the file touched.  A handle
    // that refuses the write keeps its position.
    const std::uint64_t before = file.Position();
    file.Seek(0);
    try {
        file.Write(bytes);
    } catch (...) {
        file.Seek(before);
        throw;
    }
}

}  // namespace jw
