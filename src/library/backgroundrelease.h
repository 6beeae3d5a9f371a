#pragma once

#include <QtConcurrent>
#include <optional>
#include <tuple>
#include <utility>

// Holds copies of large values (trees, file lists) while the caller replaces
// them, and drops the copies on a worker thread when it goes out of scope.
// Freeing a 100,000-node tree takes tens of milliseconds that the GUI thread
// should spend drawing; values still referenced elsewhere stay alive.
template <typename... Values> class BackgroundRelease {
public:
    explicit BackgroundRelease(Values... values) : m_held(std::in_place, std::move(values)...) {}
    ~BackgroundRelease() {
        (void)QtConcurrent::run([held = std::move(m_held)]() mutable { held.reset(); });
    }
    BackgroundRelease(const BackgroundRelease&) = delete;
    BackgroundRelease& operator=(const BackgroundRelease&) = delete;

private:
    std::optional<std::tuple<Values...>> m_held;
};
