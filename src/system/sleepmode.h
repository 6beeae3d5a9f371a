#pragma once

// What sleep prevention keeps awake.
enum class SleepMode {
    none,
    // Idle system sleep is prevented.
    systemOnly,
    // Idle display sleep and idle system sleep are prevented.
    displayAndSystem,
};
