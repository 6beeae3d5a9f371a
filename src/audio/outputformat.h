#pragma once

// The format of the one output stream: interleaved 32-bit float frames.
struct OutputFormat {
    int sampleRate = 0;
    int channels = 2;

    bool isValid() const { return sampleRate > 0 && channels > 0; }
    bool operator==(const OutputFormat&) const = default;
};
