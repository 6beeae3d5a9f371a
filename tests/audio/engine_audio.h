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
// at 1.5 times it; `offset` is the frame the first sample stands for. At
// 440 Hz no stretch of a few thousand frames repeats an earlier one exactly.
Samples sine(int frames, int sampleRate, double frequency = 440.0, int64_t offset = 0);
// The frames [from, from + count) of `samples`.
Samples slice(const Samples& samples, int64_t from, int64_t count);
Samples joined(const std::vector<Samples>& parts);
int64_t frameCount(const Samples& samples);
// Equal sample for sample (within `tolerance`); names the first difference.
void expectSamples(const Samples& actual, const Samples& expected, float tolerance = 0);
// The largest |x[n+1] - x[n]| over both channels, for frames in [from, to).
float largestStep(const Samples& samples, int64_t from, int64_t to);

// Writes integer PCM of `bits` (16 or 24); returns the samples as the file
// holds them (quantised), which is what a lossless decode must give back.
Samples writePcmWav(const QString& path, const Samples& samples, int sampleRate, int bits = 16);
// Runs the ffmpeg command line tool: ffmpeg -v error -y -i INPUT ARGS... OUTPUT.
bool ffmpeg(const QString& input, const QString& output, const QStringList& arguments = {});
// FFmpeg's own decode of a file as float with `channels` channels.
Samples ffmpegDecode(const QString& path, int channels = 2);

// The samples of a stereo 32-bit float WAV as the wav: output writes them
// (none when it is not one); `sampleRate` receives its rate.
Samples readFloatWav(const QString& path, int* sampleRate = nullptr);

// Plays on the wav: output, as fast as frames come unless `realTime`, in a
// temporary folder.
class EngineFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    QString path(const QString& name) const { return dir.filePath(name); }
    // Points the output at a new WAV file (rate 0: the first track's).
    void useWavOutput(int sampleRate = 0, bool realTime = false);
    // Closes the output and reads what it wrote, at `writtenRate`.
    Samples finishOutput();
    std::unique_ptr<QueuePlayer> player(const QStringList& paths);
    // Plays the files as one queue to the end and returns the output.
    Samples render(const QStringList& paths, int outputRate = 0);
    // Waits until the player has no current item (it played to its end).
    static bool waitForEnd(QueuePlayer& player, int timeoutMs = 15000);

    QTemporaryDir dir;
    QString outputPath;
    int writtenRate = 0;
};

} // namespace enginetest
