// A folder of 1,000 damaged audio files through the view model and the
// engine: it scans and lists, each file fails to load as a failed item does,
// and a good file loaded after them plays.
#include "support/mediafixtures.h"
#include "support/testsupport.h"
#include "support/viewmodelfixture.h"

#include <QBuffer>
#include <QImage>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <functional>

using namespace testsupport;
using namespace vmtest;

namespace {

QByteArray noise(QRandomGenerator& random, int count) {
    QByteArray bytes(count, Qt::Uninitialized);
    for (char& byte : bytes)
        byte = char(random.bounded(256));
    return bytes;
}

QByteArray pngBytes() {
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// How a file is damaged, given the bytes of a real file of its type.
struct Damage {
    const char* kind;
    std::function<QByteArray(const QByteArray& real, QRandomGenerator& random)> make;
};

const std::vector<Damage> damages = {
    {"zero length", [](const QByteArray&, QRandomGenerator&) { return QByteArray(); }},
    {"random bytes",
     [](const QByteArray&, QRandomGenerator& random) {
         return noise(random, 1 + random.bounded(8192));
     }},
    {"cut inside its header",
     [](const QByteArray& real, QRandomGenerator& random) {
         return real.left(1 + random.bounded(24));
     }},
    {"real header, noise after it",
     [](const QByteArray& real, QRandomGenerator& random) {
         return real.left(12) + noise(random, random.bounded(8192));
     }},
    {"an image under an audio name",
     [](const QByteArray&, QRandomGenerator&) { return pngBytes(); }},
};

// What a load of a file that cannot play prints.
const QStringList failedLoadLines = {
    "Attempting to load file: ", "Enqueued next track: ", "currentArtwork changed: ",
    "Failed to load duration: ", "Error generating waveform: "};

class DamagedFolder : public PlaybackFixture {
protected:
    void SetUp() override {
        PlaybackFixture::SetUp();
        makeViewModel(true);
    }
    PlayerItem* currentItem() const { return vm->player() ? vm->player()->currentItem() : nullptr; }
};

TEST_F(DamagedFolder, ScansListsAndFailsEveryFileThenTheNextLoadPlays) {
    const QString folder = library->path("Damaged");
    QList<QByteArray> reals;
    QStringList extensions = {"mp3", "flac", "m4a", "wav"};
    for (const QString& extension : extensions) {
        const QString source = library->path("source." + extension);
        ASSERT_TRUE(makeAudioFile(source, AudioFixture{0.2, 8000}));
        reals << readFile(source);
    }
    QRandomGenerator random(1000);
    QHash<QString, const char*> kindOf;
    for (int i = 0; i < 1000; ++i) {
        const Damage& damage = damages[i % damages.size()];
        const int type = (i / int(damages.size())) % int(reals.size());
        const QString name = QString("%1.%2").arg(i, 4, 10, QChar('0')).arg(extensions[type]);
        writeFile(folder + '/' + name, damage.make(reals[type], random));
        kindOf.insert(name, damage.kind);
    }
    writeWav(folder + "/good.wav", 8000, 8000);

    vm->openFolder(QUrl::fromLocalFile(folder));
    ASSERT_TRUE(
        waitUntil([&] { return vm->rootFolder() && vm->rootFolder()->path() == folder; }, 20000));
    vm->setSelectedFolder(vm->rootFolder());
    const QList<MediaItem> listed = vm->flattenedFiles();
    ASSERT_EQ(listed.size(), 1001);

    // A header may still give a length (a FLAC stream header followed by
    // noise) although nothing can be decoded: only a length that cannot be
    // read is reported.
    int lengthsRead = 0;
    takeLines();
    for (const MediaItem& file : listed) {
        if (file.name() == "good.wav")
            continue;
        vm->loadFile(file, false);
        ASSERT_TRUE(waitUntil([&] {
            return currentItem() && currentItem()->status() == PlayerItem::Status::Failed &&
                   vm->isBuffering();
        })) << kindOf.value(file.name())
            << ": " << file.name().toStdString();
        settle();
        lengthsRead += vm->progress()->duration() > 0 ? 1 : 0;
    }
    const QStringList lines = takeLines();
    EXPECT_EQ(
        lines.filter(QRegularExpression("^Attempting to load file: .*, autoPlay: false$")).size(),
        1000);
    EXPECT_EQ(lines.filter(QRegularExpression("^Failed to load duration: .")).size(),
              1000 - lengthsRead);
    for (const QString& line : lines) {
        EXPECT_TRUE(std::any_of(failedLoadLines.cbegin(), failedLoadLines.cend(),
                                [&](const QString& start) { return line.startsWith(start); }))
            << line.toStdString();
    }

    vm->loadFile(MediaItem::audioFile(folder + "/good.wav"), true);
    ASSERT_TRUE(waitUntil([&] { return vm->progress()->currentTime() > 0.05; }));
    EXPECT_EQ(currentItem()->status(), PlayerItem::Status::ReadyToPlay);
    EXPECT_FALSE(vm->isBuffering());
}

} // namespace
