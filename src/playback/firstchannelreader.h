#pragma once

#include <QString>
#include <atomic>
#include <functional>
#include <memory>

// Decodes the first audio stream of a file once, front to back, and hands
// over the samples of its first channel as 32-bit floats. One frame, one
// packet and one sample buffer are reused for the whole file. Other channels
// are never converted. Safe on any thread (one reader per thread).
class FirstChannelReader {
public:
    FirstChannelReader();
    ~FirstChannelReader();
    FirstChannelReader(const FirstChannelReader&) = delete;
    FirstChannelReader& operator=(const FirstChannelReader&) = delete;

    // Fails with a description when the file is no decodable audio. Once
    // `cancel` is set, opening and reading fail at FFmpeg's next check, also
    // inside a blocked read.
    bool open(const QString& path, QString* error, const std::atomic<bool>* cancel = nullptr);
    // Length in sample frames as the container states it (an estimate for
    // some formats); 0 when unknown.
    qint64 frameCount() const;
    int sampleRate() const;

    // Called with consecutive blocks of first-channel samples.
    using Sink = std::function<void(const float* samples, int count)>;
    // Reads to the end; false with a description when reading fails.
    // Damaged packets are skipped, as players do.
    bool readAll(const Sink& sink, QString* error);

private:
    struct State;
    std::unique_ptr<State> m_state;
};
