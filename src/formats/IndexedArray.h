// An array indexed from lo to hi inclusive (sample numbers).  Access outside
// that range is an ErrorKind::SubscriptOutOfRange error; a range with
// hi < lo cannot be made (also a subscript error).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/Errors.h"

namespace jw {

template <class T>
class IndexedArray {
public:
    IndexedArray() = default;  // empty: every access is a subscript error
    IndexedArray(std::int32_t lo, std::int32_t hi) : lo_(lo) {
        if (hi < lo)
            Fail(ErrorKind::SubscriptOutOfRange,
                 "sample range " + std::to_string(lo) + ".." + std::to_string(hi) + " is empty (end before start)");
        data_.resize(static_cast<std::size_t>(static_cast<std::int64_t>(hi) - lo + 1));
    }

    bool empty() const { return data_.empty(); }
    std::int32_t lo() const { return lo_; }
    std::int32_t hi() const { return static_cast<std::int32_t>(lo_ + static_cast<std::int64_t>(data_.size()) - 1); }
    std::size_t size() const { return data_.size(); }
    T* data() { return data_.data(); }
    const T* data() const { return data_.data(); }

    const T& operator()(std::int32_t n) const { return data_[Index(n)]; }
    T& operator()(std::int32_t n) { return data_[Index(n)]; }

private:
    std::size_t Index(std::int32_t n) const {
        if (data_.empty() || n < lo_ || static_cast<std::int64_t>(n) - lo_ >= static_cast<std::int64_t>(data_.size()))
            Fail(ErrorKind::SubscriptOutOfRange,
                 "sample number " + std::to_string(n) +
                     (data_.empty() ? std::string(" is not loaded (no samples read yet)")
                                    : " is outside the loaded range " + std::to_string(lo_) + ".." + std::to_string(hi())));
        return static_cast<std::size_t>(static_cast<std::int64_t>(n) - lo_);
    }

    std::int32_t lo_ = 1;
    std::vector<T> data_;
};

}  // namespace jw
