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

}  // namespace jw
