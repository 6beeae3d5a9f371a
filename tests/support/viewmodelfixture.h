#pragma once

#include "app/medialibraryviewmodel.h"
#include "cache/persistedqueue.h"
#include "support/fakequeueplayer.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

namespace vmtest {

// A 16-bit mono PCM WAV file of `frames` frames of a quiet sine.
void writeWav(const QString& path, int frames, int sampleRate = 44100);

// A media folder on disk with the folders F (f1-f3), G (g1-g3), H (h1-h2) and
// X (x1-x2) of short WAV files, and its item tree.
class TestLibrary {
public:
    explicit TestLibrary(int framesPerFile = 4410, int sampleRate = 44100);

    QString path(const QString& relative) const;
    const MediaItem& root() const { return m_root; }
    MediaItem folder(const QString& name) const;
    MediaItem file(const QString& name) const;
    QList<MediaItem> files(const QStringList& names) const;

private:
    QTemporaryDir m_dir;
    MediaItem m_root;
};

QStringList names(const QList<MediaItem>& items);
QStringList names(const QList<PlayerItem*>& items);

// A view model on a fresh cache and settings, playing through FakeQueuePlayer
// (or through the engine when `useEngine` is set). Everything printed during
// the test is captured (and shown when the test fails); takeLines() hands out
// the lines printed since its last call.
class PlaybackFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    void makeViewModel(bool useEngine = false);
    FakeQueuePlayer* fake() const;
    // The names of the player's items.
    QStringList playerItems() const;
    // Only those matching `pattern`, if given: threads print lines of their own.
    QStringList takeLines(const QString& pattern = {});
    // Lets queued handlers run.
    static void settle();
    static std::optional<PersistedQueue> storedQueue();
    // The stored queue and index are the view model's.
    void expectQueueStored() const;
    // Installs a queue and index as if restored from an earlier run.
    void startWithQueue(const QStringList& fileNames, int index);
    // An item of the test library: a name in upper case is a folder, one
    // ending in "/" a folder without audio, one with a dot a file that is no
    // audio (made in F), any other a track.
    MediaItem item(const QString& name) const;
    // Runs view-model steps separated by ";", each a word and its arguments:
    //   queue NAMES... INDEX (the stored queue of an earlier run), select FOLDER,
    //   load NAME, playFolder|playItem|playNext|playNow|addToQueue NAME,
    //   jump NAME INDEX, clear, next, previous, index N, refresh,
    //   insert NAMES... GROUP, move OFFSETS... DESTINATION,
    //   and on the fake player: start, time TENTHS_OF_SECONDS, end, fail,
    //   refuse (further items), enqueue NAME (in place of its second item).
    void run(const QString& script);

    std::unique_ptr<TestLibrary> library;
    std::unique_ptr<MediaLibraryViewModel> vm;
    std::shared_ptr<FakePlayerLog> lastLog;
    int playersMade = 0;

private:
    bool m_capturing = false;
    QString m_transcript;
    qsizetype m_handedOut = 0;
};

} // namespace vmtest
