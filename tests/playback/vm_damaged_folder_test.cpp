// 1,000 damaged audio files through the view model and the engine: they scan,
// list and fail to load as a failed item does; a good file loaded after plays.
#include "support/mediafixtures.h"
#include "support/testsupport.h"
#include "support/viewmodelfixture.h"

#include <QRandomGenerator>
#include <QRegularExpression>

using namespace testsupport;
using namespace vmtest;

namespace {

class DamagedFolder : public PlaybackFixture {};

TEST_F(DamagedFolder, ScansListsAndFailsEveryFileThenTheNextLoadPlays) {
    makeViewModel(true);
    const QString folder = library->path("Damaged");
    const QStringList extensions = {"mp3", "flac", "m4a", "wav"};
    QList<QByteArray> reals;
    for (const QString& extension : extensions)
        if (makeAudioFile(library->path("source." + extension), {0.2, 8000}))
            reals << readFile(library->path("source." + extension));
    ASSERT_EQ(reals.size(), 4);
    QRandomGenerator random(1000);
    const auto noise = [&](int count) {
        QByteArray bytes(count + 3, '\0');
        random.fillRange(reinterpret_cast<quint32*>(bytes.data()), bytes.size() / 4);
        return bytes.left(count);
    };
    // Empty, noise, cut in the header, a header then noise, an image.
    const std::function<QByteArray(const QByteArray&)> damages[] = {
        [](const QByteArray&) { return QByteArray(); },
        [&](const QByteArray&) { return noise(1 + random.bounded(8192)); },
        [&](const QByteArray& real) { return real.left(1 + random.bounded(24)); },
        [&](const QByteArray& real) { return real.left(12) + noise(random.bounded(8192)); },
        [](const QByteArray&) { return pngBytes(Qt::blue); },
    };
    for (int i = 0; i < 1000; ++i) {
        const int type = (i / 5) % 4;
        writeFile(QString("%1/%2.%3").arg(folder).arg(i, 4, 10, QChar('0')).arg(extensions[type]),
                  damages[i % 5](reals[type]));
    }
    writeWav(folder + "/good.wav", 8000, 8000);

    vm->openFolder(QUrl::fromLocalFile(folder));
    ASSERT_TRUE(
        waitUntil([&] { return vm->rootFolder() && vm->rootFolder()->path() == folder; }, 20000));
    vm->setSelectedFolder(vm->rootFolder());
    const QList<MediaItem> listed = vm->flattenedFiles();
    ASSERT_EQ(listed.size(), 1001);
    const auto currentItem = [&] { return vm->player() ? vm->player()->currentItem() : nullptr; };
    takeLines();
    for (const MediaItem& file : listed) {
        if (file.name() == "good.wav")
            continue;
        vm->loadFile(file, false);
        ASSERT_TRUE(waitUntil([&] {
            return currentItem() && currentItem()->status() == PlayerItem::Status::Failed &&
                   vm->isBuffering();
        })) << file.name().toStdString();
        settle();
    }
    // Only what a failed load prints (a header followed by noise may still give a length).
    const QStringList lines = takeLines();
    EXPECT_EQ(
        lines.filter(QRegularExpression("^Attempting to load file: .*, autoPlay: false$")).size(),
        1000);
    EXPECT_EQ(lines
                  .filter(QRegularExpression("^(Attempting to load file|Enqueued next track|"
                                             "currentArtwork changed|Failed to load duration|"
                                             "Error generating waveform): "))
                  .size(),
              lines.size());
    vm->loadFile(MediaItem::audioFile(folder + "/good.wav"), true);
    ASSERT_TRUE(waitUntil([&] { return vm->progress()->currentTime() > 0.05; }));
    EXPECT_EQ(currentItem()->status(), PlayerItem::Status::ReadyToPlay);
    EXPECT_FALSE(vm->isBuffering());
}

} // namespace
