#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

// Each target hands arbitrary bytes to one reader of a file the program finds
// on disk. libFuzzer (fuzzmain.cpp) and the regression replay
// (replay_test.cpp) call the same functions. A target returns false when the
// reader accepted the bytes but what it read does not survive being written
// and read again; crashes and sanitizer reports end the process.
struct FuzzTarget {
    std::string_view name;
    bool (*run)(const uint8_t* data, size_t size);
};

std::span<const FuzzTarget> fuzzTargets();
const FuzzTarget* findFuzzTarget(std::string_view name);
