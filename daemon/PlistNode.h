#pragma once

// Owned libplist trees and typed reads of request arguments.

#include <cstdint>
#include <optional>
#include <plist/plist.h>
#include <string>
#include <vector>

namespace dorn {

// Owns a libplist tree (freed with plist_free).
class PlistNode {
public:
    PlistNode() = default;
    explicit PlistNode(plist_t n) : n_(n) {}
    ~PlistNode() { reset(); }
    PlistNode(PlistNode&& o) noexcept : n_(o.release()) {}
    PlistNode& operator=(PlistNode&& o) noexcept {
        if (this != &o) {
            reset();
            n_ = o.release();
        }
        return *this;
    }
    PlistNode(const PlistNode&) = delete;
    PlistNode& operator=(const PlistNode&) = delete;

    plist_t get() const { return n_; }
    plist_t release() {
        plist_t n = n_;
        n_ = nullptr;
        return n;
    }
    void reset(plist_t n = nullptr) {
        if (n_)
            plist_free(n_);
        n_ = n;
    }
    explicit operator bool() const { return n_ != nullptr; }

private:
    plist_t n_ = nullptr;
};

// Typed reads of one value; none when the node is missing or of another kind.
std::optional<std::string> stringValue(plist_t node);
std::optional<bool> boolValue(plist_t node);
std::optional<std::vector<std::uint8_t>> dataValue(plist_t node);
// An array whose every element is a string.
std::optional<std::vector<std::string>> stringArrayValue(plist_t node);

std::uint32_t arraySize(plist_t node);

// The property list in binary or XML form; empty when it cannot be written.
std::vector<std::uint8_t> toBinary(plist_t node);
std::string toXml(plist_t node);

} // namespace dorn
