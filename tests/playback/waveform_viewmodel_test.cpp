#include "app/medialibraryviewmodel.h"
#include "cache/atomicfilewriter.h"
#include "cache/mediacachemanager.h"
#include "library/artworkstore.h"
#include "playback/waveformcache.h"
#include "playback/waveformgenerator.h"
#include "support/mediafixtures.h"
#include "support/testsupport.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThreadPool>
#include <gtest/gtest.h>

using namespace testsupport;

namespace {

class WaveformLoad : public ::testing::Test {
protected:
    void SetUp() override { vm = std::make_unique<MediaLibraryViewModel>(); }
    QString path(const QString& name) const { return dir.path() + '/' + name; }
    MediaItem track(const QString& name) const { return MediaItem::audioFile(path(name)); }
    MediaItem makeTrack(const QString& name) {
        AudioFixture fixture;
        fixture.seconds = 0.5;
        EXPECT_TRUE(makeAudioFile(path(name), fixture));
        return track(name);
    }
    // Nothing of this test may still be encoding or writing when the next
    // one starts or the process ends.
    void TearDown() override {
        vm.reset();
        waitForArtworkFiles();
    }
    static QString cacheFile(const MediaItem& item) {
        return waveformCacheFilePath(MediaCacheManager::shared(), item.url());
    }
    static std::optional<QList<float>> cachedValues(const MediaItem& item) {
        AtomicFileWriter::shared().waitForIdle();
        return decodeWaveform(readFile(cacheFile(item)));
    }
    // Lets every started computation hand its result over.
    static void settle() {
        QThreadPool::globalInstance()->waitForDone();
        AtomicFileWriter::shared().waitForIdle();
        waitUntil([] { return false; }, 50);
    }

    QTemporaryDir dir;
    std::unique_ptr<MediaLibraryViewModel> vm;
};

TEST_F(WaveformLoad, ACachedWaveformIsUsedWithoutTheAudio) {
    // The audio file does not even exist: only the cache can answer.
    const MediaItem item = track("gone.flac");
    QList<float> stored;
    for (int i = 0; i < 1500; ++i)
        stored.append(static_cast<float>(i % 7) / 6.0f);
    writeFile(cacheFile(item), encodeWaveform(stored));
    vm->setSelectedFile(item);
    QStringList lines;
    lines = capturedLines([&] { vm->loadWaveform(item); });
    EXPECT_EQ(vm->waveformSamples(), stored) << "in the same turn";
    settle();
    EXPECT_TRUE(lines.isEmpty());
    EXPECT_EQ(vm->waveformSamples(), stored);
}

TEST_F(WaveformLoad, AShortCachedWaveformIsComputedAgainAndRewritten) {
    const MediaItem item = makeTrack("a.flac");
    writeFile(cacheFile(item), encodeWaveform(QList<float>(800, 0.5f)));
    vm->setSelectedFile(item);
    vm->setWaveformSamples(QList<float>(1500, 0.25f)); // an earlier track's
    vm->loadWaveform(item);
    EXPECT_TRUE(vm->waveformSamples().isEmpty()) << "nothing stale while computing";
    ASSERT_TRUE(waitUntil([&] { return !vm->waveformSamples().isEmpty(); }));
    EXPECT_EQ(vm->waveformSamples().size(), waveformBucketCount);
    const auto rewritten = cachedValues(item);
    ASSERT_TRUE(rewritten);
    EXPECT_EQ(*rewritten, vm->waveformSamples());
}

TEST_F(WaveformLoad, AComputedWaveformIsServedFromTheCacheNextTime) {
    const MediaItem item = makeTrack("b.mp3");
    vm->setSelectedFile(item);
    vm->loadWaveform(item);
    ASSERT_TRUE(waitUntil([&] { return !vm->waveformSamples().isEmpty(); }));
    const QList<float> computed = vm->waveformSamples();
    AtomicFileWriter::shared().waitForIdle();
    QFile::remove(item.path()); // from here on only the cache knows the waveform
    vm->setWaveformSamples({});
    vm->loadWaveform(item);
    EXPECT_EQ(vm->waveformSamples(), computed);
}

TEST_F(WaveformLoad, AResultForAnotherTrackIsNotShown) {
    const MediaItem first = makeTrack("first.flac");
    const MediaItem second = track("second.flac");
    vm->setSelectedFile(first);
    vm->loadWaveform(first);
    vm->setSelectedFile(second);
    settle();
    // (Whether it was computed at all depends on whether its turn came before
    // the user moved on; see LoadFile.ClicksDoNotWaitBehindBackgroundWork...)
    EXPECT_TRUE(vm->waveformSamples().isEmpty());
}

TEST_F(WaveformLoad, AnUnreadableFileLeavesNoWaveformAndNoCache) {
    writeFile(path("noise.mp3"), QByteArray(4096, 'z'));
    const MediaItem item = track("noise.mp3");
    vm->setSelectedFile(item);
    QSignalSpy changes(vm.get(), &MediaLibraryViewModel::waveformSamplesChanged);
    const QStringList lines = capturedLines([&] {
        vm->loadWaveform(item);
        settle();
    });
    EXPECT_EQ(lines.filter("Error generating waveform: ").size(), 1)
        << lines.join('\n').toStdString();
    EXPECT_TRUE(vm->waveformSamples().isEmpty());
    EXPECT_EQ(changes.count(), 1) << "only the reset to empty";
    EXPECT_FALSE(QFile::exists(cacheFile(item)));
}

} // namespace
