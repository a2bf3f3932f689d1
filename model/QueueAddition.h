#pragma once

#include <optional>
#include <utility>
#include <vector>

namespace tessaly {

// The stack discipline of every depth-first folder walk: push appends, pop takes
// the last element (none on an empty list), so the walk is last-in first-out.
template <typename T> void dornPush(std::vector<T>& stack, T value) {
    stack.push_back(std::move(value));
}

template <typename T> std::optional<T> dornPop(std::vector<T>& stack) {
    if (stack.empty())
        return std::nullopt;
    T value = std::move(stack.back());
    stack.pop_back();
    return value;
}

} // namespace tessaly
