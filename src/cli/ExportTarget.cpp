#include "cli/ExportTarget.h"

#include <random>

#include "base/Errors.h"
#include "cli/Output.h"
#include "os/Process.h"
#include "os/Text.h"
#include "os/WindowsNames.h"

namespace jw::cli {

namespace fs = std::filesystem;

namespace {

[[noreturn]] void Refuse(const std::string& text) { Fail(ErrorKind::Refused, text); }

// ".joinwright-export-<16 hex digits>.tmp": hidden, 39 bytes whatever FILE
// is called (so any name the folder takes can be exported to), and new in
// practice; the exclusive create refuses it should the name be taken after
// all.
fs::path TemporaryName() {
    std::random_device random;
    const std::uint64_t r = (std::uint64_t{random()} << 32) ^ random();
    static constexpr char kHex[] = "0123456789abcdef";
    std::string name = ".joinwright-export-";
    for (int shift = 60; shift >= 0; shift -= 4) name += kHex[(r >> shift) & 0xF];
    name += ".tmp";
    return os::PathFromUtf8(name);
}

}  // namespace

class ExportTarget::FileSink final : public CsvSink {
public:
    explicit FileSink(os::File& file) : file_(file) {}
    void Write(const char* data, std::size_t size) override {
        file_.Write({reinterpret_cast<const std::uint8_t*>(data), size});
    }

private:
    os::File& file_;
};

ExportTarget::ExportTarget(const fs::path& file, const std::vector<fs::path>& inputs)
    : shown_(OutputText(os::PathText(file))) {
    std::error_code ec;
    fs::path target = file;
    auto st = fs::symlink_status(target, ec);
    if (fs::is_symlink(st)) {
        target = fs::canonical(file, ec);
        if (ec)
            Refuse("the CSV file " + shown_ + " is a symbolic link that leads to no file (" + ec.message() +
                   "); name the file itself");
        st = fs::status(target, ec);
    }
    if (fs::is_directory(st)) Refuse("the CSV file " + shown_ + " is a folder");
    if (fs::exists(st))
        for (const auto& in : inputs)
            if (fs::equivalent(target, in, ec))
                Refuse("the CSV file " + shown_ + " is the input " + OutputText(os::PathText(in)) +
                       "; inputs are never written");

    if (fs::exists(st) && !fs::is_regular_file(st)) {
        // A device or a FIFO: there is nothing to keep, and it must never go.
        file_ = os::File::OpenDevice(target);
        sink_ = std::make_unique<FileSink>(file_);
        return;
    }
    // A name the folder cannot take is refused before any row is read, not
    // when the finished file would get it.
    if (const std::string why = os::WindowsFileNameProblem(os::PathText(target.filename())); !why.empty())
        Refuse("the CSV file " + shown_ + " cannot be made: " + why);
    const fs::path parent = target.has_parent_path() ? target.parent_path() : fs::path(".");
    const fs::path realParent = fs::canonical(parent, ec);
    if (ec) Fail(ErrorKind::PathNotFound, "the folder of the CSV file " + shown_ + " does not exist");
    folder_ = os::Folder::Open(realParent);
    finalName_ = target.filename();
    tempName_ = TemporaryName();
    file_ = folder_.CreateFile(tempName_);
    removal_ = std::make_unique<os::RemoveOnInterrupt>(
        folder_, tempName_,
        "Interrupted: removed the unfinished CSV file " + OutputText(os::PathText(folder_.PathOf(tempName_))) + "; " +
            shown_ + " is as it was.");
    sink_ = std::make_unique<FileSink>(file_);
}

ExportTarget::~ExportTarget() {
    if (finished_ || tempName_.empty()) return;
    try {
        file_.Close();
    } catch (const Error&) {
        // Going anyway.
    }
    folder_.Remove(tempName_);
}

CsvSink& ExportTarget::Sink() { return *sink_; }

void ExportTarget::Finish() {
    try {
        if (!tempName_.empty()) file_.Sync();
        file_.Close();
        if (!tempName_.empty()) folder_.RenameReplacing(tempName_, finalName_);
    } catch (const Error& e) {
        Fail(e.kind(), "cannot write the CSV file " + shown_ + ": " + e.what());
    }
    finished_ = true;
    if (removal_) removal_->Dismiss();
}

}  // namespace jw::cli
