#include "playback/waveformgenerator.h"

#include "base/console.h"
#include "library/mediaitem.h"
#include "playback/firstchannelreader.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

// Sums squares per bucket while the samples stream past.
class BucketAccumulator {
public:
    explicit BucketAccumulator(qint64 bucketFrames)
        : m_bucketFrames(bucketFrames), m_sums(waveformBucketCount, 0.0),
          m_counts(waveformBucketCount, 0) {}

    void add(const float* samples, int count) {
        int offset = 0;
        while (offset < count && m_bucket < waveformBucketCount) {
            const qint64 room = m_bucketFrames - m_filled;
            const int take = static_cast<int>(std::min<qint64>(room, count - offset));
            double sum = 0.0;
            for (int i = offset; i < offset + take; ++i)
                sum += static_cast<double>(samples[i]) * samples[i];
            m_sums[m_bucket] += sum;
            m_counts[m_bucket] += take;
            m_filled += take;
            offset += take;
            if (m_filled == m_bucketFrames) {
                ++m_bucket;
                m_filled = 0;
            }
        }
    }

    // A bucket the file did not reach (its stated length was too long) reads 0.
    QList<float> values() const {
        QList<float> result;
        result.reserve(waveformBucketCount);
        for (int i = 0; i < waveformBucketCount; ++i) {
            const double rms = m_counts[i] > 0 ? std::sqrt(m_sums[i] / m_counts[i]) : 0.0;
            // Float files may hold NaN or infinity; they must not spoil the scale.
            result.append(std::isfinite(rms) ? static_cast<float>(rms) : 0.0f);
        }
        return result;
    }

private:
    qint64 m_bucketFrames;
    std::vector<double> m_sums;
    std::vector<qint64> m_counts;
    int m_bucket = 0;
    qint64 m_filled = 0;
};

} // namespace

void normalizeWaveform(QList<float>& values) {
    if (values.isEmpty())
        return;
    const float largest = *std::max_element(values.cbegin(), values.cend());
    if (!(largest > 0.0f))
        return;
    for (float& value : values)
        value /= largest;
}

std::optional<QList<float>> generateWaveform(const QUrl& fileUrl) {
    FirstChannelReader reader;
    QString error;
    if (!reader.open(normalizedPath(fileUrl), &error)) {
        printLine(QStringLiteral("Error generating waveform: ") + error);
        return std::nullopt;
    }
    const qint64 bucketFrames = reader.frameCount() / waveformBucketCount;
    // Too short to spread over the buckets: no waveform rather than zeros.
    if (bucketFrames <= 0 || bucketFrames > std::numeric_limits<quint32>::max())
        return std::nullopt;

    BucketAccumulator buckets(bucketFrames);
    if (!reader.readAll([&](const float* samples, int count) { buckets.add(samples, count); },
                        &error)) {
        printLine(QStringLiteral("Error generating waveform: ") + error);
        return std::nullopt;
    }
    QList<float> values = buckets.values();
    normalizeWaveform(values);
    return values;
}
