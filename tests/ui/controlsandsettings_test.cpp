// The rules behind the scrubber, the time labels, the waveform drawing, the
// stored view settings and the help text.
#include "app/playerprogress.h"
#include "ui/appsettings.h"
#include "ui/helpdocument.h"
#include "ui/playbacktime.h"
#include "ui/scrubbergesture.h"
#include "ui/waveformshape.h"

#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>

TEST(PlaybackTime, Formats) {
    const std::pair<double, const char*> rows[] = {
        {0, "0:00"},    {59.9, "0:59"},         {3725, "62:05"},
        {-0.5, "0:00"}, {std::nan(""), "0:00"}, {INFINITY, "0:00"},
    };
    for (const auto& [seconds, text] : rows)
        EXPECT_EQ(formatPlaybackTime(seconds), QString(text)) << seconds;
    // Far beyond any track, still one line of digits.
    EXPECT_TRUE(formatPlaybackTime(1e300).startsWith(QStringLiteral("153722867280912930:")));
}

// The pointer's time is clamped to the span: the duration, at least a second.
TEST(ScrubberGesture, MapsThePointerToTimeAndSeeksWhereTheDragEnds) {
    const double rows[][4] = {// x, width, duration, time
                              {50, 200, 100, 25},
                              {-30, 200, 100, 0},
                              {260, 200, 100, 100},
                              {100, 200, 0.4, 0.5},
                              {10, 0, 100, 0}};
    for (const auto& [x, width, duration, time] : rows)
        EXPECT_DOUBLE_EQ(ScrubberGesture::timeAt(x, width, duration), time) << x << " " << width;
    for (const double duration : {120.0, 0.0}) { // without a duration: nothing at all
        PlayerProgress progress;
        progress.setCurrentTime(3);
        progress.setDuration(duration);
        ScrubberGesture gesture;
        gesture.setProgress(&progress);
        QSignalSpy seeks(&gesture, &ScrubberGesture::seekRequested);
        gesture.moveTo(75, 300);
        EXPECT_EQ(progress.isSeeking(), duration > 0);
        EXPECT_DOUBLE_EQ(progress.currentTime(), duration > 0 ? 30 : 3);
        EXPECT_EQ(seeks.count(), 0);
        gesture.finishAt(400, 300);
        EXPECT_EQ(seeks, duration > 0 ? QList<QVariantList>{{120.0}} : QList<QVariantList>{});
    }
}

// Upper edge left to right, lower edge back; the last sample one step short
// of the right edge; negative samples flat, large ones unclipped.
TEST(WaveformOutline, IsTheMirroredEnvelope) {
    auto outline = [](QList<float> samples, double width, double height) {
        QList<double> coordinates;
        for (const QPointF& point : waveformOutline(samples, width, height))
            coordinates << point.x() << point.y();
        return coordinates;
    };
    EXPECT_TRUE(outline({}, 100, 30).isEmpty());
    EXPECT_EQ(outline({0.5f}, 100, 30), QList<double>({0, 15, 0, 7.5, 0, 22.5})); // a sliver
    EXPECT_EQ(outline({0.25f, -1.f, 2.f, 1.f}, 100, 10),
              QList<double>({0, 5, 0, 3.75, 25, 5, 50, -5, 75, 0, 75, 10, 50, 15, 25, 5, 0, 6.25}));
}

TEST(AppSettings, LaunchTurnsPixelationOffAndSidebarWidthStaysInItsLimits) {
    QSettings().clear();
    AppSettings().setIsArtworkPixelated(true);
    AppSettings().setUseGridSidebar(true);
    AppSettings::resetForLaunch();
    EXPECT_FALSE(AppSettings().isArtworkPixelated());
    EXPECT_TRUE(AppSettings().useGridSidebar());
    const std::pair<QVariant, double> rows[] = {
        {QVariant(), 320}, {450.5, 450.5}, {50, 200}, {5000, 800}, {QStringLiteral("wide"), 320}};
    for (const auto& [stored, expected] : rows) {
        const QString key = QStringLiteral("sidebarWidth");
        stored.isValid() ? QSettings().setValue(key, stored) : QSettings().remove(key);
        EXPECT_EQ(AppSettings().sidebarWidth(), expected) << stored.toString().toStdString();
    }
}

TEST(HelpDocument, TextOrWhatWentWrong) {
    EXPECT_TRUE(HelpDocument::load().contains("OLED Care")) << "the bundled guide";
    EXPECT_EQ(HelpDocument::load(":/missing.txt"), "Help documentation file not found.");
    const QString folder = HelpDocument::load(QTemporaryDir().path()); // unreadable
    EXPECT_TRUE(folder.startsWith("Error loading help documentation: ") && folder.size() > 34);
}
