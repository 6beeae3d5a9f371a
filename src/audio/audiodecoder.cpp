#include "audio/audiodecoder.h"

#include "audio/formatinput.h"

#include <QStringList>
#include <algorithm>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace {

// Garbage that happens to parse as a stream fails packet after packet; this
// many failures in a row end the track instead of crawling through the file.
constexpr int MaxFailedPacketsInARow = 64;

// Twice the highest rate recordings come in (768 kHz). A damaged header can
// state hundreds of MHz, for which the resampler's filter bank alone takes
// gigabytes.
constexpr int MaxSourceRate = 1536000;

// The length an iTunes gapless tag states ("iTunSMPB": zero, priming, padding,
// length, all hexadecimal), or -1.
int64_t iTunesGaplessLength(const AVDictionary* metadata) {
    const AVDictionaryEntry* entry = av_dict_get(metadata, "iTunSMPB", nullptr, 0);
    if (!entry || !entry->value)
        return -1;
    const QStringList fields =
        QString::fromLatin1(entry->value).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (fields.size() < 4)
        return -1;
    bool ok = false;
    const qint64 length = fields[3].toLongLong(&ok, 16);
    return ok && length > 0 ? length : -1;
}

} // namespace

AudioDecoder::AudioDecoder(const std::atomic<bool>* cancel) : m_cancel(cancel) {}

AudioDecoder::~AudioDecoder() {
    close();
}

void AudioDecoder::close() {
    swr_free(&m_resampler);
    av_frame_free(&m_frame);
    av_packet_free(&m_packet);
    avcodec_free_context(&m_codec);
    avformat_close_input(&m_format);
    m_stream = nullptr;
    m_streamIndex = -1;
}

bool AudioDecoder::open(const QString& path) {
    close();
    m_error.clear();
    int result = openFormatInput(&m_format, path, m_cancel);
    if (result < 0) {
        m_error = formatErrorText(result);
        return false;
    }
    result = avformat_find_stream_info(m_format, nullptr);
    if (result < 0) {
        m_error = formatErrorText(result);
        return false;
    }
    const AVCodec* codec = nullptr;
    m_streamIndex = av_find_best_stream(m_format, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (m_streamIndex < 0 || !codec) {
        m_error = QStringLiteral("No audio stream");
        return false;
    }
    for (unsigned i = 0; i < m_format->nb_streams; ++i) {
        if (int(i) != m_streamIndex)
            m_format->streams[i]->discard = AVDISCARD_ALL; // cover art and the like
    }
    m_stream = m_format->streams[m_streamIndex];
    m_codec = avcodec_alloc_context3(codec);
    if (!m_codec || avcodec_parameters_to_context(m_codec, m_stream->codecpar) < 0) {
        m_error = QStringLiteral("Cannot set up the decoder");
        return false;
    }
    m_codec->pkt_timebase = m_stream->time_base;
    result = avcodec_open2(m_codec, codec, nullptr);
    if (result < 0) {
        m_error = formatErrorText(result);
        return false;
    }
    m_sourceRate = m_codec->sample_rate;
    if (m_sourceRate <= 0 || m_sourceRate > MaxSourceRate) {
        m_error = QStringLiteral("Unsupported sample rate %1").arg(m_sourceRate);
        return false;
    }
    const AVCodecDescriptor* descriptor = avcodec_descriptor_get(m_codec->codec_id);
    m_lossless = descriptor && (descriptor->props & AV_CODEC_PROP_LOSSLESS) &&
                 !(descriptor->props & AV_CODEC_PROP_LOSSY);
    m_firstPts = m_stream->start_time != AV_NOPTS_VALUE ? m_stream->start_time : 0;
    // Positions count from the first sample after the priming; the priming
    // itself lies before 0 and is dropped like the frames before a seek.
    m_priming = unstatedPrimingSamples(m_format, m_stream);
    m_firstPts += av_rescale_q(m_priming, AVRational{1, m_sourceRate}, m_stream->time_base);

    // FFmpeg skips the priming of an m4a but plays its end padding.
    m_endSample = -1;
    if (m_format->iformat && std::strstr(m_format->iformat->name, "mp4")) {
        int64_t length = iTunesGaplessLength(m_format->metadata);
        if (length < 0)
            length = iTunesGaplessLength(m_stream->metadata);
        if (length < 0 && m_stream->duration != AV_NOPTS_VALUE && m_stream->duration > 0) {
            const int64_t start = m_stream->start_time != AV_NOPTS_VALUE ? m_stream->start_time : 0;
            length = av_rescale_q(start + m_stream->duration - m_firstPts, m_stream->time_base,
                                  AVRational{1, m_sourceRate});
        }
        m_endSample = length;
    }

    m_packet = av_packet_alloc();
    m_frame = av_frame_alloc();
    if (!m_packet || !m_frame) {
        m_error = QStringLiteral("Out of memory");
        return false;
    }
    m_nextSample = -m_priming;
    m_discardBefore = 0;
    m_positionFromPts = false;
    m_inputEnded = m_decoderDrained = m_resamplerFlushed = false;
    m_failedPackets = 0;
    m_pendingFrames = m_pendingOffset = 0;
    m_haveFrame = decodeNextFrame();
    if (!m_haveFrame) {
        m_error = QStringLiteral("No playable audio");
        return false;
    }
    return true;
}

double AudioDecoder::durationSeconds() const {
    if (!m_stream || m_sourceRate <= 0)
        return 0;
    if (m_endSample >= 0)
        return double(m_endSample) / m_sourceRate;
    if (m_stream->duration != AV_NOPTS_VALUE && m_stream->duration > 0) {
        const int64_t start = m_stream->start_time != AV_NOPTS_VALUE ? m_stream->start_time : 0;
        const int64_t skipped = std::max<int64_t>(0, m_firstPts - start);
        return double(m_stream->duration - skipped) * av_q2d(m_stream->time_base);
    }
    if (m_format->duration != AV_NOPTS_VALUE && m_format->duration > 0)
        return double(m_format->duration) / AV_TIME_BASE;
    return 0;
}

bool AudioDecoder::setOutputFormat(const OutputFormat& format) {
    if (!format.isValid())
        return false;
    m_output = format;
    swr_free(&m_resampler);
    return true;
}

int64_t AudioDecoder::lengthFrames() const {
    const double seconds = durationSeconds();
    if (seconds <= 0 || !m_output.isValid())
        return -1;
    if (m_endSample >= 0)
        return av_rescale(m_endSample, m_output.sampleRate, m_sourceRate);
    return int64_t(seconds * m_output.sampleRate + 0.5);
}

int64_t AudioDecoder::sourceSampleOf(int64_t pts) const {
    return av_rescale_q(pts - m_firstPts, m_stream->time_base, AVRational{1, m_sourceRate});
}

// Leaves the next decoded frame in m_frame; false at the end of the data.
bool AudioDecoder::decodeNextFrame() {
    if (m_decoderDrained)
        return false;
    for (;;) {
        int result = avcodec_receive_frame(m_codec, m_frame);
        if (result == 0) {
            m_failedPackets = 0;
            return true;
        }
        if (result == AVERROR_EOF || (result != AVERROR(EAGAIN) && m_inputEnded)) {
            m_decoderDrained = true;
            return false;
        }
        if (result != AVERROR(EAGAIN) && ++m_failedPackets > MaxFailedPacketsInARow) {
            m_decoderDrained = true;
            return false;
        }
        if (m_inputEnded) {
            m_decoderDrained = true;
            return false;
        }
        result = av_read_frame(m_format, m_packet);
        if (result < 0) {
            // The end, or a read error (a truncated or vanished file): play what came.
            m_inputEnded = true;
            avcodec_send_packet(m_codec, nullptr);
            continue;
        }
        if (m_packet->stream_index != m_streamIndex) {
            av_packet_unref(m_packet);
            continue;
        }
        result = avcodec_send_packet(m_codec, m_packet);
        av_packet_unref(m_packet);
        if (result < 0 && result != AVERROR(EAGAIN) && ++m_failedPackets > MaxFailedPacketsInARow) {
            m_decoderDrained = true;
            return false;
        }
    }
}

bool AudioDecoder::configureResampler(const AVFrame* frame) {
    const int rate = frame->sample_rate > 0 ? frame->sample_rate : m_sourceRate;
    if (rate > MaxSourceRate)
        return false;
    AVChannelLayout in{};
    if (frame->ch_layout.nb_channels > 0 && frame->ch_layout.order != AV_CHANNEL_ORDER_UNSPEC)
        av_channel_layout_copy(&in, &frame->ch_layout);
    else
        av_channel_layout_default(&in, frame->ch_layout.nb_channels > 0
                                           ? frame->ch_layout.nb_channels
                                           : std::max(1, m_codec->ch_layout.nb_channels));
    const uint64_t layoutKey =
        in.order == AV_CHANNEL_ORDER_NATIVE ? in.u.mask : uint64_t(in.nb_channels) << 56;
    if (m_resampler && m_resamplerInFormat == frame->format && m_resamplerInRate == rate &&
        m_resamplerInLayout == layoutKey) {
        av_channel_layout_uninit(&in);
        return true;
    }
    swr_free(&m_resampler);
    AVChannelLayout out{};
    av_channel_layout_default(&out, m_output.channels);
    int result = swr_alloc_set_opts2(&m_resampler, &out, AV_SAMPLE_FMT_FLT, m_output.sampleRate,
                                     &in, AVSampleFormat(frame->format), rate, 0, nullptr);
    if (result >= 0 && in.nb_channels == 1) {
        // A mono recording plays at its own level on every side, not 3 dB down.
        const std::vector<double> matrix(size_t(m_output.channels), 1.0);
        result = swr_set_matrix(m_resampler, matrix.data(), 1);
    }
    av_channel_layout_uninit(&in);
    av_channel_layout_uninit(&out);
    if (result < 0 || swr_init(m_resampler) < 0) {
        swr_free(&m_resampler);
        return false;
    }
    m_resamplerInFormat = frame->format;
    m_resamplerInRate = rate;
    m_resamplerInLayout = layoutKey;
    return true;
}

// Converts the samples of m_frame that belong to the track into m_pending.
bool AudioDecoder::convertPendingFrame() {
    m_haveFrame = false;
    int64_t start = m_nextSample;
    if (m_positionFromPts) {
        m_positionFromPts = false;
        const int64_t pts = m_frame->best_effort_timestamp != AV_NOPTS_VALUE
                                ? m_frame->best_effort_timestamp
                                : m_frame->pts;
        start = pts != AV_NOPTS_VALUE ? sourceSampleOf(pts) : m_seekLanding;
    }
    const int count = m_frame->nb_samples;
    m_nextSample = start + count;
    int keep = count;
    if (m_endSample >= 0 && start + count >= m_endSample) {
        keep = int(std::clamp<int64_t>(m_endSample - start, 0, count));
        m_decoderDrained = true; // the rest is padding
    }
    const int skip = int(std::clamp<int64_t>(m_discardBefore - start, 0, keep));
    if (keep - skip <= 0)
        return false;
    if (!configureResampler(m_frame))
        return false;

    // One pointer per plane: more than AV_NUM_DATA_POINTERS channels live
    // only in extended_data.
    const bool planar = av_sample_fmt_is_planar(AVSampleFormat(m_frame->format));
    const int bytesPerSample = av_get_bytes_per_sample(AVSampleFormat(m_frame->format));
    const int planes = planar ? m_frame->ch_layout.nb_channels : 1;
    const int step = bytesPerSample * (planar ? 1 : m_frame->ch_layout.nb_channels);
    m_planes.resize(size_t(std::max(1, planes)));
    for (int i = 0; i < planes; ++i)
        m_planes[size_t(i)] = m_frame->extended_data[i] + size_t(skip) * step;
    const uint8_t** in = m_planes.data();

    const int capacity = swr_get_out_samples(m_resampler, keep - skip) + 16;
    if (m_pending.size() < size_t(capacity) * m_output.channels)
        m_pending.resize(size_t(capacity) * m_output.channels);
    uint8_t* out = reinterpret_cast<uint8_t*>(m_pending.data());
    const int converted = swr_convert(m_resampler, &out, capacity, in, keep - skip);
    m_pendingFrames = std::max(0, converted);
    m_pendingOffset = 0;
    return m_pendingFrames > 0;
}

int AudioDecoder::read(float* destination, int maxFrames) {
    if (!m_codec || !m_output.isValid())
        return 0;
    const int channels = m_output.channels;
    int written = 0;
    while (written < maxFrames) {
        if (m_pendingOffset < m_pendingFrames) {
            const int count = std::min(maxFrames - written, m_pendingFrames - m_pendingOffset);
            std::memcpy(destination + size_t(written) * channels,
                        m_pending.data() + size_t(m_pendingOffset) * channels,
                        size_t(count) * channels * sizeof(float));
            m_pendingOffset += count;
            written += count;
            continue;
        }
        if (m_haveFrame) {
            convertPendingFrame();
            continue;
        }
        if (decodeNextFrame()) {
            m_haveFrame = true;
            continue;
        }
        if (!m_resamplerFlushed && m_resampler) {
            // The resampler holds back a filter's length of frames until the end.
            m_resamplerFlushed = true;
            const int capacity = swr_get_out_samples(m_resampler, 0) + 16;
            if (m_pending.size() < size_t(capacity) * channels)
                m_pending.resize(size_t(capacity) * channels);
            uint8_t* out = reinterpret_cast<uint8_t*>(m_pending.data());
            m_pendingFrames = std::max(0, swr_convert(m_resampler, &out, capacity, nullptr, 0));
            m_pendingOffset = 0;
            continue;
        }
        break;
    }
    return written;
}

bool AudioDecoder::seek(int64_t frame) {
    if (!m_format || !m_output.isValid())
        return false;
    int64_t target =
        m_output.sampleRate == m_sourceRate
            ? frame
            : av_rescale_rnd(frame, m_sourceRate, m_output.sampleRate, AV_ROUND_NEAR_INF);
    target = std::max<int64_t>(0, target);
    // Lossy decoders need some frames before the target to settle (overlap,
    // bit reservoir); lossless ones start exactly on any frame.
    const int64_t preroll = m_lossless ? 0 : m_sourceRate / 5;
    const int64_t from = std::max<int64_t>(0, target - preroll);
    const int64_t timestamp =
        m_firstPts + av_rescale_q(from, AVRational{1, m_sourceRate}, m_stream->time_base);
    if (av_seek_frame(m_format, m_streamIndex, timestamp, AVSEEK_FLAG_BACKWARD) < 0 &&
        av_seek_frame(m_format, m_streamIndex, m_firstPts, AVSEEK_FLAG_BACKWARD) < 0 &&
        avformat_seek_file(m_format, -1, INT64_MIN, 0, 0, 0) < 0)
        return false;
    avcodec_flush_buffers(m_codec);
    swr_free(&m_resampler);
    m_pendingFrames = m_pendingOffset = 0;
    m_haveFrame = false;
    m_inputEnded = m_decoderDrained = m_resamplerFlushed = false;
    m_failedPackets = 0;
    m_discardBefore = target;
    m_seekLanding = from;
    m_positionFromPts = true;
    m_nextSample = target;
    return true;
}
