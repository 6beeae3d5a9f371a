#pragma once

#include "audio/playeritem.h"
#include "audio/queueplayer.h"

#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace enginetest {

// Interleaved stereo float samples.
using Samples = std::vector<float>;

// A stereo sine whose phase runs on across any cut: left at `frequency`, right
// at 1.5 times it; `offset` is the frame the first sample stands for.
Samples sine(int frames, int sampleRate, double frequency = 441.0, int64_t offset = 0,
             double amplitude = 0.5);
// A stereo sweep from 100 Hz to 8 kHz over `frames`.
Samples sweep(int frames, int sampleRate);
// The frames [from, from + count) of `samples`.
Samples slice(const Samples& samples, int64_t from, int64_t count);
int64_t frameCount(const Samples& samples);

// Writes integer PCM of `bits` (16 or 24); returns the samples as the file
// holds them (quantised), which is what a lossless decode must give back.
Samples writePcmWav(const QString& path, const Samples& samples, int sampleRate, int bits = 16);

// Runs the ffmpeg command line tool: ffmpeg -v error -y -i INPUT ARGS... OUTPUT.
bool ffmpeg(const QString& input, const QString& output, const QStringList& arguments = {});
// FFmpeg's own decode of a file as float with `channels` channels.
Samples ffmpegDecode(const QString& path, int channels = 2);

struct FloatWav {
    bool valid = false;
    int sampleRate = 0;
    int channels = 0;
    Samples samples;
};
FloatWav readFloatWav(const QString& path);

// The largest |x[n+1] - x[n]| over both channels, for frames in [from, to).
float largestStep(const Samples& samples, int64_t from, int64_t to);
// The step from frame `frame - 1` to `frame`.
float stepAt(const Samples& samples, int64_t frame);

// Plays on the `wav:` output as fast as frames come, in a temporary folder.
class EngineFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    QString path(const QString& name) const;
    // Points the output at a new WAV file (rate 0: the first track's).
    void useWavOutput(int sampleRate = 0, bool fast = true);
    // Closes the output and reads what it wrote.
    FloatWav finishOutput();

    static QList<PlayerItem*> itemsFor(const QStringList& paths);
    // Plays the files as one queue to the end and returns the output.
    FloatWav render(const QStringList& paths, int outputRate = 0);
    // Waits until the player has no current item (it played to its end).
    static bool waitForEnd(QueuePlayer& player, int timeoutMs = 15000);

    QTemporaryDir dir;
    QString outputPath;
};

} // namespace enginetest
