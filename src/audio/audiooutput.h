#pragma once

#include "audio/audiosink.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <memory>
#include <mutex>

// The one output stream of the process, shared by all players.
//
// It stays open across tracks and players: the newest player attaches its
// stream and feeds it, an older one is detached, so a new load never reopens
// the device. The sink is chosen by TOLVANE_AUDIO_OUTPUT:
//   "auto" (default)  the same as "device";
//   "device"          the sound device; while there is no sound server (not
//                     yet started, or restarting) playback goes on silently
//                     on a real-time clock and the sound returns when the
//                     server does;
//   "null"            a real-time clock that discards the frames;
//   "wav:PATH"        every frame played, as a 32-bit float WAV file.
// "null" and "wav:" keep real time, or run as fast as frames come when
// TOLVANE_OUTPUT_PACE is "fast". The output's rate is the device's; for "null"
// and "wav:" it is the first track's unless TOLVANE_OUTPUT_RATE gives one.
class AudioOutput final : public AudioRenderer {
public:
    enum class Kind { Null, Wav, Device };

    static AudioOutput& shared();

    // Chooses the sink as TOLVANE_AUDIO_OUTPUT would (`spec`), with the pace
    // and rate of "null" and "wav:" (`sampleRate` 0: the first track's). A
    // running sink is closed; the next start() opens the new one. Meant for
    // tests and tools; players created before keep the old format.
    void configure(const QString& spec, bool fastPace = false, int sampleRate = 0);
    // Reads TOLVANE_AUDIO_OUTPUT, TOLVANE_OUTPUT_PACE and TOLVANE_OUTPUT_RATE.
    void configureFromEnvironment();

    // Opens the sink unless it is open; returns the format players decode to.
    // `preferredRate` is the rate of the track that asks first. Any thread.
    OutputFormat start(int preferredRate);
    OutputFormat format() const;
    Kind kind() const;

    // The stream that feeds the output from now on (replacing any other).
    void attach(AudioRenderer* stream);
    // Stops feeding from `stream` if it is the attached one. When either
    // returns, no render call of a replaced stream is running.
    void detach(AudioRenderer* stream);
    bool isAttached(const AudioRenderer* stream) const { return m_stream.load() == stream; }

    // Frames are ready after a pause or a shortage: the sink may take them now.
    void wakeSink();

    // Frames handed to the sink that have not been heard yet.
    int64_t latencyFrames() const;
    // Frames of playback handed to the sink so far (not counting silence).
    int64_t framesPlayed() const { return m_framesPlayed.load(std::memory_order_relaxed); }

    // Moves the sound to another device (the server's name for it, as in
    // QAudioDevice::id()); false when not playing on a device.
    bool moveToDevice(const QByteArray& deviceId);

    // Closes the sink; runs at application exit.
    void shutdown();

    // The sink's side.
    int render(float* destination, int frames, bool paced) override;
    Activity activity() const override;
    bool lastRenderJumped() const override { return m_jumped; }

private:
    AudioOutput();
    ~AudioOutput() override;
    void waitUntilIdle() const;
    void closeSink(); // under m_mutex

    mutable std::mutex m_mutex; // configuring and starting; never the audio thread
    // Held while m_sink changes and while it is woken; never for long, so a
    // wake is never skipped (a corked device would stay silent).
    std::mutex m_wakeMutex;
    Kind m_kind = Kind::Null;
    QString m_wavPath;
    bool m_fastPace = false;
    int m_fixedRate = 0;
    std::unique_ptr<AudioSink> m_sink;
    OutputFormat m_format;

    std::atomic<AudioSink*> m_activeSink{nullptr};
    std::atomic<AudioRenderer*> m_stream{nullptr};
    mutable std::atomic<bool> m_rendering{false};
    std::atomic<uint32_t> m_attachSerial{0};
    uint32_t m_renderedSerial = 0; // the audio thread's
    bool m_jumped = false;         // the audio thread's
    std::atomic<int64_t> m_framesPlayed{0};
    std::atomic<int64_t> m_silenceTail{0};
};
