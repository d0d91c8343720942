// Windows-1252, the 8-bit text of trend files, to UTF-8 and back.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "time/StringTools.h"

namespace {

using jw::StringTools::Cp1252ToUtf8;
using jw::StringTools::MixedToUtf8;
using jw::StringTools::Utf8ToCp1252;

// Every byte comes back through UTF-8; text without a byte per character is refused.
TEST(Cp1252, BytesBothWays) {
    for (int b = 0; b < 256; ++b) {
        const std::string byte(1, static_cast<char>(b));
        EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(byte)), std::optional<std::string>(byte)) << b;
    }
    const struct { std::string utf8; std::optional<std::string> bytes; } rows[] = {
        {"K\xC3\xBChlung \xE2\x82\xAC", "K\xFChlung \x80"}, {"\xC5\xB8", "\x9F"},  // "Kühlung €"; "Ÿ", the last of the 0x80..0x9F row
        {"\xE6\x97\xA5", std::nullopt}, {"\xC2\x80", std::nullopt},  // "日": no byte in the code page; U+0080: "€" has its place
        {"\xC3", std::nullopt}, {"\xC0\xAF", std::nullopt}, {"\xED\xA0\x80", std::nullopt},  // cut, overlong "/", a surrogate
        {"\xDC", std::nullopt},  // a Windows-1252 byte is no UTF-8
    };
    for (const auto& r : rows) EXPECT_EQ(Utf8ToCp1252(r.utf8), r.bytes) << r.utf8;
}

TEST(Cp1252, MixedTextKeepsItsUtf8AndDecodesTheRest) {
    const struct { std::string text, utf8; } rows[] = {
        {"Bestand \xE6\x97\xA5", "Bestand \xE6\x97\xA5"},                     // "日" stays
        {"/Bestand \xC3\xB8: Name \"\xDC" "B\"", "/Bestand \xC3\xB8: Name \"\xC3\x9C" "B\""},  // ø kept, Ü decoded
        {"\xE6\x97", "\xC3\xA6\xE2\x80\x94"},                                // a cut sequence: byte by byte
        {"\x80\xFF", "\xE2\x82\xAC\xC3\xBF"},
    };
    for (const auto& r : rows) EXPECT_EQ(MixedToUtf8(r.text), r.utf8) << r.text;
}

}  // namespace
