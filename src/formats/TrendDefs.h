// The on-disk trend records, described once as data.
//
// Each record layout is a sequence of fields (name, disk type, width, member);
// offsets are placed by summing widths, so no offset is written by hand, and
// the lengths and a few known offsets are checked at compile time.  Encode and
// Decode walk the table.  Encoding rules for every record: packed,
// little-endian two's-complement integers, IEEE float32 bit for bit, text
// fields of fixed width (read at full width, NULs and blanks kept; written
// left-justified, padded with blanks 0x20 or cut).
//
//   HSTMasterRec                176 bytes at offset 0 of a master file
//   HSTHeaderRecV0/V4/V5/V6     240/432/288/448: Name + file description block
//   DataHeaderRecV0/V4/V5/V6    224/288/272/304: 128-byte prefix + block
//
// Trend version -> layout: 0..3 V0, 4 V4, 5 V5, 6 V6, anything else none.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace jw::TrendDefs {

enum class FieldType : std::uint8_t { Text, Int16, Int32, Int64, Float32 };

// The file description block: the fields a master file's file-header record
// and a data file's header have in common.  Members are wide enough for every
// layout; a layout with a narrower field (int32 event numbers and times under
// V0 and V5) narrows on Encode (overflow error) and sign-extends on Decode.
struct FileDescBlock {
    std::string ID;
    std::int16_t FileType = 0;
    std::int16_t Version = 0;
    std::int64_t StartEvNo = 0;
    std::string LogName;
    std::int32_t Mode = 0;
    std::int16_t Area = 0;
    std::int16_t Priv = 0;
    std::int16_t HistoryType = 0;
    std::int32_t SamplePeriod = 0;
    std::string sEngUnits;
    std::int32_t Format = 0;
    std::int64_t StartTime = 0;  // Citect seconds (V0, V5) or Int64 ticks (V4, V6)
    std::int64_t EndTime = 0;
    std::int32_t DataLength = 0;
    std::int32_t FilePointer = 0;
    std::int64_t EndEvNo = 0;
    std::string Alignment1;  // 2 bytes at the end (V0, V5) or 12 after StartEvNo (V4, V6)
    std::string Alignment2;  // 6 bytes at the end (V4, V6)
};

struct HSTMasterRec {
    std::string Title;
    std::string ID;
    std::int16_t FileType = 0;
    std::int16_t Version = 0;
    std::string Alignment1;
    std::int32_t Mode = 0;
    std::int16_t History = 0;
    std::int16_t nFiles = 0;
    std::int16_t NextFile = 0;
    std::int16_t AddOn = 0;
    std::string Alignment2;
};

struct HSTHeaderRec {
    std::string Name;
    FileDescBlock Block;
};

struct DataHeaderRec {
    std::string Title;
    float RawZero = 0, RawFull = 0, EngZero = 0, EngFull = 0;
    FileDescBlock Block;
};

template <class Rec>
using MemberRef = std::variant<std::string Rec::*, std::int16_t Rec::*, std::int32_t Rec::*,
                               std::int64_t Rec::*, float Rec::*>;

template <class Rec>
struct Field {
    std::string_view Name;
    FieldType Type;
    std::uint16_t Width;
    std::uint16_t Offset;  // from the start of the record or block; placed by Place()
    MemberRef<Rec> Member;
};

template <class Rec>
constexpr Field<Rec> Text(std::string_view name, std::uint16_t width, std::string Rec::*m) {
    return {name, FieldType::Text, width, 0, m};
}
template <class Rec, class M>
constexpr Field<Rec> Int16(std::string_view name, M Rec::*m) { return {name, FieldType::Int16, 2, 0, m}; }
template <class Rec, class M>
constexpr Field<Rec> Int32(std::string_view name, M Rec::*m) { return {name, FieldType::Int32, 4, 0, m}; }
template <class Rec, class M>
constexpr Field<Rec> Int64(std::string_view name, M Rec::*m) { return {name, FieldType::Int64, 8, 0, m}; }
template <class Rec>
constexpr Field<Rec> Float32(std::string_view name, float Rec::*m) { return {name, FieldType::Float32, 4, 0, m}; }

// Gives every field its offset: the sum of the widths before it.
template <class Rec, std::size_t N>
constexpr std::array<Field<Rec>, N> Place(std::array<Field<Rec>, N> fields) {
    std::uint16_t offset = 0;
    for (auto& f : fields) {
        f.Offset = offset;
        offset = static_cast<std::uint16_t>(offset + f.Width);
    }
    return fields;
}

template <class Rec>
constexpr std::uint16_t LengthOf(std::span<const Field<Rec>> fields) {
    std::uint16_t n = 0;
    for (const auto& f : fields) n = static_cast<std::uint16_t>(n + f.Width);
    return n;
}

template <class Rec, std::size_t N>
constexpr std::uint16_t OffsetOf(const std::array<Field<Rec>, N>& fields, std::string_view name) {
    for (const auto& f : fields)
        if (f.Name == name) return f.Offset;
    return 0xFFFF;
}

using B = FileDescBlock;

// --- The file description block, one table per version --------------------

inline constexpr auto BlockV0 = Place(std::array{
    Text<B>("ID", 8, &B::ID), Int16("FileType", &B::FileType), Int16("Version", &B::Version),
    Int32("StartEvNo", &B::StartEvNo), Text<B>("LogName", 32, &B::LogName), Int32("Mode", &B::Mode),
    Int16("Area", &B::Area), Int16("Priv", &B::Priv), Int16("HistoryType", &B::HistoryType),
    Int32("SamplePeriod", &B::SamplePeriod), Text<B>("sEngUnits", 8, &B::sEngUnits), Int32("Format", &B::Format),
    Int32("StartTime", &B::StartTime), Int32("EndTime", &B::EndTime), Int32("DataLength", &B::DataLength),
    Int32("FilePointer", &B::FilePointer), Int32("EndEvNo", &B::EndEvNo), Text<B>("Alignment1", 2, &B::Alignment1)});

inline constexpr auto BlockV5 = Place(std::array{
    Text<B>("ID", 8, &B::ID), Int16("FileType", &B::FileType), Int16("Version", &B::Version),
    Int32("StartEvNo", &B::StartEvNo), Text<B>("LogName", 80, &B::LogName), Int32("Mode", &B::Mode),
    Int16("Area", &B::Area), Int16("Priv", &B::Priv), Int16("HistoryType", &B::HistoryType),
    Int32("SamplePeriod", &B::SamplePeriod), Text<B>("sEngUnits", 8, &B::sEngUnits), Int32("Format", &B::Format),
    Int32("StartTime", &B::StartTime), Int32("EndTime", &B::EndTime), Int32("DataLength", &B::DataLength),
    Int32("FilePointer", &B::FilePointer), Int32("EndEvNo", &B::EndEvNo), Text<B>("Alignment1", 2, &B::Alignment1)});

inline constexpr auto BlockV4 = Place(std::array{
    Text<B>("ID", 8, &B::ID), Int16("FileType", &B::FileType), Int16("Version", &B::Version),
    Int64("StartEvNo", &B::StartEvNo), Text<B>("Alignment1", 12, &B::Alignment1), Text<B>("LogName", 64, &B::LogName),
    Int32("Mode", &B::Mode), Int16("Area", &B::Area), Int16("Priv", &B::Priv), Int16("HistoryType", &B::HistoryType),
    Int32("SamplePeriod", &B::SamplePeriod), Text<B>("sEngUnits", 8, &B::sEngUnits), Int32("Format", &B::Format),
    Int64("StartTime", &B::StartTime), Int64("EndTime", &B::EndTime), Int32("DataLength", &B::DataLength),
    Int32("FilePointer", &B::FilePointer), Int64("EndEvNo", &B::EndEvNo), Text<B>("Alignment2", 6, &B::Alignment2)});

inline constexpr auto BlockV6 = Place(std::array{
    Text<B>("ID", 8, &B::ID), Int16("FileType", &B::FileType), Int16("Version", &B::Version),
    Int64("StartEvNo", &B::StartEvNo), Text<B>("Alignment1", 12, &B::Alignment1), Text<B>("LogName", 80, &B::LogName),
    Int32("Mode", &B::Mode), Int16("Area", &B::Area), Int16("Priv", &B::Priv), Int16("HistoryType", &B::HistoryType),
    Int32("SamplePeriod", &B::SamplePeriod), Text<B>("sEngUnits", 8, &B::sEngUnits), Int32("Format", &B::Format),
    Int64("StartTime", &B::StartTime), Int64("EndTime", &B::EndTime), Int32("DataLength", &B::DataLength),
    Int32("FilePointer", &B::FilePointer), Int64("EndEvNo", &B::EndEvNo), Text<B>("Alignment2", 6, &B::Alignment2)});

// --- Record heads (the fields before the block) ---------------------------

using M = HSTMasterRec;
inline constexpr auto MasterFields = Place(std::array{
    Text<M>("Title", 128, &M::Title), Text<M>("ID", 8, &M::ID), Int16("FileType", &M::FileType),
    Int16("Version", &M::Version), Text<M>("Alignment1", 4, &M::Alignment1), Int32("Mode", &M::Mode),
    Int16("History", &M::History), Int16("nFiles", &M::nFiles), Int16("NextFile", &M::NextFile),
    Int16("AddOn", &M::AddOn), Text<M>("Alignment2", 20, &M::Alignment2)});

using H = HSTHeaderRec;
inline constexpr auto HeaderHeadShort = Place(std::array{Text<H>("Name", 144, &H::Name)});  // V0, V5
inline constexpr auto HeaderHeadLong = Place(std::array{Text<H>("Name", 272, &H::Name)});   // V4, V6

using D = DataHeaderRec;
inline constexpr auto DataPrefix = Place(std::array{
    Text<D>("Title", 112, &D::Title), Float32("RawZero", &D::RawZero), Float32("RawFull", &D::RawFull),
    Float32("EngZero", &D::EngZero), Float32("EngFull", &D::EngFull)});

// --- Layouts ---------------------------------------------------------------

template <class Rec>
struct Layout {
    std::string_view Name;
    std::span<const Field<Rec>> Head;             // from record offset 0
    std::span<const Field<FileDescBlock>> Block;  // from BlockOffset; empty for the master header
    std::uint16_t BlockOffset;
    std::uint16_t Length;
};

template <class Rec, std::size_t N, std::size_t K>
constexpr Layout<Rec> MakeLayout(std::string_view name, const std::array<Field<Rec>, N>& head,
                                 const std::array<Field<FileDescBlock>, K>& block) {
    const auto headLength = LengthOf<Rec>(head);
    return {name, head, block, headLength, static_cast<std::uint16_t>(headLength + LengthOf<FileDescBlock>(block))};
}

inline constexpr Layout<HSTMasterRec> HSTMasterLayout{"HSTMasterRec", MasterFields, {}, 176,
                                                      LengthOf<HSTMasterRec>(MasterFields)};

inline constexpr auto HSTHeaderRecV0 = MakeLayout<H>("HSTHeaderRecV0", HeaderHeadShort, BlockV0);
inline constexpr auto HSTHeaderRecV4 = MakeLayout<H>("HSTHeaderRecV4", HeaderHeadLong, BlockV4);
inline constexpr auto HSTHeaderRecV5 = MakeLayout<H>("HSTHeaderRecV5", HeaderHeadShort, BlockV5);
inline constexpr auto HSTHeaderRecV6 = MakeLayout<H>("HSTHeaderRecV6", HeaderHeadLong, BlockV6);

inline constexpr auto DataHeaderRecV0 = MakeLayout<D>("DataHeaderRecV0", DataPrefix, BlockV0);
inline constexpr auto DataHeaderRecV4 = MakeLayout<D>("DataHeaderRecV4", DataPrefix, BlockV4);
inline constexpr auto DataHeaderRecV5 = MakeLayout<D>("DataHeaderRecV5", DataPrefix, BlockV5);
inline constexpr auto DataHeaderRecV6 = MakeLayout<D>("DataHeaderRecV6", DataPrefix, BlockV6);

inline constexpr std::uint16_t kMasterLength = 176;
inline constexpr std::uint16_t kDataVersionOffset = 138;  // int16 Version of every data file header

static_assert(HSTMasterLayout.Length == 176);
static_assert(OffsetOf(MasterFields, "nFiles") == 150 && OffsetOf(MasterFields, "AddOn") == 154);
static_assert(HSTHeaderRecV0.Length == 240 && HSTHeaderRecV4.Length == 432);
static_assert(HSTHeaderRecV5.Length == 288 && HSTHeaderRecV6.Length == 448);
static_assert(DataHeaderRecV0.Length == 224 && DataHeaderRecV4.Length == 288);
static_assert(DataHeaderRecV5.Length == 272 && DataHeaderRecV6.Length == 304);
static_assert(OffsetOf(BlockV0, "Version") == 10 && OffsetOf(BlockV6, "Version") == 10);
static_assert(OffsetOf(BlockV0, "StartTime") == 74 && OffsetOf(BlockV5, "StartTime") == 122);
static_assert(OffsetOf(BlockV4, "StartTime") == 122 && OffsetOf(BlockV6, "StartTime") == 138);
static_assert(OffsetOf(BlockV4, "Alignment2") == 154 && OffsetOf(BlockV6, "EndEvNo") == 162);
static_assert(DataPrefix.size() == 5 && LengthOf<DataHeaderRec>(DataPrefix) == 128);

// The layout for a trend version, or nullptr when the version has none.
const Layout<HSTHeaderRec>* HSTHeaderLayout(int version);
const Layout<DataHeaderRec>* DataHeaderLayout(int version);

// Encodes rec into out[0, layout.Length).  A member that does not fit its
// field (an int64 event number or time into an int32 field) is an overflow
// error naming the layout and field; out is then unchanged.
template <class Rec>
void Encode(const Layout<Rec>& layout, const Rec& rec, std::span<std::uint8_t> out);

// Decodes in[0, layout.Length) into rec (every field the layout has; members
// the layout lacks keep their values).
template <class Rec>
void Decode(const Layout<Rec>& layout, std::span<const std::uint8_t> in, Rec& rec);

}  // namespace jw::TrendDefs
