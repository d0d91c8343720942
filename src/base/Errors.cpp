#include "base/Errors.h"

namespace jw {

const char* ErrorKindName(ErrorKind kind) noexcept {
    switch (kind) {
        case ErrorKind::Overflow: return "Overflow";
        case ErrorKind::SubscriptOutOfRange: return "Subscript out of range";
        case ErrorKind::TypeMismatch: return "Type mismatch";
        case ErrorKind::InvalidArgument: return "Invalid procedure call or argument";
        case ErrorKind::FileNotFound: return "File not found";
        case ErrorKind::PathNotFound: return "Path not found";
        case ErrorKind::InputOutput: return "Input/output error";
        case ErrorKind::MissingObject: return "Object variable not set";
        case ErrorKind::InvalidData: return "Invalid data";
        case ErrorKind::Refused: return "Refused";
    }
    return "Error";
}

void Fail(ErrorKind kind, const std::string& description) { throw Error(kind, description); }

std::string Quoted(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) {
            static constexpr char kHex[] = "0123456789ABCDEF";
            out += "\\x";
            out += kHex[u >> 4];
            out += kHex[u & 0xF];
        } else {
            out += c;
        }
    }
    out += '"';
    return out;
}

}  // namespace jw
