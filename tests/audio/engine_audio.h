#pragma once

#include "audio/playeritem.h"
#include "audio/queueplayer.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace enginetest {

using Samples = std::vector<float>; // interleaved stereo

// A stereo sine from frame `offset`, no stretch of it repeating an earlier one.
Samples sine(int frames, int sampleRate, double frequency = 440.0, int64_t offset = 0);
Samples slice(const Samples& samples, int64_t from, int64_t count);
Samples joined(const std::vector<Samples>& parts);
inline int64_t frameCount(const Samples& s) {
    return int64_t(s.size() / 2);
}
// Equal sample for sample within `tolerance`; names the first difference.
void expectSamples(const Samples& actual, const Samples& expected, float tolerance = 0);
// The largest step between neighbouring frames in [from, to), both channels.
float largestStep(const Samples& samples, int64_t from, int64_t to);
// Writes 16- or 24-bit PCM; returns the quantised samples the file holds.
Samples writePcmWav(const QString& path, const Samples& samples, int sampleRate, int bits = 16);
// ffmpeg -v error -y -i INPUT ARGS... OUTPUT; an INPUT not a path is a lavfi source.
bool ffmpeg(const QString& input, const QString& output, const QStringList& arguments = {});
Samples ffmpegDecode(const QString& path, int channels = 2);
// The stereo float WAV the wav: output writes (read here: ffmpeg is slow).
Samples readFloatWav(const QString& path);

// Plays on the wav: output in a temporary folder, as fast as frames come.
class EngineFixture : public ::testing::Test {
protected:
    void SetUp() override { useWavOutput(); }
    void TearDown() override { finishOutput(); }

    QString path(const QString& name) const { return dir.filePath(name); }
    void useWavOutput(int sampleRate = 0, bool realTime = false); // rate 0: the first track's
    Samples finishOutput(); // closes the output and reads what it wrote
    std::unique_ptr<QueuePlayer> player(const QStringList& paths);
    Samples render(const QStringList& paths, int outputRate = 0); // one queue, to its end
    static bool waitForEnd(QueuePlayer& player, int timeoutMs = 15000);

    QTemporaryDir dir;
    QString outputPath;
};

} // namespace enginetest
