// A small XFS file system with block cloning (reflink), made in an image
// file and mounted through a loop device for one test.  Needs root, mkfs.xfs
// (xfsprogs) and a machine that allows loop mounts; Why() says which was
// missing when it could not be made, and the test then skips saying so.
#pragma once

#include <sys/statvfs.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace jw::ostest {

class XfsMount {
public:
    explicit XfsMount(const std::filesystem::path& base, std::uintmax_t bytes = 512ULL << 20)
        : image_(base / "xfs.img"), mount_(base / "xfs") {
        namespace fs = std::filesystem;
        if (::geteuid() != 0) {
            why_ = "mounting a file system needs root";
            return;
        }
        if (std::system("command -v mkfs.xfs >/dev/null 2>&1") != 0) {
            why_ = "mkfs.xfs (Debian package xfsprogs) is not installed";
            return;
        }
        fs::create_directories(mount_);
        { std::ofstream(image_, std::ios::binary); }
        fs::resize_file(image_, bytes);
        const fs::path log = base / "xfs.log";
        if (Run("mkfs.xfs -q -f -m reflink=1 '" + image_.string() + "'", log) != 0) {
            why_ = "mkfs.xfs -m reflink=1 failed: " + Read(log);
            return;
        }
        if (Run("mount -o loop '" + image_.string() + "' '" + mount_.string() + "'", log) != 0) {
            why_ = "this machine does not allow a loop mount of an XFS image: " + Read(log);
            return;
        }
        mounted_ = true;
    }
    ~XfsMount() {
        if (mounted_) Run("umount '" + mount_.string() + "'", image_.string() + ".umount.log");
        std::error_code ec;
        std::filesystem::remove(image_, ec);
    }
    XfsMount(const XfsMount&) = delete;
    XfsMount& operator=(const XfsMount&) = delete;

    // Empty when mounted; otherwise why not.
    const std::string& Why() const { return why_; }
    const std::filesystem::path& Path() const { return mount_; }

    // Bytes free on the mounted file system.
    std::uint64_t Free() const {
        struct statvfs st {};
        ::statvfs(mount_.c_str(), &st);
        return static_cast<std::uint64_t>(st.f_bavail) * st.f_frsize;
    }

private:
    static int Run(const std::string& command, const std::filesystem::path& log) {
        return std::system((command + " >'" + log.string() + "' 2>&1").c_str());
    }
    static std::string Read(const std::filesystem::path& p) {
        std::ifstream in(p);
        std::string s{std::istreambuf_iterator<char>(in), {}};
        while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
        return s;
    }

    std::filesystem::path image_, mount_;
    std::string why_;
    bool mounted_ = false;
};

}  // namespace jw::ostest
