#pragma once

#include <QString>

// The program's own diagnostic lines go to standard output, one per call,
// flushed at once so that they interleave correctly with other output.
void printLine(const QString& line);

// Shortest decimal text that reads back to the same value, always with a
// fractional part: 1.0, 0.75, 0.1.
QString floatText(float value);
QString floatText(double value);
