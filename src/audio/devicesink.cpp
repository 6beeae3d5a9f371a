#include "audio/devicesink.h"

#include "audio/clockedsink.h"

#ifdef TOLVANE_HAVE_PULSE

#include <algorithm>
#include <cstring>
#include <pulse/pulseaudio.h>

namespace {
constexpr pa_usec_t TargetLatencyUsec = 150000;
constexpr pa_usec_t RequestUsec = 25000;
constexpr int FirstRetryMs = 250;
constexpr int LastRetryMs = 5000;

void release(pa_operation* operation) {
    if (operation)
        pa_operation_unref(operation);
}
} // namespace

DeviceSink::DeviceSink() = default;

DeviceSink::~DeviceSink() {
    stop();
    disconnect();
}

// ---- connecting

bool DeviceSink::startLoop() {
    if (m_loop)
        return true;
    m_loop = pa_threaded_mainloop_new();
    if (!m_loop)
        return false;
    m_api = pa_threaded_mainloop_get_api(m_loop);
    m_wakeEvent = m_api->defer_new(m_api, onWake, this);
    if (m_wakeEvent)
        m_api->defer_enable(m_wakeEvent, 0);
    if (!m_wakeEvent || pa_threaded_mainloop_start(m_loop) < 0) {
        disconnect();
        return false;
    }
    return true;
}

bool DeviceSink::connect() {
    if (!startLoop())
        return false;
    pa_threaded_mainloop_lock(m_loop);
    if (m_context && !PA_CONTEXT_IS_GOOD(pa_context_get_state(m_context)))
        closeContext();
    if (!m_context) {
        m_infoDone = false;
        m_context = pa_context_new(m_api, "Tolvane");
        if (m_context) {
            pa_context_set_state_callback(m_context, onContextState, this);
            if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
                closeContext();
        }
    }
    bool ready = false;
    while (m_context) {
        const pa_context_state_t state = pa_context_get_state(m_context);
        if (state == PA_CONTEXT_READY && m_infoDone) {
            ready = true;
            break;
        }
        if (!PA_CONTEXT_IS_GOOD(state))
            break;
        pa_threaded_mainloop_wait(m_loop);
    }
    pa_threaded_mainloop_unlock(m_loop);
    return ready && m_serverRate > 0;
}

void DeviceSink::onContextState(pa_context* context, void* self) {
    auto* sink = static_cast<DeviceSink*>(self);
    const pa_context_state_t state = pa_context_get_state(context);
    if (context == sink->m_context) {
        if (state == PA_CONTEXT_READY) {
            pa_operation* operation = pa_context_get_server_info(context, onServerInfo, sink);
            if (!operation)
                sink->m_infoDone = true; // connect() waits no longer
            release(operation);
        } else if (!PA_CONTEXT_IS_GOOD(state)) {
            sink->m_infoDone = true; // nothing more to wait for
            sink->loseDevice();
        }
    }
    pa_threaded_mainloop_signal(sink->m_loop, 0);
}

void DeviceSink::onServerInfo(pa_context* context, const pa_server_info* info, void* self) {
    auto* sink = static_cast<DeviceSink*>(self);
    if (context != sink->m_context)
        return;
    if (info) {
        sink->m_serverRate = int(info->sample_spec.rate);
        sink->m_defaultDevice = QByteArray(info->default_sink_name);
    }
    sink->m_infoDone = true;
    // Back after a restart: the stream is made anew.
    if (sink->m_running && !sink->m_stream)
        sink->openStream();
    pa_threaded_mainloop_signal(sink->m_loop, 0);
}

void DeviceSink::closeContext() {
    if (!m_context)
        return;
    pa_context_set_state_callback(m_context, nullptr, nullptr);
    pa_context_disconnect(m_context);
    pa_context_unref(m_context);
    m_context = nullptr;
}

void DeviceSink::disconnect() {
    if (!m_loop)
        return;
    pa_threaded_mainloop_stop(m_loop);
    closeStream();
    closeContext();
    if (m_retryEvent)
        m_api->time_free(m_retryEvent);
    if (m_wakeEvent)
        m_api->defer_free(m_wakeEvent);
    m_retryEvent = nullptr;
    m_wakeEvent = nullptr;
    pa_threaded_mainloop_free(m_loop);
    m_loop = nullptr;
    m_api = nullptr;
}

// ---- the stream

bool DeviceSink::start(const OutputFormat& format, AudioRenderer* renderer) {
    stop();
    if (!format.isValid() || !renderer || !startLoop())
        return false;
    const bool connected = connect();
    pa_threaded_mainloop_lock(m_loop);
    m_format = format;
    m_renderer = renderer;
    m_running = true;
    m_retryDelayMs = 0;
    if (connected && !m_stream)
        openStream();
    while (m_stream && !m_streaming && PA_STREAM_IS_GOOD(pa_stream_get_state(m_stream)))
        pa_threaded_mainloop_wait(m_loop);
    if (!m_streaming)
        loseDevice(); // plays on the clock and keeps trying
    pa_threaded_mainloop_unlock(m_loop);
    return true;
}

void DeviceSink::openStream() {
    pa_sample_spec sampleSpec{PA_SAMPLE_FLOAT32LE, uint32_t(m_format.sampleRate),
                              uint8_t(m_format.channels)};
    pa_channel_map map;
    pa_channel_map_init_extend(&map, sampleSpec.channels, PA_CHANNEL_MAP_DEFAULT);
    m_stream = pa_stream_new(m_context, "Music", &sampleSpec, &map);
    if (!m_stream) {
        loseDevice();
        return;
    }
    m_corked = false;
    m_silentFrames = 0;
    pa_stream_set_state_callback(m_stream, onStreamState, this);
    pa_stream_set_write_callback(m_stream, onWrite, this);
    pa_buffer_attr attributes;
    attributes.maxlength = uint32_t(-1);
    attributes.tlength = uint32_t(pa_usec_to_bytes(TargetLatencyUsec, &sampleSpec));
    attributes.prebuf = uint32_t(-1);
    attributes.minreq = uint32_t(pa_usec_to_bytes(RequestUsec, &sampleSpec));
    attributes.fragsize = uint32_t(-1);
    const auto flags = pa_stream_flags_t(PA_STREAM_INTERPOLATE_TIMING |
                                         PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_ADJUST_LATENCY);
    if (pa_stream_connect_playback(m_stream, nullptr, &attributes, flags, nullptr, nullptr) < 0)
        loseDevice();
}

void DeviceSink::closeStream() {
    if (!m_stream)
        return;
    pa_stream_set_write_callback(m_stream, nullptr, nullptr);
    pa_stream_set_state_callback(m_stream, nullptr, nullptr);
    pa_stream_disconnect(m_stream);
    pa_stream_unref(m_stream);
    m_stream = nullptr;
    m_streaming = false;
    m_corked = false;
}

void DeviceSink::onStreamState(pa_stream* stream, void* self) {
    auto* sink = static_cast<DeviceSink*>(self);
    const pa_stream_state_t state = pa_stream_get_state(stream);
    if (stream == sink->m_stream) {
        if (state == PA_STREAM_READY && sink->m_running) {
            sink->m_streaming = true;
            sink->m_retryDelayMs = 0;
            sink->stopFallback(); // the device takes over the pulling
        } else if (!PA_STREAM_IS_GOOD(state)) {
            sink->loseDevice();
        }
    }
    pa_threaded_mainloop_signal(sink->m_loop, 0);
}

void DeviceSink::stop() {
    if (!m_loop)
        return;
    // The callbacks start no fallback once this is seen; then the fallback,
    // if any, stops without the loop's lock held (it takes its own).
    pa_threaded_mainloop_lock(m_loop);
    m_running = false;
    if (m_retryEvent) {
        m_api->time_free(m_retryEvent);
        m_retryEvent = nullptr;
    }
    pa_threaded_mainloop_unlock(m_loop);
    stopFallback();
    pa_threaded_mainloop_lock(m_loop);
    closeStream();
    pa_threaded_mainloop_unlock(m_loop);
    m_latency = 0;
}

// ---- losing the server and finding it again (loop thread)

// The server went away or dropped the stream: playback goes on, silently, on
// a real-time clock until a new connection has a stream ready.
void DeviceSink::loseDevice() {
    m_streaming = false;
    m_latency = 0;
    if (m_stream)
        pa_stream_set_write_callback(m_stream, nullptr, nullptr);
    if (!m_running)
        return;
    startFallback();
    scheduleRetry();
}

void DeviceSink::scheduleRetry() {
    if (m_retryEvent || !m_running)
        return;
    m_retryDelayMs = m_retryDelayMs == 0 ? FirstRetryMs : std::min(LastRetryMs, m_retryDelayMs * 2);
    timeval when;
    pa_gettimeofday(&when);
    pa_timeval_add(&when, pa_usec_t(m_retryDelayMs) * PA_USEC_PER_MSEC);
    m_retryEvent = m_api->time_new(m_api, &when, onRetry, this);
}

void DeviceSink::onRetry(pa_mainloop_api* api, pa_time_event* event, const timeval*, void* self) {
    auto* sink = static_cast<DeviceSink*>(self);
    api->time_free(event);
    sink->m_retryEvent = nullptr;
    sink->retry();
}

void DeviceSink::retry() {
    if (!m_running)
        return;
    closeStream();
    closeContext();
    m_infoDone = false;
    m_context = pa_context_new(m_api, "Tolvane");
    if (!m_context) {
        scheduleRetry();
        return;
    }
    pa_context_set_state_callback(m_context, onContextState, this);
    if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        closeContext();
        scheduleRetry();
    }
}

void DeviceSink::startFallback() {
    std::lock_guard lock(m_fallbackMutex);
    if (!m_fallback) {
        m_fallback = std::make_unique<NullSink>(true);
        m_fallback->start(m_format, m_renderer);
    }
}

void DeviceSink::stopFallback() {
    std::lock_guard lock(m_fallbackMutex);
    if (m_fallback) {
        m_fallback->stop();
        m_fallback.reset();
    }
}

// ---- feeding (loop thread: the audio thread of the device)

void DeviceSink::onWrite(pa_stream*, size_t bytes, void* self) {
    static_cast<DeviceSink*>(self)->write(bytes);
}

void DeviceSink::write(size_t bytes) {
    if (!m_streaming || m_corked)
        return;
    using Activity = AudioRenderer::Activity;
    if (m_renderer->activity() == Activity::Paused) {
        setCorked(true);
        poke(); // a seek made meanwhile still applies
        return;
    }
    const size_t frameBytes = size_t(m_format.channels) * sizeof(float);
    while (bytes >= frameBytes) {
        void* data = nullptr;
        size_t size = bytes;
        if (pa_stream_begin_write(m_stream, &data, &size) < 0 || !data)
            return;
        const int frames = int(std::min(size, bytes) / frameBytes);
        if (frames <= 0) {
            pa_stream_cancel_write(m_stream);
            return;
        }
        auto* samples = static_cast<float*>(data);
        const int got = m_renderer->render(samples, frames, true);
        if (m_renderer->lastRenderJumped())
            dropBuffered();
        const Activity activity = got < frames ? m_renderer->activity() : Activity::Playing;
        // Paused: what the server holds plays on when the listener resumes.
        // Idle: once the last real frame has been heard, only silence is left.
        const bool drained = m_silentFrames > m_latency.load(std::memory_order_relaxed);
        if (activity == Activity::Paused || (activity == Activity::Idle && drained && got == 0)) {
            if (got > 0)
                pa_stream_write(m_stream, data, size_t(got) * frameBytes, nullptr, 0,
                                PA_SEEK_RELATIVE);
            else
                pa_stream_cancel_write(m_stream);
            if (activity == Activity::Idle)
                dropBuffered();
            setCorked(true);
            return;
        }
        if (got < frames)
            std::memset(samples + size_t(got) * m_format.channels, 0,
                        size_t(frames - got) * frameBytes);
        m_silentFrames = got > 0 ? frames - got : m_silentFrames + frames;
        pa_stream_write(m_stream, data, size_t(frames) * frameBytes, nullptr, 0, PA_SEEK_RELATIVE);
        bytes -= size_t(frames) * frameBytes;
    }
    pa_usec_t latency = 0;
    int negative = 0;
    if (pa_stream_get_latency(m_stream, &latency, &negative) == 0)
        m_latency.store(negative ? 0 : int64_t(latency) * m_format.sampleRate / 1000000,
                        std::memory_order_relaxed);
}

void DeviceSink::setCorked(bool corked) {
    if (corked == m_corked)
        return;
    m_corked = corked;
    release(pa_stream_cork(m_stream, corked ? 1 : 0, nullptr, nullptr));
}

// The frames the server holds are not to be heard any more.
void DeviceSink::dropBuffered() {
    release(pa_stream_flush(m_stream, nullptr, nullptr));
    m_latency = 0;
}

void DeviceSink::wake() {
    if (!m_loop)
        return;
    pa_threaded_mainloop_lock(m_loop);
    if (m_wakeEvent)
        m_api->defer_enable(m_wakeEvent, 1);
    pa_threaded_mainloop_unlock(m_loop);
}

void DeviceSink::onWake(pa_mainloop_api* api, pa_defer_event* event, void* self) {
    api->defer_enable(event, 0);
    static_cast<DeviceSink*>(self)->poke();
}

// The renderer's state changed: a pause stops the device at once instead of
// at its next request; while corked, a seek drops what the server holds and
// playing again uncorks.
void DeviceSink::poke() {
    if (!m_running || !m_streaming)
        return;
    using Activity = AudioRenderer::Activity;
    if (!m_corked) {
        if (m_renderer->activity() == Activity::Paused)
            setCorked(true);
        else
            return;
    }
    float none[2] = {};
    m_renderer->render(none, 0, true); // applies a jump made meanwhile
    if (m_renderer->lastRenderJumped())
        dropBuffered();
    if (m_renderer->activity() != Activity::Playing)
        return;
    setCorked(false);
    m_silentFrames = 0;
    const size_t writable = pa_stream_writable_size(m_stream);
    if (writable != size_t(-1))
        write(writable);
}

bool DeviceSink::moveTo(const QByteArray& deviceName) {
    if (!m_loop)
        return false;
    pa_threaded_mainloop_lock(m_loop);
    const QByteArray name = deviceName.isEmpty() ? m_defaultDevice : deviceName;
    pa_operation* operation = nullptr;
    if (m_stream && m_streaming && !name.isEmpty()) {
        operation = pa_context_move_sink_input_by_name(m_context, pa_stream_get_index(m_stream),
                                                       name.constData(), nullptr, nullptr);
    }
    const bool moved = operation != nullptr;
    release(operation);
    pa_threaded_mainloop_unlock(m_loop);
    return moved;
}

#else // no PulseAudio client library: there is no device

DeviceSink::DeviceSink() = default;
DeviceSink::~DeviceSink() = default;
bool DeviceSink::connect() {
    return false;
}
bool DeviceSink::start(const OutputFormat&, AudioRenderer*) {
    return false;
}
void DeviceSink::stop() {}
void DeviceSink::wake() {}
bool DeviceSink::moveTo(const QByteArray&) {
    return false;
}

#endif
