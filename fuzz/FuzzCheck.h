#pragma once
// What every fuzz target shares: a broken property stops the process loudly, so
// that the fuzzer keeps the input and a replay fails.

#include <cstdio>
#include <cstdlib>
#include <string>

namespace qor::fuzz {

[[noreturn]] inline void Broken(const std::string& what) {
    std::fprintf(stderr, "property broken: %s\n", what.c_str());
    std::abort();
}

inline void Require(bool holds, const std::string& what) {
    if (!holds) Broken(what);
}

// The number of lines a reader that splits at '\n' sees.
inline int LineCount(const std::string& text) {
    int lines = 0;
    for (std::size_t start = 0; start < text.size(); ++lines) {
        const auto end = text.find('\n', start);
        if (end == std::string::npos) return lines + 1;
        start = end + 1;
    }
    return lines;
}

}  // namespace qor::fuzz
