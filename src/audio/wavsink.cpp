#include "audio/wavsink.h"

#include <QFile>
#include <QtEndian>
#include <fcntl.h>
#include <unistd.h>

namespace {
constexpr int HeaderBytes = 44;
constexpr uint32_t FormatIeeeFloat = 3;
} // namespace

WavSink::~WavSink() {
    stop();
    finish();
}

bool WavSink::prepare(const OutputFormat& format) {
    finish();
    m_format = format;
    m_dataBytes = 0;
    m_fd = ::open(QFile::encodeName(m_path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC,
                  0644);
    if (m_fd < 0)
        return false;
    writeHeader();
    return true;
}

void WavSink::writeHeader() {
    const uint32_t blockAlign = uint32_t(m_format.channels) * sizeof(float);
    const uint32_t dataBytes = uint32_t(std::min<uint64_t>(m_dataBytes, 0xFFFFFFFFu - 36));
    unsigned char header[HeaderBytes];
    auto put32 = [&](int offset, uint32_t value) { qToLittleEndian(value, header + offset); };
    auto put16 = [&](int offset, uint16_t value) { qToLittleEndian(value, header + offset); };
    memcpy(header, "RIFF", 4);
    put32(4, 36 + dataBytes);
    memcpy(header + 8, "WAVEfmt ", 8);
    put32(16, 16);
    put16(20, FormatIeeeFloat);
    put16(22, uint16_t(m_format.channels));
    put32(24, uint32_t(m_format.sampleRate));
    put32(28, uint32_t(m_format.sampleRate) * blockAlign);
    put16(32, uint16_t(blockAlign));
    put16(34, 32);
    memcpy(header + 36, "data", 4);
    put32(40, dataBytes);
    if (::pwrite(m_fd, header, HeaderBytes, 0) != HeaderBytes)
        return; // a full disk loses the file, not the playback
}

void WavSink::consume(const float* frames, int count) {
    if (m_fd < 0)
        return;
    const size_t bytes = size_t(count) * m_format.channels * sizeof(float);
    const ssize_t written = ::pwrite(m_fd, frames, bytes, off_t(HeaderBytes + m_dataBytes));
    if (written > 0) {
        m_dataBytes += uint64_t(written);
        writeHeader();
    }
}

void WavSink::finish() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}
