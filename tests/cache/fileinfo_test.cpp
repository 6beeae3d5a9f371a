#include "cache/containerinfo.h"
#include "cache/fileinforeader.h"
#include "cache/trackinfoformat.h"
#include "cache/trackinforeader.h"
#include "support/mediafixtures.h"
#include "support/testsupport.h"
#include "support/unwrittenfifo.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <taglib/fileref.h>
#include <taglib/tpropertymap.h>
#include <unistd.h>

using namespace testsupport;

namespace {

class FileInfo : public ::testing::Test {
protected:
    QString path(const QString& name) const { return dir.path() + '/' + name; }
    QUrl url(const QString& name) const { return QUrl::fromLocalFile(path(name)); }
    QString sizeText(const QString& name) const {
        return formatFileSize(QFileInfo(path(name)).size());
    }
    QTemporaryDir dir;
};

TEST_F(FileInfo, Mp3TagsAndRateComeFromTheTagReader) {
    AudioFixture fixture;
    fixture.tags = {{"title", "Song"}, {"artist", "Ann"}, {"date", "2019"}};
    ASSERT_TRUE(makeAudioFile(path("a.mp3"), fixture));
    const CachedMetadata info = readFileInfo(url("a.mp3"));
    EXPECT_EQ(info.title, "Song");
    EXPECT_EQ(info.artist, "Ann");
    EXPECT_EQ(info.year, "2019");
    EXPECT_EQ(info.fileType, "MP3");
    EXPECT_EQ(info.sampleRate, "44.1 kHz");
    EXPECT_EQ(info.bitDepth, std::nullopt) << "mp3 has no sample width";
    EXPECT_EQ(info.filesize, sizeText("a.mp3"));
}

TEST_F(FileInfo, FlacShowsItsBitDepth) {
    AudioFixture fixture;
    fixture.sampleRate = 48000;
    fixture.bits = 24;
    ASSERT_TRUE(makeAudioFile(path("b.flac"), fixture));
    const CachedMetadata info = readFileInfo(url("b.flac"));
    EXPECT_EQ(info.bitDepth, "24bit");
    EXPECT_EQ(info.sampleRate, "48.0 kHz");
    EXPECT_EQ(info.fileType, "FLAC");
    EXPECT_EQ(info.title, std::nullopt);
}

TEST_F(FileInfo, AacInMp4HasNoBitDepthFromEitherSource) {
    ASSERT_TRUE(makeAudioFile(path("c.m4a")));
    const CachedMetadata info = readFileInfo(url("c.m4a"));
    EXPECT_EQ(info.bitDepth, std::nullopt);
    EXPECT_EQ(info.sampleRate, "44.1 kHz");
    const TrackInfoResult full = readTrackInfo({url("c.m4a"), {}, false, {}, {}});
    ASSERT_FALSE(full.failed);
    EXPECT_EQ(full.info.bitDepth, std::nullopt);
}

TEST_F(FileInfo, LowRatesKeepTheDecimalFromTheTagReader) {
    AudioFixture fixture;
    fixture.sampleRate = 8000;
    ASSERT_TRUE(makeAudioFile(path("d.wav"), fixture));
    const CachedMetadata info = readFileInfo(url("d.wav"));
    EXPECT_EQ(info.sampleRate, "8.0 kHz");
    EXPECT_EQ(info.bitDepth, "16bit");
}

TEST_F(FileInfo, WithoutTheTagReaderTheContainerFillsIn) {
    // Raw ADTS is beyond the tag reader; the container still knows the file.
    AudioFixture fixture;
    fixture.tags = {{"title", "Raw"}, {"artist", "Container"}};
    ASSERT_TRUE(makeAudioFile(path("e.aac"), fixture));
    const CachedMetadata index = readFileInfo(url("e.aac"));
    EXPECT_EQ(index.title, std::nullopt);
    EXPECT_EQ(index.sampleRate, std::nullopt);
    EXPECT_EQ(index.fileType, "AAC");
    EXPECT_EQ(index.filesize, sizeText("e.aac"));

    const TrackInfoResult full = readTrackInfo({url("e.aac"), {}, false, {}, {}});
    ASSERT_FALSE(full.failed);
    EXPECT_EQ(full.info.title, "Raw");
    EXPECT_EQ(full.info.artist, "Container");
    EXPECT_EQ(full.info.sampleRate, "44 kHz") << "the stream's rate is shown whole";
    EXPECT_EQ(full.info.bitDepth, std::nullopt);
    EXPECT_EQ(full.info.year, std::nullopt) << "the year never comes from the container";
}

TEST_F(FileInfo, TwoArtistsAreJoined) {
    ASSERT_TRUE(makeAudioFile(path("f.flac")));
    {
        TagLib::FileRef file(QFile::encodeName(path("f.flac")).constData());
        ASSERT_FALSE(file.isNull());
        TagLib::PropertyMap map;
        TagLib::StringList artists;
        artists.append("Ann");
        artists.append("Bo");
        map.insert("ARTIST", artists);
        map.insert("DATE", TagLib::StringList("1987-04-05"));
        file.file()->setProperties(map);
        ASSERT_TRUE(file.save());
    }
    const CachedMetadata info = readFileInfo(url("f.flac"));
    EXPECT_EQ(info.artist, "Ann, Bo");
    EXPECT_EQ(info.year, "1987");
}

TEST_F(FileInfo, SizeAtTheBoundaryOfKilobytesAndMegabytes) {
    writeFile(path("g.mp3"), QByteArray(999'999, '\0'));
    writeFile(path("h.mp3"), QByteArray(1'000'000, '\0'));
    EXPECT_EQ(readFileInfo(url("g.mp3")).filesize, "1000 KB");
    EXPECT_EQ(readFileInfo(url("h.mp3")).filesize, "1.0 MB");
}

TEST_F(FileInfo, AMissingFileHasOnlyItsType) {
    const CachedMetadata info = readFileInfo(url("gone.flac"));
    EXPECT_EQ(info.fileType, "FLAC");
    EXPECT_EQ(info.filesize, std::nullopt);
    EXPECT_EQ(info.title, std::nullopt);
    EXPECT_TRUE(readTrackInfo({url("gone.flac"), {}, false, {}, {}}).failed);
}

// Closing a file opened for writing signals a change to sync tools and
// indexers (inotify's IN_CLOSE_WRITE) although nothing was written.
TEST_F(FileInfo, ReadingOpensTheFileReadOnly) {
    AudioFixture fixture;
    fixture.tags = {{"title", "Song"}};
    for (const QString name : {"r.mp3", "r.flac", "r.m4a"}) {
        ASSERT_TRUE(makeAudioFile(path(name), fixture));
        const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        ASSERT_GE(watch, 0);
        ASSERT_GE(inotify_add_watch(watch, QFile::encodeName(path(name)).constData(),
                                    IN_CLOSE_WRITE | IN_CLOSE_NOWRITE),
                  0);
        EXPECT_EQ(readFileInfo(url(name)).title, "Song");
        readTrackInfo({url(name), {}, false, {}, {}});
        uint32_t seen = 0;
        alignas(inotify_event) char buffer[4096];
        for (ssize_t got; (got = read(watch, buffer, sizeof buffer)) > 0;) {
            for (ssize_t at = 0; at < got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                seen |= event->mask;
                at += ssize_t(sizeof(inotify_event) + event->len);
            }
        }
        close(watch);
        EXPECT_TRUE(seen & IN_CLOSE_NOWRITE) << name.toStdString();
        EXPECT_FALSE(seen & IN_CLOSE_WRITE) << name.toStdString();
    }
}

// A FIFO blocks whoever opens it until someone writes: the readers refuse it.
TEST_F(FileInfo, AFifoIsNeverOpened) {
    UnwrittenFifo fifo(path("pipe.flac"));
    ASSERT_TRUE(fifo.created());
    const CachedMetadata info = readFileInfo(url("pipe.flac"));
    EXPECT_EQ(info.fileType, "FLAC");
    EXPECT_EQ(info.filesize, std::nullopt);
    QString error;
    EXPECT_FALSE(readContainerInfo(path("pipe.flac"), &error));
    EXPECT_EQ(error, "not a regular file");
    EXPECT_TRUE(readTrackInfo({url("pipe.flac"), {}, false, {}, {}}).failed);
    EXPECT_FALSE(fifo.releasedAReader());
}

// Once cancelled, a read ends with an error instead of a partial answer.
TEST_F(FileInfo, ACancelledContainerReadFails) {
    ASSERT_TRUE(makeAudioFile(path("c.flac")));
    const std::atomic<bool> cancelled{true};
    EXPECT_TRUE(readContainerInfo(path("c.flac")));
    EXPECT_FALSE(readContainerInfo(path("c.flac"), nullptr, &cancelled));
}

TEST_F(FileInfo, EmbeddedPicturesAreReadInOrder) {
    ASSERT_TRUE(makeImageFile(path("cover.png"), {12, 9}, Qt::blue));
    for (const QString name : {"p.mp3", "p.m4a", "p.flac"}) {
        AudioFixture fixture;
        fixture.coverPath = path("cover.png");
        ASSERT_TRUE(makeAudioFile(path(name), fixture));
        const auto container = readContainerInfo(path(name));
        ASSERT_TRUE(container) << name.toStdString();
        ASSERT_EQ(container->artwork.size(), 1) << name.toStdString();
        const QImage image = QImage::fromData(container->artwork.first());
        EXPECT_EQ(image.size(), QSize(12, 9)) << name.toStdString();
        EXPECT_EQ(image.pixelColor(3, 3), QColor(Qt::blue)) << name.toStdString();
    }
}

// Random bytes, zeros and cut-off files under audio names: every reader
// answers, none crashes or hangs.
TEST_F(FileInfo, GarbageAndTruncatedFilesAreHarmless) {
    ASSERT_TRUE(makeImageFile(path("cover.png")));
    AudioFixture fixture;
    fixture.coverPath = path("cover.png");
    fixture.tags = {{"title", "T"}};
    ASSERT_TRUE(makeAudioFile(path("whole.flac"), fixture));
    ASSERT_TRUE(makeAudioFile(path("whole.mp3"), fixture));
    ASSERT_TRUE(makeAudioFile(path("whole.m4a"), fixture));

    QRandomGenerator random(7);
    QStringList names;
    for (const QString extension : {"mp3", "m4a", "flac", "wav", "aac"}) {
        QByteArray noise(20000, '\0');
        random.fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
        writeFile(path("noise." + extension), noise);
        writeFile(path("empty." + extension), {});
        names << "noise." + extension << "empty." + extension;
    }
    for (const QString source : {"whole.flac", "whole.mp3", "whole.m4a"}) {
        const QByteArray bytes = readFile(path(source));
        for (const int cut : {10, 200, 2000, static_cast<int>(bytes.size() / 2)}) {
            const QString name = QStringLiteral("cut%1_").arg(cut) + source;
            writeFile(path(name), bytes.left(cut));
            names << name;
        }
    }
    for (const QString& name : names) {
        const CachedMetadata info = readFileInfo(url(name));
        EXPECT_TRUE(info.fileType) << name.toStdString();
        const TrackInfoResult result = readTrackInfo({url(name), {}, false, {}, {}});
        EXPECT_EQ(result.info.fileType, info.fileType) << name.toStdString();
    }
}

TEST_F(FileInfo, ADamagedTagHeaderIsHarmless) {
    AudioFixture fixture;
    fixture.tags = {{"title", "T"}, {"artist", "A"}};
    ASSERT_TRUE(makeAudioFile(path("tag.mp3"), fixture));
    QByteArray bytes = readFile(path("tag.mp3"));
    ASSERT_TRUE(bytes.startsWith("ID3"));
    // Claim a tag far larger than the file, and garble the first frame header.
    bytes[6] = 0x7f, bytes[7] = 0x7f, bytes[8] = 0x7f, bytes[9] = 0x7f;
    for (int i = 10; i < 20; ++i)
        bytes[i] = static_cast<char>(0xff);
    writeFile(path("tag.mp3"), bytes);
    const CachedMetadata info = readFileInfo(url("tag.mp3"));
    EXPECT_EQ(info.fileType, "MP3");
    EXPECT_EQ(info.title, std::nullopt);
    readTrackInfo({url("tag.mp3"), {}, false, {}, {}});
}

} // namespace
