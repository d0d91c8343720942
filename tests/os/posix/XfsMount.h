// A small XFS file system with block cloning (reflink), made in an image
// file and mounted through a loop device for one test.  Needs root, mkfs.xfs
// (xfsprogs) and a machine that allows loop mounts; Why() says what failed
// when it could not be made, and the test then skips saying so.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/TestSupport.h"

namespace jw::ostest {

class XfsMount {
public:
    explicit XfsMount(const std::filesystem::path& base) : image_(base / "xfs.img"), mount_(base / "xfs") {
        if (::geteuid() != 0) {
            why_ = "mounting a file system needs root";
            return;
        }
        std::filesystem::create_directories(mount_);
        const std::filesystem::path log = base / "xfs.log";
        const std::string image = "'" + image_.string() + "'";
        mounted_ = std::system(("{ truncate -s 512M " + image + " && mkfs.xfs -q -f -m reflink=1 " + image +
                                " && mount -o loop " + image + " '" + mount_.string() + "'; } >'" + log.string() + "' 2>&1")
                                   .c_str()) == 0;
        if (!mounted_) why_ = "no XFS image with reflink could be made and mounted: " + testsupport::ReadFile(log);
    }
    ~XfsMount() {
        if (mounted_) (void)std::system(("umount '" + mount_.string() + "' 2>/dev/null").c_str());
    }
    XfsMount(const XfsMount&) = delete;
    XfsMount& operator=(const XfsMount&) = delete;

    // Empty when mounted; otherwise why not.
    const std::string& Why() const { return why_; }
    const std::filesystem::path& Path() const { return mount_; }

private:
    std::filesystem::path image_, mount_;
    std::string why_;
    bool mounted_ = false;
};

}  // namespace jw::ostest
