// Checks of a merge plan for inputs and requests that are odd in a way the
// main planning steps do not look at.  Each is one named function the
// planner calls with one line: a refusal where the merged set would be
// wrong or unusable, a plan warning where the input is odd but the merge is
// still exact (docs/cli.md lists them).
#include <array>
#include <optional>

#include "engine/EngineDetail.h"
#include "engine/TrendTools.h"
#include "formats/BinaryFile.h"
#include "formats/clsDataHeader.h"
#include "base/Errors.h"
#include "os/File.h"
#include "os/Text.h"

namespace jw::engine_detail {

namespace {

namespace fs = std::filesystem;

[[noreturn]] void Refuse(const std::string& text) { Fail(ErrorKind::Refused, text); }

// A data file header as stored, without notices; nullopt when it is none.
std::optional<clsDataHeader> HeaderOf(const fs::path& path) {
    clsDataHeader header;
    try {
        BinaryFile file(path, BinaryFile::Mode::ReadOnly);
        if (!header.LoadQuiet(file)) return std::nullopt;
    } catch (const Error&) {
        return std::nullopt;
    }
    return header;
}

bool IsZeroTime(const TaggedValue& raw) {
    switch (raw.kind()) {
        case TaggedValue::Kind::Empty: return true;
        case TaggedValue::Kind::Integer: return raw.AsInteger() == 0;
        case TaggedValue::Kind::Long: return raw.AsLong() == 0;
        case TaggedValue::Kind::Currency: return raw.AsCurrency().Raw() == 0;
        default: return false;
    }
}

}  // namespace

void RefuseUnwritableOutputParent(const fs::path& outputFolder) {
    const fs::path parent = outputFolder.parent_path();
    if (!os::MayCreateIn(parent))
        Refuse("The output folder " + os::PathText(outputFolder) + " cannot be made: its parent " + os::PathText(parent) +
               " does not let this program create anything in it (no write permission, or a read-only file system).");
}

void RefuseNumbersPastThreeDigits(const MergePlan& plan) {
    constexpr std::size_t kMostFiles = 1000;  // numbers 000 to 999
    if (plan.Entries.size() <= kMostFiles) return;
    const PlanEntry& first = plan.Entries[kMostFiles];
    Refuse("The merged set would have " + std::to_string(plan.Entries.size()) + " data files, but numbers from 1000 on (" +
           os::PathText(first.Target.filename()) +
           ") give a data file a four-digit extension: a set read again cuts it to three characters, which names another "
           "file.  Ask for at most 1000 files.");
}

void WarnSameMasterTwice(MergePlan& plan, const fs::path& existing, const fs::path& backup) {
    std::error_code ec;
    if (!fs::equivalent(existing, backup, ec)) return;
    plan.Warnings.push_back("The backup and the existing master are the same file (" + os::PathText(existing) +
                            "): the merged set holds this one set's data files, renumbered.");
}

void WarnTemplateWithSamples(MergePlan& plan, const fs::path& emptyDataFile) {
    if (plan.TemplateCopies == 0) return;
    auto header = HeaderOf(emptyDataFile);
    if (!header) return;
    const auto& start = *header->StartTime();
    const auto& end = *header->EndTime();
    if (IsZeroTime(start.Raw) && IsZeroTime(end.Raw)) return;
    std::string span;
    try {
        span = " (its header says " + start.FormattedString() + " to " + end.FormattedString() + ")";
    } catch (const Error&) {
        span = "";
    }
    plan.Warnings.push_back("The empty data file " + os::PathText(emptyDataFile) + " has been written to" + span + ": its " +
                            std::to_string(plan.TemplateCopies) +
                            " copies carry those samples, under records that say they hold none.");
}

}  // namespace jw::engine_detail
