#pragma once

#include "audio/audiosink.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

// A sink without a device: a thread pulls frames on a real-time clock, or as
// fast as they are produced when `realTime` is false, and hands the frames
// that playback produced (never the silence of a pause or an underrun) to
// consume().
class ClockedSink : public AudioSink {
public:
    explicit ClockedSink(bool realTime) : m_realTime(realTime) {}
    ~ClockedSink() override;

    bool start(const OutputFormat& format, AudioRenderer* renderer) override;
    void stop() override;
    void wake() override;

protected:
    // On the sink's thread, before the first frame; false when it cannot work.
    virtual bool prepare(const OutputFormat&) { return true; }
    // On the sink's thread: `count` frames that playback produced, in order.
    virtual void consume(const float* frames, int count) = 0;
    // On the stopping thread, after the sink's thread has ended.
    virtual void finish() {}

private:
    void runRealTime();
    void runFast();
    void sleep(std::chrono::milliseconds period);

    const bool m_realTime;
    OutputFormat m_format;
    AudioRenderer* m_renderer = nullptr;
    std::vector<float> m_buffer;
    std::thread m_thread;
    std::atomic<bool> m_stopping{false};
    std::mutex m_mutex; // only for sleeping between pulls
    std::condition_variable m_woken;
    bool m_wakeRequested = false;
};

// Discards the frames: a machine without sound still plays, on the clock.
class NullSink final : public ClockedSink {
public:
    using ClockedSink::ClockedSink;

protected:
    void consume(const float*, int) override {}
};
