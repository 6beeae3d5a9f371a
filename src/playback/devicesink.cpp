#include "playback/devicesink.h"

#include "playback/clockedsink.h"

#ifdef TOLVANE_HAVE_PULSE

#include <cstring>
#include <pulse/pulseaudio.h>

namespace {
constexpr pa_usec_t TargetLatencyUsec = 150000;
constexpr pa_usec_t RequestUsec = 25000;
} // namespace

DeviceSink::DeviceSink() = default;

DeviceSink::~DeviceSink() {
    stop();
    disconnect();
}

void DeviceSink::onContextState(pa_context* context, void* self) {
    auto* sink = static_cast<DeviceSink*>(self);
    if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context)))
        sink->loseDevice();
    pa_threaded_mainloop_signal(sink->m_loop, 0);
}

void DeviceSink::onServerInfo(pa_context*, const pa_server_info* info, void* self) {
    auto* sink = static_cast<DeviceSink*>(self);
    if (info) {
        sink->m_serverRate = int(info->sample_spec.rate);
        sink->m_defaultDevice = QByteArray(info->default_sink_name);
    }
    sink->m_infoDone = true;
    pa_threaded_mainloop_signal(sink->m_loop, 0);
}

void DeviceSink::onStreamState(pa_stream* stream, void* self) {
    auto* sink = static_cast<DeviceSink*>(self);
    if (!PA_STREAM_IS_GOOD(pa_stream_get_state(stream)))
        sink->loseDevice();
    pa_threaded_mainloop_signal(sink->m_loop, 0);
}

// On the main loop's thread: the server went away or dropped the stream.
// Playback goes on, silently, on a real-time clock.
void DeviceSink::loseDevice() {
    if (!m_running)
        return;
    m_running = false;
    m_latency = 0;
    std::lock_guard lock(m_fallbackMutex);
    if (!m_fallback) {
        m_fallback = std::make_unique<NullSink>(true);
        m_fallback->start(m_format, m_renderer);
    }
}

void DeviceSink::onWrite(pa_stream*, size_t bytes, void* self) {
    static_cast<DeviceSink*>(self)->write(bytes);
}

bool DeviceSink::connect() {
    if (m_context)
        return true;
    m_loop = pa_threaded_mainloop_new();
    if (!m_loop)
        return false;
    m_context = pa_context_new(pa_threaded_mainloop_get_api(m_loop), "Tolvane");
    if (!m_context) {
        disconnect();
        return false;
    }
    pa_context_set_state_callback(m_context, onContextState, this);
    if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
        pa_threaded_mainloop_start(m_loop) < 0) {
        disconnect();
        return false;
    }
    pa_threaded_mainloop_lock(m_loop);
    bool ready = false;
    for (;;) {
        const pa_context_state_t state = pa_context_get_state(m_context);
        if (state == PA_CONTEXT_READY) {
            ready = true;
            break;
        }
        if (!PA_CONTEXT_IS_GOOD(state))
            break;
        pa_threaded_mainloop_wait(m_loop);
    }
    if (ready) {
        m_infoDone = false;
        if (pa_operation* operation = pa_context_get_server_info(m_context, onServerInfo, this)) {
            while (!m_infoDone && pa_operation_get_state(operation) == PA_OPERATION_RUNNING)
                pa_threaded_mainloop_wait(m_loop);
            pa_operation_unref(operation);
        }
    }
    pa_threaded_mainloop_unlock(m_loop);
    if (!ready || m_serverRate <= 0) {
        disconnect();
        return false;
    }
    return true;
}

void DeviceSink::disconnect() {
    if (m_loop)
        pa_threaded_mainloop_stop(m_loop);
    if (m_context) {
        pa_context_set_state_callback(m_context, nullptr, nullptr);
        pa_context_disconnect(m_context);
        pa_context_unref(m_context);
        m_context = nullptr;
    }
    if (m_loop) {
        pa_threaded_mainloop_free(m_loop);
        m_loop = nullptr;
    }
}

bool DeviceSink::start(const OutputFormat& format, AudioRenderer* renderer) {
    stop();
    if (!format.isValid() || !renderer || !connect())
        return false;
    m_format = format;
    m_renderer = renderer;
    pa_sample_spec sampleSpec{PA_SAMPLE_FLOAT32LE, uint32_t(format.sampleRate),
                              uint8_t(format.channels)};
    pa_channel_map map;
    pa_channel_map_init_extend(&map, sampleSpec.channels, PA_CHANNEL_MAP_DEFAULT);

    pa_threaded_mainloop_lock(m_loop);
    m_stream = pa_stream_new(m_context, "Music", &sampleSpec, &map);
    bool ready = false;
    if (m_stream) {
        pa_stream_set_state_callback(m_stream, onStreamState, this);
        pa_stream_set_write_callback(m_stream, onWrite, this);
        pa_buffer_attr attributes;
        attributes.maxlength = uint32_t(-1);
        attributes.tlength = uint32_t(pa_usec_to_bytes(TargetLatencyUsec, &sampleSpec));
        attributes.prebuf = uint32_t(-1);
        attributes.minreq = uint32_t(pa_usec_to_bytes(RequestUsec, &sampleSpec));
        attributes.fragsize = uint32_t(-1);
        const auto flags = pa_stream_flags_t(
            PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_ADJUST_LATENCY);
        if (pa_stream_connect_playback(m_stream, nullptr, &attributes, flags, nullptr, nullptr) ==
            0) {
            for (;;) {
                const pa_stream_state_t state = pa_stream_get_state(m_stream);
                if (state == PA_STREAM_READY) {
                    ready = true;
                    break;
                }
                if (!PA_STREAM_IS_GOOD(state))
                    break;
                pa_threaded_mainloop_wait(m_loop);
            }
        }
    }
    m_running = ready;
    pa_threaded_mainloop_unlock(m_loop);
    if (!ready)
        stop();
    return ready;
}

void DeviceSink::stop() {
    if (!m_loop || !m_stream)
        return;
    // The callbacks start no fallback once this is seen; then the fallback,
    // if any, stops without the loop's lock held (it takes its own).
    pa_threaded_mainloop_lock(m_loop);
    m_running = false;
    pa_threaded_mainloop_unlock(m_loop);
    {
        std::lock_guard lock(m_fallbackMutex);
        if (m_fallback) {
            m_fallback->stop();
            m_fallback.reset();
        }
    }
    pa_threaded_mainloop_lock(m_loop);
    pa_stream_set_write_callback(m_stream, nullptr, nullptr);
    pa_stream_set_state_callback(m_stream, nullptr, nullptr);
    pa_stream_disconnect(m_stream);
    pa_stream_unref(m_stream);
    m_stream = nullptr;
    pa_threaded_mainloop_unlock(m_loop);
    m_latency = 0;
}

// Runs on the main loop's thread: the audio thread of the device.
void DeviceSink::write(size_t bytes) {
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
        if (got < frames)
            std::memset(samples + size_t(got) * m_format.channels, 0,
                        size_t(frames - got) * frameBytes);
        pa_stream_write(m_stream, data, size_t(frames) * frameBytes, nullptr, 0, PA_SEEK_RELATIVE);
        bytes -= size_t(frames) * frameBytes;
    }
    pa_usec_t latency = 0;
    int negative = 0;
    if (pa_stream_get_latency(m_stream, &latency, &negative) == 0)
        m_latency.store(negative ? 0 : int64_t(latency) * m_format.sampleRate / 1000000,
                        std::memory_order_relaxed);
}

bool DeviceSink::moveTo(const QByteArray& deviceName) {
    const QByteArray name = deviceName.isEmpty() ? m_defaultDevice : deviceName;
    if (!m_loop || !m_stream || name.isEmpty())
        return false;
    pa_threaded_mainloop_lock(m_loop);
    const uint32_t index = pa_stream_get_index(m_stream);
    pa_operation* operation =
        pa_context_move_sink_input_by_name(m_context, index, name.constData(), nullptr, nullptr);
    if (operation)
        pa_operation_unref(operation);
    pa_threaded_mainloop_unlock(m_loop);
    return operation != nullptr;
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
bool DeviceSink::moveTo(const QByteArray&) {
    return false;
}

#endif
