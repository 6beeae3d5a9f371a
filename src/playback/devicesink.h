#pragma once

#include "playback/audiosink.h"

#include <QByteArray>
#include <atomic>
#include <memory>
#include <mutex>

struct pa_context;
struct pa_server_info;
struct pa_stream;
struct pa_threaded_mainloop;
class NullSink;

// The sound device, through the sound server's own client library (PulseAudio
// protocol, also served by PipeWire) on its threaded main loop: the write
// callback runs on that loop's thread and pulls from the renderer. Qt's audio
// sink is not used because its PulseAudio backend crashes now and then in its
// static teardown at exit.
class DeviceSink final : public AudioSink {
public:
    DeviceSink();
    ~DeviceSink() override;

    // Reaches the sound server (never starts one); false when there is none.
    bool connect();

    int preferredSampleRate() const override { return m_serverRate; }
    bool start(const OutputFormat& format, AudioRenderer* renderer) override;
    void stop() override;
    int64_t latencyFrames() const override { return m_latency.load(std::memory_order_relaxed); }

    // Moves the playing stream to another device (its server name), or to the
    // default device for an empty name, without stopping it.
    bool moveTo(const QByteArray& deviceName);

private:
    static void onContextState(pa_context* context, void* self);
    static void onServerInfo(pa_context* context, const pa_server_info* info, void* self);
    static void onStreamState(pa_stream* stream, void* self);
    static void onWrite(pa_stream* stream, size_t bytes, void* self);
    void write(size_t bytes);
    void loseDevice();
    void disconnect();

    pa_threaded_mainloop* m_loop = nullptr;
    pa_context* m_context = nullptr;
    pa_stream* m_stream = nullptr;
    AudioRenderer* m_renderer = nullptr;
    OutputFormat m_format;
    int m_serverRate = 0;
    QByteArray m_defaultDevice;
    bool m_infoDone = false;
    std::atomic<int64_t> m_latency{0};
    bool m_running = false; // under the loop's lock
    std::mutex m_fallbackMutex;
    std::unique_ptr<NullSink> m_fallback;
};
