#include "engine_audio.h"

#include "audio/audiooutput.h"
#include "support/testsupport.h"

#include <QProcess>
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

int64_t frameCount(const Samples& samples) {
    return int64_t(samples.size() / 2);
}

void expectSamples(const Samples& actual, const Samples& expected, float tolerance) {
    ASSERT_EQ(frameCount(actual), frameCount(expected));
    for (size_t i = 0; i < expected.size(); ++i) {
        if (!(std::abs(actual[i] - expected[i]) <= tolerance))
            FAIL() << "first difference at frame " << i / 2 << ": " << actual[i] << " instead of "
                   << expected[i];
    }
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
    Samples stored(samples.size());
    QByteArray bytes(44 + int(samples.size()) * width, '\0');
    char* data = bytes.data() + 44;
    for (size_t i = 0; i < samples.size(); ++i, data += width) {
        const auto code =
            int32_t(std::clamp(std::lround(samples[i] * scale), -long(scale), long(scale) - 1));
        stored[i] = float(code / scale);
        for (int b = 0; b < width; ++b)
            data[b] = char((code >> (8 * b)) & 0xFF);
    }
    char* head = bytes.data();
    memcpy(head, "RIFF", 4);
    qToLittleEndian(uint32_t(bytes.size() - 8), head + 4);
    memcpy(head + 8, "WAVEfmt ", 8);
    qToLittleEndian(uint32_t(16), head + 16);
    qToLittleEndian(uint16_t(1), head + 20);
    qToLittleEndian(uint16_t(2), head + 22);
    qToLittleEndian(uint32_t(sampleRate), head + 24);
    qToLittleEndian(uint32_t(sampleRate * 2 * width), head + 28);
    qToLittleEndian(uint16_t(2 * width), head + 32);
    qToLittleEndian(uint16_t(bits), head + 34);
    memcpy(head + 36, "data", 4);
    qToLittleEndian(uint32_t(bytes.size() - 44), head + 40);
    testsupport::writeFile(path, bytes);
    return stored;
}

bool ffmpeg(const QString& input, const QString& output, const QStringList& arguments) {
    QByteArray log;
    const int code = testsupport::runProgram(
        "ffmpeg", QStringList{"-v", "error", "-y", "-i", input} + arguments << output, &log);
    if (code != 0)
        ADD_FAILURE() << "ffmpeg failed for " << output.toStdString() << ": " << log.toStdString();
    return code == 0;
}

Samples ffmpegDecode(const QString& path, int channels) {
    QProcess process;
    process.start("ffmpeg", {"-v", "error", "-i", path, "-ac", QString::number(channels), "-f",
                             "f32le", "-"});
    process.waitForFinished(60000);
    const QByteArray bytes = process.readAllStandardOutput();
    Samples samples(size_t(bytes.size()) / sizeof(float));
    memcpy(samples.data(), bytes.constData(), samples.size() * sizeof(float));
    return samples;
}

Samples readFloatWav(const QString& path, int* sampleRate) {
    const QByteArray bytes = testsupport::readFile(path);
    const auto* head = reinterpret_cast<const uchar*>(bytes.constData());
    if (bytes.size() < 44 || !bytes.startsWith("RIFF") || bytes.mid(36, 4) != "data" ||
        qFromLittleEndian<uint16_t>(head + 20) != 3 ||
        qFromLittleEndian<uint16_t>(head + 22) != 2 ||
        qFromLittleEndian<uint16_t>(head + 34) != 32 ||
        44 + qsizetype(qFromLittleEndian<uint32_t>(head + 40)) > bytes.size())
        return {};
    if (sampleRate)
        *sampleRate = int(qFromLittleEndian<uint32_t>(head + 24));
    Samples samples(qFromLittleEndian<uint32_t>(head + 40) / sizeof(float));
    memcpy(samples.data(), head + 44, samples.size() * sizeof(float));
    return samples;
}

void EngineFixture::SetUp() {
    ASSERT_TRUE(dir.isValid());
    useWavOutput();
}

void EngineFixture::TearDown() {
    AudioOutput::shared().configure("null");
}

void EngineFixture::useWavOutput(int sampleRate, bool realTime) {
    static int serial = 0;
    outputPath = path(QString("output-%1.wav").arg(++serial));
    AudioOutput::shared().configure("wav:" + outputPath, !realTime, sampleRate);
}

Samples EngineFixture::finishOutput() {
    AudioOutput::shared().configure("null");
    return readFloatWav(outputPath, &writtenRate);
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
