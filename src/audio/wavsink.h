#pragma once

#include "audio/clockedsink.h"

#include <QString>
#include <cstdint>

// Writes exactly the frames playback produces, in order, as a 32-bit float
// WAV file. The header is brought up to date after every write, so the file
// can be read while the program runs.
class WavSink final : public ClockedSink {
public:
    WavSink(const QString& path, bool realTime) : ClockedSink(realTime), m_path(path) {}
    ~WavSink() override;

protected:
    bool prepare(const OutputFormat& format) override;
    void consume(const float* frames, int count) override;
    void finish() override;

private:
    void writeHeader();

    QString m_path;
    int m_fd = -1;
    OutputFormat m_format;
    uint64_t m_dataBytes = 0;
};
