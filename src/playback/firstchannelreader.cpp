#include "playback/firstchannelreader.h"

#include "audio/formatinput.h"

#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
}

namespace {

// Sample i of channel 0 at the given stride, scaled to -1.0 ... 1.0.
template <typename T>
void convert(const uint8_t* data, int count, int stride, float scale, float offset, float* out) {
    const T* samples = reinterpret_cast<const T*>(data);
    for (int i = 0; i < count; ++i)
        out[i] = (static_cast<float>(samples[static_cast<size_t>(i) * stride]) - offset) * scale;
}

} // namespace

struct FirstChannelReader::State {
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    int streamIndex = -1;
    std::vector<float> buffer;

    ~State() {
        av_frame_free(&frame);
        av_packet_free(&packet);
        avcodec_free_context(&codec);
        avformat_close_input(&format);
    }
};

FirstChannelReader::FirstChannelReader() : m_state(std::make_unique<State>()) {}
FirstChannelReader::~FirstChannelReader() = default;

bool FirstChannelReader::open(const QString& path, QString* error,
                              const std::atomic<bool>* cancel) {
    State& s = *m_state;
    int result = openFormatInput(&s.format, path, cancel);
    if (result < 0) {
        *error = formatErrorText(result);
        return false;
    }
    // Some demuxers (mp3, flac) learn the stream's parameters from its packets.
    avformat_find_stream_info(s.format, nullptr);
    result = av_find_best_stream(s.format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (result < 0) {
        *error = QStringLiteral("no audio stream");
        return false;
    }
    // Only the audio stream is demuxed from here on.
    for (unsigned i = 0; i < s.format->nb_streams; ++i) {
        if (static_cast<int>(i) != result)
            s.format->streams[i]->discard = AVDISCARD_ALL;
    }
    s.streamIndex = result;
    const AVCodecParameters* parameters = s.format->streams[result]->codecpar;
    const AVCodec* decoder = avcodec_find_decoder(parameters->codec_id);
    if (!decoder) {
        *error = QStringLiteral("no decoder for ") + avcodec_get_name(parameters->codec_id);
        return false;
    }
    s.codec = avcodec_alloc_context3(decoder);
    s.packet = av_packet_alloc();
    s.frame = av_frame_alloc();
    if (!s.codec || !s.packet || !s.frame) {
        *error = QStringLiteral("out of memory");
        return false;
    }
    // As many decoding threads as the codec can use (FLAC decodes frames in parallel).
    s.codec->thread_count = 0;
    // The decoder needs the stream's time base to drop encoder delay and padding.
    s.codec->pkt_timebase = s.format->streams[s.streamIndex]->time_base;
    if ((result = avcodec_parameters_to_context(s.codec, parameters)) < 0 ||
        (result = avcodec_open2(s.codec, decoder, nullptr)) < 0) {
        *error = formatErrorText(result);
        return false;
    }
    return true;
}

int FirstChannelReader::sampleRate() const {
    const State& s = *m_state;
    return s.codec ? s.codec->sample_rate : 0;
}

qint64 FirstChannelReader::frameCount() const {
    const State& s = *m_state;
    if (!s.codec || s.codec->sample_rate <= 0)
        return 0;
    const AVStream* stream = s.format->streams[s.streamIndex];
    const AVRational perFrame{1, s.codec->sample_rate};
    if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0)
        return av_rescale_q(stream->duration, stream->time_base, perFrame);
    if (s.format->duration != AV_NOPTS_VALUE && s.format->duration > 0)
        return av_rescale_q(s.format->duration, AV_TIME_BASE_Q, perFrame);
    return 0;
}

bool FirstChannelReader::readAll(const Sink& sink, QString* error) {
    State& s = *m_state;
    auto deliverFrames = [&]() -> int {
        for (;;) {
            const int received = avcodec_receive_frame(s.codec, s.frame);
            if (received == AVERROR_INVALIDDATA)
                continue; // the damaged frame is consumed; go on with the next
            if (received < 0)
                return received == AVERROR(EAGAIN) || received == AVERROR_EOF ? 0 : received;
            const int count = s.frame->nb_samples;
            if (count > 0) {
                if (s.buffer.size() < static_cast<size_t>(count))
                    s.buffer.resize(count);
                const auto format = static_cast<AVSampleFormat>(s.frame->format);
                const int stride =
                    av_sample_fmt_is_planar(format) ? 1 : s.frame->ch_layout.nb_channels;
                const uint8_t* data = s.frame->extended_data[0];
                float* out = s.buffer.data();
                switch (av_get_packed_sample_fmt(format)) {
                case AV_SAMPLE_FMT_FLT:
                    convert<float>(data, count, stride, 1.0f, 0.0f, out);
                    break;
                case AV_SAMPLE_FMT_DBL:
                    convert<double>(data, count, stride, 1.0f, 0.0f, out);
                    break;
                case AV_SAMPLE_FMT_S16:
                    convert<int16_t>(data, count, stride, 1.0f / 32768.0f, 0.0f, out);
                    break;
                case AV_SAMPLE_FMT_S32:
                    convert<int32_t>(data, count, stride, 1.0f / 2147483648.0f, 0.0f, out);
                    break;
                case AV_SAMPLE_FMT_S64:
                    convert<int64_t>(data, count, stride, 1.0f / 9223372036854775808.0f, 0.0f, out);
                    break;
                case AV_SAMPLE_FMT_U8:
                    convert<uint8_t>(data, count, stride, 1.0f / 128.0f, 128.0f, out);
                    break;
                default:
                    return AVERROR(EINVAL);
                }
                sink(out, count);
            }
            av_frame_unref(s.frame);
        }
    };

    for (;;) {
        int result = av_read_frame(s.format, s.packet);
        if (result == AVERROR_EOF)
            break;
        if (result < 0) {
            *error = formatErrorText(result);
            return false;
        }
        if (s.packet->stream_index == s.streamIndex) {
            result = avcodec_send_packet(s.codec, s.packet);
            av_packet_unref(s.packet);
            if (result < 0 && result != AVERROR_INVALIDDATA) {
                *error = formatErrorText(result);
                return false;
            }
            if ((result = deliverFrames()) < 0) {
                *error = formatErrorText(result);
                return false;
            }
        } else {
            av_packet_unref(s.packet);
        }
    }
    avcodec_send_packet(s.codec, nullptr); // drain the decoder's delayed frames
    const int result = deliverFrames();
    if (result < 0) {
        *error = formatErrorText(result);
        return false;
    }
    return true;
}
