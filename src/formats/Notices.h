// Notices: the message boxes that the format code shows itself ("This is not
// a valid trend file...", "Unknown trend version (7).", "Invalid trend
// type:9").  They go through one installable sink; the operation goes on
// after the sink returns.  Default sink: the text on standard error.  The
// window installs a modal message box, tests install a recorder.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace jw {

enum class NoticeMark { None, Error };

using NoticeSink = std::function<void(std::string_view text, NoticeMark mark)>;

// Shows a notice through the installed sink.
void ShowNotice(std::string_view text, NoticeMark mark);

// Installs sink (an empty function restores the default); returns the one it replaced.
NoticeSink SetNoticeSink(NoticeSink sink);

// Installs a sink for the lifetime of this object, then puts back the previous one.
class ScopedNoticeSink {
public:
    explicit ScopedNoticeSink(NoticeSink sink) : previous_(SetNoticeSink(std::move(sink))) {}
    ~ScopedNoticeSink() { SetNoticeSink(std::move(previous_)); }
    ScopedNoticeSink(const ScopedNoticeSink&) = delete;
    ScopedNoticeSink& operator=(const ScopedNoticeSink&) = delete;

private:
    NoticeSink previous_;
};

}  // namespace jw
