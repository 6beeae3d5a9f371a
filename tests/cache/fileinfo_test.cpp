#include "cache/containerinfo.h"
#include "cache/trackinfoformat.h"
#include "cache/trackinforeader.h"
#include "support/mediafixtures.h"
#include "support/testsupport.h"
#include "support/unwrittenfifo.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <taglib/fileref.h>
#include <taglib/tpropertymap.h>
#include <unistd.h>

using namespace testsupport;

namespace {

// title|artist|year|type|bit depth|sample rate, "-" for an absent value.
std::string fields(const CachedMetadata& info) {
    QStringList texts;
    for (const auto& field :
         {info.title, info.artist, info.year, info.fileType, info.bitDepth, info.sampleRate})
        texts << field.value_or("-");
    return texts.join('|').toStdString();
}

struct FormatRow {
    const char* name;
    int sampleRate, bits;
    bool tagged;
    const char* shown;
};

class FileInfoEdges : public ::testing::Test {
protected:
    QString path(const QString& name) const { return dir.path() + '/' + name; }
    TrackInfoResult full(const QString& name) const {
        return readTrackInfo({QUrl::fromLocalFile(path(name)), {}, false, {}, {}});
    }
    QTemporaryDir dir;
};

class FileInfo : public FileInfoEdges, public ::testing::WithParamInterface<FormatRow> {};

TEST_P(FileInfo, TagsFirstThenTheContainer) {
    const FormatRow& row = GetParam();
    AudioFixture fixture;
    fixture.sampleRate = row.sampleRate;
    fixture.bits = row.bits;
    if (row.tagged)
        fixture.tags = {{"title", "Song"}, {"artist", "Ann"}, {"date", "2019"}};
    ASSERT_TRUE(makeAudioFile(path(row.name), fixture));
    if (QString(row.name).startsWith("two")) { // two artists and a full date
        TagLib::FileRef file(QFile::encodeName(path(row.name)).constData());
        TagLib::PropertyMap map;
        map.insert("ARTIST", TagLib::StringList("Ann").append("Bo"));
        map.insert("DATE", TagLib::StringList("1987-04-05"));
        file.file()->setProperties(map);
        ASSERT_TRUE(file.save());
    }
    const TrackInfoResult result = full(row.name);
    ASSERT_FALSE(result.failed);
    EXPECT_EQ(fields(result.info), row.shown);
    EXPECT_EQ(result.info.filesize, formatFileSize(QFileInfo(path(row.name)).size()));
}

INSTANTIATE_TEST_SUITE_P(
    Formats, FileInfo,
    ::testing::Values(FormatRow{"a.mp3", 44100, 16, true, "Song|Ann|2019|MP3|-|44.1 kHz"},
                      FormatRow{"two.flac", 48000, 24, false, "-|Ann, Bo|1987|FLAC|24bit|48.0 kHz"},
                      FormatRow{"c.m4a", 44100, 16, false, "-|-|-|M4A|-|44.1 kHz"},
                      FormatRow{"d.wav", 8000, 16, false, "-|-|-|WAV|16bit|8.0 kHz"},
                      // Raw ADTS: the container gives the names and rate, never the year.
                      FormatRow{"e.aac", 44100, 16, true, "Song|Ann|-|AAC|-|44 kHz"}),
    [](const auto& info) { return QString(info.param.name).replace('.', '_').toStdString(); });

uint32_t closes(int watch) {
    uint32_t seen = 0;
    alignas(inotify_event) char buffer[4096];
    for (ssize_t got, at; (got = read(watch, buffer, sizeof buffer)) > 0;)
        for (at = 0; at < got; at += sizeof(inotify_event) + ((inotify_event*)(buffer + at))->len)
            seen |= reinterpret_cast<const inotify_event*>(buffer + at)->mask;
    close(watch);
    return seen;
}

// Readers open read-only: closing a file opened for writing tells sync tools it changed.
TEST_F(FileInfoEdges, EmbeddedPicturesAndReadOnlyOpens) {
    ASSERT_TRUE(makeImageFile(path("cover.png"), {12, 9}, Qt::blue));
    AudioFixture fixture;
    fixture.coverPath = path("cover.png");
    fixture.tags = {{"title", "Song"}};
    for (const QString name : {"p.mp3", "p.m4a", "p.flac"}) {
        SCOPED_TRACE(name.toStdString());
        ASSERT_TRUE(makeAudioFile(path(name), fixture));
        const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        inotify_add_watch(watch, QFile::encodeName(path(name)).constData(), IN_CLOSE);
        EXPECT_EQ(full(name).info.title, "Song");
        const auto container = readContainerInfo(path(name));
        ASSERT_TRUE(container && container->artwork.size() == 1);
        const QImage image = QImage::fromData(container->artwork.first());
        EXPECT_EQ(image.size(), QSize(12, 9));
        EXPECT_EQ(image.pixelColor(3, 3), QColor(Qt::blue));
        EXPECT_EQ(closes(watch), uint32_t(IN_CLOSE_NOWRITE));
    }
}

// A missing file and a FIFO are not read; a cancelled read fails.
TEST_F(FileInfoEdges, MissingFifoAndCancelledReadsFail) {
    UnwrittenFifo fifo(path("pipe.flac"));
    ASSERT_TRUE(fifo.created());
    EXPECT_TRUE(full("gone.flac").failed && full("pipe.flac").failed);
    QString error;
    EXPECT_FALSE(readContainerInfo(path("pipe.flac"), &error));
    EXPECT_EQ(error, "not a regular file");
    EXPECT_FALSE(fifo.releasedAReader());

    ASSERT_TRUE(makeAudioFile(path("c.flac")));
    const std::atomic<bool> cancelled{true};
    EXPECT_TRUE(readContainerInfo(path("c.flac")));
    EXPECT_FALSE(readContainerInfo(path("c.flac"), nullptr, &cancelled));
}

} // namespace
