#pragma once

#include <chrono>

namespace qx::bench {

template <typename Action> double SecondsOf(Action&& action) {
    const auto start = std::chrono::steady_clock::now();
    action();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace qx::bench
