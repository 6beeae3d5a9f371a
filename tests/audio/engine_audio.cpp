#include "engine_audio.h"

#include "audio/audiooutput.h"
#include "support/testsupport.h"

#include <QDataStream>
#include <QtEndian>
#include <cmath>

namespace enginetest {

Samples sine(int frames, int sampleRate, double frequency, int64_t offset) {
    Samples samples(size_t(frames) * 2);
    for (int i = 0; i < frames; ++i) {
        const double t = double(offset + i) / sampleRate;
        samples[2 * i] = float(0.5 * std::sin(2 * M_PI * frequency * t));
        samples[2 * i + 1] = float(0.5 * std::sin(2 * M_PI * frequency * 1.5 * t + 1.0));
    }
    return samples;
}

Samples slice(const Samples& samples, int64_t from, int64_t count) {
    const size_t begin = std::min(samples.size(), size_t(from) * 2);
    const size_t end = std::min(samples.size(), size_t(from + count) * 2);
    return Samples(samples.begin() + begin, samples.begin() + end);
}

Samples joined(const std::vector<Samples>& parts) {
    Samples all;
    for (const Samples& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

void expectSamples(const Samples& actual, const Samples& expected, float tolerance) {
    ASSERT_EQ(frameCount(actual), frameCount(expected));
    for (size_t i = 0; i < expected.size(); ++i)
        if (!(std::abs(actual[i] - expected[i]) <= tolerance))
            FAIL() << "first difference at frame " << i / 2 << ": " << actual[i] << " instead of "
                   << expected[i];
}

float largestStep(const Samples& samples, int64_t from, int64_t to) {
    float largest = 0;
    for (size_t i = 2 * size_t(std::max<int64_t>(from, 1));
         i < 2 * size_t(std::min(to, frameCount(samples))); i += 2)
        largest = std::max({largest, std::abs(samples[i] - samples[i - 2]),
                            std::abs(samples[i + 1] - samples[i - 1])});
    return largest;
}

Samples writePcmWav(const QString& path, const Samples& samples, int sampleRate, int bits) {
    const int width = bits / 8;
    const double scale = bits == 16 ? 32768.0 : 8388608.0;
    const auto dataBytes = quint32(samples.size() * width);
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + dataBytes);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(2) << quint32(sampleRate)
        << quint32(sampleRate * 2 * width) << quint16(2 * width) << quint16(bits);
    out.writeRawData("data", 4);
    out << dataBytes;
    Samples stored(samples.size());
    for (size_t i = 0; i < samples.size(); ++i) {
        const auto code =
            int32_t(std::clamp(std::lround(samples[i] * scale), -long(scale), long(scale) - 1));
        stored[i] = float(code / scale);
        out.writeRawData(reinterpret_cast<const char*>(&code), width); // little-endian host
    }
    testsupport::writeFile(path, bytes);
    return stored;
}

bool ffmpeg(const QString& input, const QString& output, const QStringList& arguments) {
    QByteArray log;
    const int code = testsupport::runProgram(
        "ffmpeg",
        QStringList{"-v", "error", "-y"} +
                (input.startsWith('/') ? QStringList{} : QStringList{"-f", "lavfi"})
            << "-i" << input << arguments << output,
        &log);
    if (code != 0)
        ADD_FAILURE() << "ffmpeg failed for " << output.toStdString() << ": " << log.toStdString();
    return code == 0;
}

Samples ffmpegDecode(const QString& path, int channels) {
    QByteArray bytes; // standard error too, so nothing when ffmpeg fails
    if (testsupport::runProgram(
            "ffmpeg",
            {"-v", "error", "-i", path, "-ac", QString::number(channels), "-f", "f32le", "-"},
            &bytes) != 0)
        return {};
    Samples samples(size_t(bytes.size()) / sizeof(float));
    if (!samples.empty()) // an empty vector's data() may be null
        memcpy(samples.data(), bytes.constData(), samples.size() * sizeof(float));
    return samples;
}

void EngineFixture::useWavOutput(int sampleRate, bool realTime) {
    static int serial = 0;
    outputPath = path(QString("output-%1.wav").arg(++serial));
    AudioOutput::shared().configure("wav:" + outputPath, !realTime, sampleRate);
}

Samples readFloatWav(const QString& path) {
    const QByteArray bytes = testsupport::readFile(path);
    if (bytes.size() < 44 || bytes.mid(36, 4) != "data" || bytes[20] != 3 || bytes[22] != 2)
        return {};
    Samples samples(
        std::min<qsizetype>(qFromLittleEndian<quint32>(bytes.constData() + 40), bytes.size() - 44) /
        sizeof(float));
    if (!samples.empty()) // an empty vector's data() may be null
        memcpy(samples.data(), bytes.constData() + 44, samples.size() * sizeof(float));
    return samples;
}

Samples EngineFixture::finishOutput() {
    AudioOutput::shared().configure("null");
    return readFloatWav(outputPath);
}

std::unique_ptr<QueuePlayer> EngineFixture::player(const QStringList& paths) {
    QList<PlayerItem*> items;
    for (const QString& file : paths)
        items.append(new PlayerItem(QUrl::fromLocalFile(file)));
    return makeQueuePlayer(items);
}

Samples EngineFixture::render(const QStringList& paths, int outputRate) {
    useWavOutput(outputRate);
    {
        std::unique_ptr<QueuePlayer> queue = player(paths);
        queue->play();
        EXPECT_TRUE(waitForEnd(*queue)) << "playback did not end";
    }
    return finishOutput();
}

bool EngineFixture::waitForEnd(QueuePlayer& player, int timeoutMs) {
    return testsupport::waitUntil([&] { return player.currentItem() == nullptr; }, timeoutMs);
}

} // namespace enginetest
