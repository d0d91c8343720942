// The one error type of Joinwright.
//
// Every failure travels to the caller as a jw::Error: a kind (what sort of
// failure) and a description that names what failed (the file, record or
// field and what is wrong with it).  Nothing below the window or the command
// line catches an error; it ends the operation that met it.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace jw {

enum class ErrorKind {
    Overflow,             // 16-, 32- or 64-bit arithmetic left its range
    SubscriptOutOfRange,  // an index outside an array's range
    TypeMismatch,         // a text that is not a number of the field's width
    InvalidArgument,      // an argument the operation cannot take
    FileNotFound,
    PathNotFound,
    InputOutput,          // a read, write, flush or close that failed
    MissingObject,        // an object used before it was made (no header loaded)
    InvalidData,          // a file whose bytes are not what they must be (truncated, corrupt)
    Refused,              // a merge refused before writing, with the reason
};

// "Overflow", "Subscript out of range", ...: the kind as an operator reads it.
const char* ErrorKindName(ErrorKind kind) noexcept;

class Error : public std::runtime_error {
public:
    Error(ErrorKind kind, const std::string& description)
        : std::runtime_error(description), kind_(kind) {}
    ErrorKind kind() const noexcept { return kind_; }

private:
    ErrorKind kind_;
};

[[noreturn]] void Fail(ErrorKind kind, const std::string& description);

// text in double quotes for messages, control characters shown as \xNN so a
// hostile name cannot break the message's line.
std::string Quoted(std::string_view text);

}  // namespace jw
