#include "engine_audio.h"

#include "audio/audiooutput.h"
#include "support/testsupport.h"

#include <QFile>
#include <QProcess>
#include <QtEndian>
#include <cmath>

namespace enginetest {

Samples sine(int frames, int sampleRate, double frequency, int64_t offset, double amplitude) {
    Samples samples(size_t(frames) * 2);
    for (int i = 0; i < frames; ++i) {
        const double t = double(offset + i) / sampleRate;
        samples[2 * i] = float(amplitude * std::sin(2 * M_PI * frequency * t));
        samples[2 * i + 1] = float(amplitude * std::sin(2 * M_PI * frequency * 1.5 * t + 1.0));
    }
    return samples;
}

Samples sweep(int frames, int sampleRate) {
    Samples samples(size_t(frames) * 2);
    const double duration = double(frames) / sampleRate;
    const double k = std::log(8000.0 / 100.0) / duration;
    for (int i = 0; i < frames; ++i) {
        const double t = double(i) / sampleRate;
        const double phase = 2 * M_PI * 100.0 * (std::exp(k * t) - 1) / k;
        samples[2 * i] = float(0.6 * std::sin(phase));
        samples[2 * i + 1] = float(0.4 * std::cos(phase));
    }
    return samples;
}

Samples slice(const Samples& samples, int64_t from, int64_t count) {
    const size_t begin = std::min(samples.size(), size_t(from) * 2);
    const size_t end = std::min(samples.size(), size_t(from + count) * 2);
    return Samples(samples.begin() + begin, samples.begin() + end);
}

int64_t frameCount(const Samples& samples) {
    return int64_t(samples.size() / 2);
}

Samples writePcmWav(const QString& path, const Samples& samples, int sampleRate, int bits) {
    const int bytesPerSample = bits / 8;
    const double scale = bits == 16 ? 32768.0 : 8388608.0;
    const double maxCode = scale - 1;
    Samples stored(samples.size());
    QByteArray data(int(samples.size()) * bytesPerSample, '\0');
    for (size_t i = 0; i < samples.size(); ++i) {
        const int32_t code =
            int32_t(std::clamp(std::lround(samples[i] * scale), long(-scale), long(maxCode)));
        stored[i] = float(code / scale);
        for (int b = 0; b < bytesPerSample; ++b)
            data[int(i) * bytesPerSample + b] = char((code >> (8 * b)) & 0xFF);
    }
    QByteArray header(44, '\0');
    auto put32 = [&](int at, uint32_t v) { qToLittleEndian(v, header.data() + at); };
    auto put16 = [&](int at, uint16_t v) { qToLittleEndian(v, header.data() + at); };
    memcpy(header.data(), "RIFF", 4);
    put32(4, uint32_t(36 + data.size()));
    memcpy(header.data() + 8, "WAVEfmt ", 8);
    put32(16, 16);
    put16(20, 1);
    put16(22, 2);
    put32(24, uint32_t(sampleRate));
    put32(28, uint32_t(sampleRate * 2 * bytesPerSample));
    put16(32, uint16_t(2 * bytesPerSample));
    put16(34, uint16_t(bits));
    memcpy(header.data() + 36, "data", 4);
    put32(40, uint32_t(data.size()));
    testsupport::writeFile(path, header + data);
    return stored;
}

bool ffmpeg(const QString& input, const QString& output, const QStringList& arguments) {
    QStringList all{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"),
                    QStringLiteral("-i"), input};
    all << arguments << output;
    QByteArray log;
    const int code = testsupport::runProgram(QStringLiteral("ffmpeg"), all, &log);
    if (code != 0)
        ADD_FAILURE() << "ffmpeg failed for " << output.toStdString() << ": " << log.toStdString();
    return code == 0;
}

Samples ffmpegDecode(const QString& path, int channels) {
    QProcess process;
    process.start(QStringLiteral("ffmpeg"),
                  {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), path,
                   QStringLiteral("-ac"), QString::number(channels), QStringLiteral("-f"),
                   QStringLiteral("f32le"), QStringLiteral("-")});
    process.waitForFinished(60000);
    const QByteArray bytes = process.readAllStandardOutput();
    Samples samples(size_t(bytes.size()) / sizeof(float));
    memcpy(samples.data(), bytes.constData(), samples.size() * sizeof(float));
    return samples;
}

FloatWav readFloatWav(const QString& path) {
    FloatWav wav;
    const QByteArray bytes = testsupport::readFile(path);
    if (bytes.size() < 44 || !bytes.startsWith("RIFF") || bytes.mid(8, 4) != "WAVE")
        return wav;
    const auto* data = reinterpret_cast<const uchar*>(bytes.constData());
    if (qFromLittleEndian<uint16_t>(data + 20) != 3 || qFromLittleEndian<uint16_t>(data + 34) != 32)
        return wav;
    wav.channels = qFromLittleEndian<uint16_t>(data + 22);
    wav.sampleRate = int(qFromLittleEndian<uint32_t>(data + 24));
    const uint32_t dataBytes = qFromLittleEndian<uint32_t>(data + 40);
    if (bytes.mid(36, 4) != "data" || 44 + qint64(dataBytes) > bytes.size())
        return wav;
    wav.samples.resize(dataBytes / sizeof(float));
    memcpy(wav.samples.data(), bytes.constData() + 44, wav.samples.size() * sizeof(float));
    wav.valid = true;
    return wav;
}

float largestStep(const Samples& samples, int64_t from, int64_t to) {
    float largest = 0;
    for (int64_t i = std::max<int64_t>(from, 1); i < to && i < frameCount(samples); ++i)
        largest = std::max(largest, stepAt(samples, i));
    return largest;
}

float stepAt(const Samples& samples, int64_t frame) {
    const size_t i = size_t(frame) * 2;
    return std::max(std::abs(samples[i] - samples[i - 2]),
                    std::abs(samples[i + 1] - samples[i - 1]));
}

// ---- fixture

void EngineFixture::SetUp() {
    ASSERT_TRUE(dir.isValid());
    useWavOutput();
}

void EngineFixture::TearDown() {
    AudioOutput::shared().configure(QStringLiteral("null"));
}

QString EngineFixture::path(const QString& name) const {
    return dir.filePath(name);
}

void EngineFixture::useWavOutput(int sampleRate, bool fast) {
    static int serial = 0;
    outputPath = path(QStringLiteral("output-%1.wav").arg(++serial));
    AudioOutput::shared().configure(QStringLiteral("wav:") + outputPath, fast, sampleRate);
}

FloatWav EngineFixture::finishOutput() {
    AudioOutput::shared().configure(QStringLiteral("null"));
    return readFloatWav(outputPath);
}

QList<PlayerItem*> EngineFixture::itemsFor(const QStringList& paths) {
    QList<PlayerItem*> items;
    for (const QString& file : paths)
        items.append(new PlayerItem(QUrl::fromLocalFile(file)));
    return items;
}

FloatWav EngineFixture::render(const QStringList& paths, int outputRate) {
    useWavOutput(outputRate);
    {
        std::unique_ptr<QueuePlayer> player = makeQueuePlayer(itemsFor(paths));
        player->play();
        EXPECT_TRUE(waitForEnd(*player)) << "playback did not end";
    }
    return finishOutput();
}

bool EngineFixture::waitForEnd(QueuePlayer& player, int timeoutMs) {
    return testsupport::waitUntil([&] { return player.currentItem() == nullptr; }, timeoutMs);
}

} // namespace enginetest
