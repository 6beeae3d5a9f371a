#pragma once

#include <QByteArray>
#include <span>
#include <string_view>

// Each target hands bytes to one reader of a file the program finds on disk,
// for libFuzzer and the regression replay alike. It returns false when what
// the reader accepted does not survive being written and read again.
struct FuzzTarget {
    std::string_view name;
    bool (*run)(const QByteArray& bytes);
};

std::span<const FuzzTarget> fuzzTargets();
const FuzzTarget* findFuzzTarget(std::string_view name);
