#include "audio/audiooutput.h"

#include "audio/clockedsink.h"
#include "audio/devicesink.h"
#include "audio/wavsink.h"

#include <QCoreApplication>
#include <thread>

namespace {

constexpr int FallbackRate = 44100;

} // namespace

AudioOutput& AudioOutput::shared() {
    static AudioOutput* output = [] {
        auto* created = new AudioOutput;
        // Closed while the application object still exists, before any static
        // teardown, so the process always exits cleanly.
        if (QCoreApplication::instance())
            qAddPostRoutine([] { AudioOutput::shared().shutdown(); });
        return created;
    }();
    return *output;
}

AudioOutput::AudioOutput() {
    configureFromEnvironment();
}

AudioOutput::~AudioOutput() {
    shutdown();
}

void AudioOutput::configureFromEnvironment() {
    const QString spec = qEnvironmentVariable("TOLVANE_AUDIO_OUTPUT", QStringLiteral("auto"));
    const bool fast = qEnvironmentVariable("TOLVANE_OUTPUT_PACE") == QLatin1String("fast");
    configure(spec, fast, qEnvironmentVariableIntValue("TOLVANE_OUTPUT_RATE"));
}

void AudioOutput::configure(const QString& spec, bool fastPace, int sampleRate) {
    Kind kind = Kind::Null;
    QString path;
    if (spec.startsWith(QLatin1String("wav:"))) {
        kind = Kind::Wav;
        path = spec.mid(4);
    } else if (spec == QLatin1String("null")) {
        kind = Kind::Null;
    } else {
        kind = Kind::Device;
    }
    std::lock_guard lock(m_mutex);
    closeSink();
    m_format = {};
    m_kind = kind;
    m_wavPath = path;
    m_fastPace = fastPace;
    m_fixedRate = sampleRate > 0 ? sampleRate : 0;
}

OutputFormat AudioOutput::start(int preferredRate) {
    std::lock_guard lock(m_mutex);
    if (m_sink)
        return m_format;
    OutputFormat format;
    format.sampleRate = m_fixedRate > 0     ? m_fixedRate
                        : preferredRate > 0 ? preferredRate
                                            : FallbackRate;
    std::unique_ptr<AudioSink> sink;
    if (m_kind == Kind::Device) {
        // Without a server yet the device sink plays on a clock and keeps
        // looking for one; the server resamples from the track's rate then.
        auto device = std::make_unique<DeviceSink>();
        if (device->connect())
            format.sampleRate = device->preferredSampleRate();
        else
            qWarning("Audio output: no sound server yet, playing without sound");
        if (device->start(format, this))
            sink = std::move(device);
    } else if (m_kind == Kind::Wav) {
        auto wav = std::make_unique<WavSink>(m_wavPath, !m_fastPace);
        if (wav->start(format, this))
            sink = std::move(wav);
        else
            qWarning("Audio output: cannot write %s", qPrintable(m_wavPath));
    }
    if (!sink) {
        auto null = std::make_unique<NullSink>(!m_fastPace || m_kind != Kind::Null);
        null->start(format, this);
        sink = std::move(null);
    }
    {
        std::lock_guard wakeLock(m_wakeMutex);
        m_sink = std::move(sink);
    }
    m_format = format;
    m_activeSink = m_sink.get();
    return m_format;
}

OutputFormat AudioOutput::format() const {
    std::lock_guard lock(m_mutex);
    return m_format;
}

AudioOutput::Kind AudioOutput::kind() const {
    std::lock_guard lock(m_mutex);
    return m_kind;
}

void AudioOutput::waitUntilIdle() const {
    while (m_rendering.load(std::memory_order_seq_cst))
        std::this_thread::yield();
}

void AudioOutput::attach(AudioRenderer* stream) {
    m_attachSerial.fetch_add(1, std::memory_order_seq_cst);
    m_stream.store(stream, std::memory_order_seq_cst);
    waitUntilIdle();
}

void AudioOutput::detach(AudioRenderer* stream) {
    AudioRenderer* expected = stream;
    if (m_stream.compare_exchange_strong(expected, nullptr, std::memory_order_seq_cst))
        waitUntilIdle();
}

int AudioOutput::render(float* destination, int frames, bool paced) {
    m_rendering.store(true, std::memory_order_seq_cst);
    const uint32_t serial = m_attachSerial.load(std::memory_order_seq_cst);
    AudioRenderer* stream = m_stream.load(std::memory_order_seq_cst);
    const int got = stream ? stream->render(destination, frames, paced) : 0;
    // Another player's frames never continue what the sink holds.
    m_jumped = serial != m_renderedSerial || (stream && stream->lastRenderJumped());
    m_renderedSerial = serial;
    m_rendering.store(false, std::memory_order_seq_cst);
    m_framesPlayed.fetch_add(got, std::memory_order_relaxed);
    // Silence after the last real frame shortens what is still to be heard.
    const int64_t tail = m_silenceTail.load(std::memory_order_relaxed);
    m_silenceTail.store(got == 0 ? tail + frames : frames - got, std::memory_order_relaxed);
    return got;
}

AudioRenderer::Activity AudioOutput::activity() const {
    m_rendering.store(true, std::memory_order_seq_cst);
    const AudioRenderer* stream = m_stream.load(std::memory_order_seq_cst);
    const Activity activity = stream ? stream->activity() : Activity::Idle;
    m_rendering.store(false, std::memory_order_seq_cst);
    return activity;
}

void AudioOutput::wakeSink() {
    std::lock_guard lock(m_wakeMutex);
    if (m_sink)
        m_sink->wake();
}

int64_t AudioOutput::latencyFrames() const {
    const AudioSink* sink = m_activeSink.load(std::memory_order_acquire);
    if (!sink)
        return 0;
    return std::max<int64_t>(0, sink->latencyFrames() - m_silenceTail.load());
}

bool AudioOutput::moveToDevice(const QByteArray& deviceId) {
    std::lock_guard lock(m_mutex);
    auto* device = dynamic_cast<DeviceSink*>(m_sink.get());
    return device && device->moveTo(deviceId);
}

void AudioOutput::shutdown() {
    std::lock_guard lock(m_mutex);
    closeSink();
    m_format = {};
}

void AudioOutput::closeSink() {
    m_activeSink = nullptr;
    std::unique_ptr<AudioSink> sink;
    {
        std::lock_guard wakeLock(m_wakeMutex);
        sink = std::move(m_sink);
    }
    if (sink)
        sink->stop();
}
