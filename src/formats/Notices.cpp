#include "formats/Notices.h"

#include <cstdio>
#include <utility>

namespace jw {

namespace {

void PrintToStandardError(std::string_view text, NoticeMark mark) {
    if (mark == NoticeMark::Error) std::fputs("Error: ", stderr);
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

// The one installable sink of the formats library; empty means the default.
NoticeSink& InstalledSink() {
    static NoticeSink sink;
    return sink;
}

}  // namespace

void ShowNotice(std::string_view text, NoticeMark mark) {
    const NoticeSink& sink = InstalledSink();
    if (sink)
        sink(text, mark);
    else
        PrintToStandardError(text, mark);
}

NoticeSink SetNoticeSink(NoticeSink sink) { return std::exchange(InstalledSink(), std::move(sink)); }

}  // namespace jw
