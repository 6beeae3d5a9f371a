#include "app/medialibraryviewmodel.h"
#include "cache/atomicfilewriter.h"
#include "cache/mediacachemanager.h"
#include "library/artworkstore.h"
#include "playback/waveformcache.h"
#include "playback/waveformgenerator.h"
#include "support/mediafixtures.h"
#include "support/testsupport.h"

#include <QCoreApplication>
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
    // Nothing of this test may still be encoding or writing when the next
    // one starts or the process ends.
    void TearDown() override {
        vm.reset();
        waitForArtworkFiles();
    }
    MediaItem track(const QString& name, bool make = true) const {
        const QString path = dir.path() + '/' + name;
        EXPECT_TRUE(!make || makeAudioFile(path, {.seconds = 0.5}));
        return MediaItem::audioFile(path);
    }
    static QString cacheFile(const MediaItem& item) {
        return waveformCacheFilePath(MediaCacheManager::shared(), item.url());
    }
    // Lets every started computation hand its result over.
    static void settle() {
        QThreadPool::globalInstance()->waitForDone();
        AtomicFileWriter::shared().waitForIdle();
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }

    QTemporaryDir dir;
    std::unique_ptr<MediaLibraryViewModel> vm;
};

TEST_F(WaveformLoad, AShortCacheIsComputedAgainAndTheRewrittenCacheServesNextTime) {
    const MediaItem item = track("a.flac");
    writeFile(cacheFile(item), encodeWaveform(QList<float>(800, 0.5f)));
    vm->setSelectedFile(item);
    vm->setWaveformSamples(QList<float>(1500, 0.25f)); // an earlier track's
    vm->loadWaveform(item);
    EXPECT_TRUE(vm->waveformSamples().isEmpty()) << "nothing stale while computing";
    ASSERT_TRUE(waitUntil([&] { return !vm->waveformSamples().isEmpty(); }));
    const QList<float> computed = vm->waveformSamples();
    EXPECT_EQ(computed.size(), waveformBucketCount);
    AtomicFileWriter::shared().waitForIdle();
    EXPECT_EQ(decodeWaveform(readFile(cacheFile(item))), computed);
    QFile::remove(item.path()); // from here on only the cache knows the waveform
    vm->setWaveformSamples({});
    const QStringList lines = capturedLines([&] { vm->loadWaveform(item); });
    EXPECT_EQ(vm->waveformSamples(), computed) << "in the same turn";
    EXPECT_TRUE(lines.isEmpty());
}

TEST_F(WaveformLoad, AResultForAnotherTrackIsNotShown) {
    const MediaItem first = track("first.flac");
    vm->setSelectedFile(first);
    vm->loadWaveform(first);
    vm->setSelectedFile(track("second.flac", false));
    settle();
    EXPECT_TRUE(vm->waveformSamples().isEmpty());
}

TEST_F(WaveformLoad, AnUnreadableFileLeavesNoWaveformAndNoCache) {
    writeFile(dir.path() + "/noise.mp3", QByteArray(4096, 'z'));
    const MediaItem item = track("noise.mp3", false);
    vm->setSelectedFile(item);
    QSignalSpy changes(vm.get(), &MediaLibraryViewModel::waveformSamplesChanged);
    const QStringList lines = capturedLines([&] {
        vm->loadWaveform(item);
        settle();
    });
    EXPECT_EQ(lines.filter("Error generating waveform: ").size(), 1);
    EXPECT_TRUE(vm->waveformSamples().isEmpty());
    EXPECT_EQ(changes.count(), 1) << "only the reset to empty";
    EXPECT_FALSE(QFile::exists(cacheFile(item)));
}

} // namespace
