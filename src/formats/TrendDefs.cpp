#include "formats/TrendDefs.h"

#include <algorithm>
#include <string>

#include "formats/Endian.h"
#include "base/Checked.h"
#include "base/Errors.h"

namespace jw::TrendDefs {

const Layout<HSTHeaderRec>* HSTHeaderLayout(int version) {
    switch (version) {
        case 0: case 1: case 2: case 3: return &HSTHeaderRecV0;
        case 4: return &HSTHeaderRecV4;
        case 5: return &HSTHeaderRecV5;
        case 6: return &HSTHeaderRecV6;
        default: return nullptr;
    }
}

const Layout<DataHeaderRec>* DataHeaderLayout(int version) {
    switch (version) {
        case 0: case 1: case 2: case 3: return &DataHeaderRecV0;
        case 4: return &DataHeaderRecV4;
        case 5: return &DataHeaderRecV5;
        case 6: return &DataHeaderRecV6;
        default: return nullptr;
    }
}

namespace {

template <class Int>
std::int64_t Widen(Int v) { return static_cast<std::int64_t>(v); }

// Writes one field of obj at p.
template <class Obj>
void EncodeField(const Field<Obj>& f, const Obj& obj, std::uint8_t* p, std::string_view layout) {
    std::visit(
        [&](auto member) {
            using T = std::remove_cvref_t<decltype(obj.*member)>;
            const T& value = obj.*member;
            if constexpr (std::is_same_v<T, std::string>) {
                const std::size_t n = std::min<std::size_t>(value.size(), f.Width);
                std::copy_n(reinterpret_cast<const std::uint8_t*>(value.data()), n, p);
                std::fill(p + n, p + f.Width, std::uint8_t{0x20});
            } else if constexpr (std::is_same_v<T, float>) {
                StoreLE<float>(p, value);
            } else {
                const std::string what = std::string(layout) + "." + std::string(f.Name);
                switch (f.Type) {
                    case FieldType::Int16: StoreLE<std::int16_t>(p, CheckedNarrow<std::int16_t>(value, what)); break;
                    case FieldType::Int32: StoreLE<std::int32_t>(p, CheckedNarrow<std::int32_t>(value, what)); break;
                    case FieldType::Int64: StoreLE<std::int64_t>(p, static_cast<std::int64_t>(value)); break;
                    default: break;
                }
            }
        },
        f.Member);
}

template <class Obj>
void DecodeField(const Field<Obj>& f, const std::uint8_t* p, Obj& obj) {
    std::visit(
        [&](auto member) {
            using T = std::remove_cvref_t<decltype(obj.*member)>;
            T& value = obj.*member;
            if constexpr (std::is_same_v<T, std::string>) {
                value.assign(reinterpret_cast<const char*>(p), f.Width);
            } else if constexpr (std::is_same_v<T, float>) {
                value = LoadLE<float>(p);
            } else {
                // A narrower member than the field never occurs in the tables.
                switch (f.Type) {
                    case FieldType::Int16: value = static_cast<T>(LoadLE<std::int16_t>(p)); break;
                    case FieldType::Int32: value = static_cast<T>(LoadLE<std::int32_t>(p)); break;
                    case FieldType::Int64: value = static_cast<T>(LoadLE<std::int64_t>(p)); break;
                    default: break;
                }
            }
        },
        f.Member);
}

template <class Rec>
const FileDescBlock* BlockOf(const Rec& rec) {
    if constexpr (std::is_same_v<Rec, HSTMasterRec>) return nullptr;
    else return &rec.Block;
}

template <class Rec>
FileDescBlock* BlockOf(Rec& rec) {
    if constexpr (std::is_same_v<Rec, HSTMasterRec>) return nullptr;
    else return &rec.Block;
}

void CheckSize(std::size_t have, std::uint16_t need, std::string_view layout) {
    if (have < need)
        Fail(ErrorKind::InvalidArgument, std::string(layout) + ": buffer of " + std::to_string(have) +
                                             " bytes is shorter than the record (" + std::to_string(need) + ")");
}

}  // namespace

template <class Rec>
void Encode(const Layout<Rec>& layout, const Rec& rec, std::span<std::uint8_t> out) {
    CheckSize(out.size(), layout.Length, layout.Name);
    // Encode into a scratch copy first so an overflow leaves out unchanged.
    std::array<std::uint8_t, 512> scratch{};
    for (const auto& f : layout.Head) EncodeField(f, rec, scratch.data() + f.Offset, layout.Name);
    if (const FileDescBlock* block = BlockOf(rec))
        for (const auto& f : layout.Block) EncodeField(f, *block, scratch.data() + layout.BlockOffset + f.Offset, layout.Name);
    std::copy_n(scratch.begin(), layout.Length, out.begin());
}

template <class Rec>
void Decode(const Layout<Rec>& layout, std::span<const std::uint8_t> in, Rec& rec) {
    CheckSize(in.size(), layout.Length, layout.Name);
    for (const auto& f : layout.Head) DecodeField(f, in.data() + f.Offset, rec);
    if (FileDescBlock* block = BlockOf(rec))
        for (const auto& f : layout.Block) DecodeField(f, in.data() + layout.BlockOffset + f.Offset, *block);
}

template void Encode(const Layout<HSTMasterRec>&, const HSTMasterRec&, std::span<std::uint8_t>);
template void Encode(const Layout<HSTHeaderRec>&, const HSTHeaderRec&, std::span<std::uint8_t>);
template void Encode(const Layout<DataHeaderRec>&, const DataHeaderRec&, std::span<std::uint8_t>);
template void Decode(const Layout<HSTMasterRec>&, std::span<const std::uint8_t>, HSTMasterRec&);
template void Decode(const Layout<HSTHeaderRec>&, std::span<const std::uint8_t>, HSTHeaderRec&);
template void Decode(const Layout<DataHeaderRec>&, std::span<const std::uint8_t>, DataHeaderRec&);

}  // namespace jw::TrendDefs
