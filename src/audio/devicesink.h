#pragma once

#include "audio/audiosink.h"

#include <QByteArray>
#include <atomic>
#include <memory>
#include <mutex>

struct pa_context;
struct pa_defer_event;
struct pa_mainloop_api;
struct pa_server_info;
struct pa_stream;
struct pa_threaded_mainloop;
struct pa_time_event;
class NullSink;

// The sound device, through the sound server's own client library (PulseAudio
// protocol, also served by PipeWire) on its threaded main loop: the write
// callback runs on that loop's thread and pulls from the renderer. Qt's audio
// sink is not used because its PulseAudio backend crashes now and then in its
// static teardown at exit.
//
// While there is no server (not started yet, or restarting) playback goes on
// silently on a real-time clock, and the sink connects again, backing off
// from a quarter second to five seconds between tries. While the renderer is
// paused or idle the stream is corked, so the device may suspend; what the
// server holds of a paused track plays on when it resumes, what it holds
// before a jump is dropped.
class DeviceSink final : public AudioSink {
public:
    DeviceSink();
    ~DeviceSink() override;

    // Reaches the sound server (never starts one); false when there is none.
    bool connect();

    int preferredSampleRate() const override { return m_serverRate.load(); }
    // Fails only when the client library cannot run at all.
    bool start(const OutputFormat& format, AudioRenderer* renderer) override;
    void stop() override;
    int64_t latencyFrames() const override { return m_latency.load(std::memory_order_relaxed); }
    void wake() override;

    // Moves the playing stream to another device (its server name), or to the
    // default device for an empty name, without stopping it.
    bool moveTo(const QByteArray& deviceName);

private:
    static void onContextState(pa_context* context, void* self);
    static void onServerInfo(pa_context* context, const pa_server_info* info, void* self);
    static void onStreamState(pa_stream* stream, void* self);
    static void onWrite(pa_stream* stream, size_t bytes, void* self);
    static void onRetry(pa_mainloop_api* api, pa_time_event* event, const struct timeval*,
                        void* self);
    static void onWake(pa_mainloop_api* api, pa_defer_event* event, void* self);

    bool startLoop();
    void openStream();
    void write(size_t bytes);
    void poke();
    void setCorked(bool corked);
    void dropBuffered();
    void loseDevice();
    void scheduleRetry();
    void retry();
    void closeStream();
    void closeContext();
    void startFallback();
    void stopFallback();
    void disconnect();

    // Loop-thread state: touched under the loop's lock.
    pa_threaded_mainloop* m_loop = nullptr;
    pa_mainloop_api* m_api = nullptr;
    pa_context* m_context = nullptr;
    pa_stream* m_stream = nullptr;
    pa_time_event* m_retryEvent = nullptr;
    pa_defer_event* m_wakeEvent = nullptr;
    AudioRenderer* m_renderer = nullptr;
    OutputFormat m_format;
    QByteArray m_defaultDevice;
    bool m_infoDone = false;
    bool m_running = false;   // started and not stopped
    bool m_streaming = false; // the stream is ready and fed
    bool m_corked = false;
    int64_t m_silentFrames = 0; // written since the last real frame
    int m_retryDelayMs = 0;

    std::atomic<int> m_serverRate{0};
    std::atomic<int64_t> m_latency{0};
    std::mutex m_fallbackMutex;
    std::unique_ptr<NullSink> m_fallback;
};
