#pragma once

#include "app/medialibraryviewmodel.h"
#include "cache/persistedqueue.h"
#include "support/fakequeueplayer.h"
#include "support/mediafixtures.h"
#include "support/testlibrary.h"

#include <gtest/gtest.h>
#include <memory>
#include <optional>

namespace vmtest {

using testsupport::writeWav;

QStringList names(const QList<PlayerItem*>& items);

// A view model on a fresh cache and settings, playing through FakeQueuePlayer
// (or through the engine when `useEngine` is set), or with no folder open
// (startViewModel). Everything printed during the test is captured (and shown
// when the test fails); takeLines() hands out the lines printed since its
// last call.
class PlaybackFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    void makeViewModel(bool useEngine = false);
    // A view model as the program starts it (restoring the folder the
    // settings name), recording the trees it installs; fake players.
    MediaLibraryViewModel& startViewModel();
    FakeQueuePlayer* fake() const;
    // The names of the player's items.
    QStringList playerItems() const;
    // Only those matching `pattern`, if given: threads print lines of their own.
    QStringList takeLines(const QString& pattern = {});
    // Lets queued handlers run.
    static void settle();
    // Runs background scans and their hand-overs to the end.
    static void finishScans();
    static std::optional<PersistedQueue> storedQueue();
    // The stored queue and index are the view model's.
    void expectQueueStored() const;
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
    // Every value rootFolder took since startViewModel, in order.
    QList<std::optional<MediaItem>> installedTrees;
    // How many trees had been installed each time isLoading went false.
    QList<int> treesWhenLoadingEnded;

private:
    void useFakePlayers();

    bool m_capturing = false;
    QString m_transcript;
    qsizetype m_handedOut = 0;
};

} // namespace vmtest
