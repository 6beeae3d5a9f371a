// The rules behind the scrubber, the time labels and the waveform drawing.
#include "app/playerprogress.h"
#include "ui/playbacktime.h"
#include "ui/scrubbergesture.h"
#include "ui/waveformshape.h"

#include <QSignalSpy>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

TEST(PlaybackTime, Formats) {
    const struct {
        double seconds;
        const char* text;
    } rows[] = {
        {0, "0:00"},
        {59.9, "0:59"},
        {60, "1:00"},
        {3725, "62:05"},
        {-0.5, "0:00"},
        {std::nan(""), "0:00"},
        {std::numeric_limits<double>::infinity(), "0:00"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(formatPlaybackTime(row.seconds), QString::fromLatin1(row.text)) << row.seconds;
    // Far beyond any track, still one line of digits.
    EXPECT_TRUE(formatPlaybackTime(1e300).startsWith(QStringLiteral("153722867280912930:")));
}

TEST(ScrubberGesture, MapsThePointerToTimeClampedToTheSpan) {
    const struct {
        double x, width, duration, time;
    } rows[] = {
        {50, 200, 100, 25},                    // a quarter of the way
        {-30, 200, 100, 0},                    // left of the view
        {260, 200, 100, 100},                  // beyond the right end
        {200, 200, 0.4, 1},                    // a short track: the full width is one second
        {100, 200, 0.4, 0.5}, {10, 0, 100, 0}, // no width yet
    };
    for (const auto& row : rows)
        EXPECT_DOUBLE_EQ(ScrubberGesture::timeAt(row.x, row.width, row.duration), row.time)
            << row.x << " of " << row.width;
}

TEST(ScrubberGesture, DragFollowsThePointerAndSeeksWhereItEnds) {
    for (const double duration : {120.0, 0.0}) {
        PlayerProgress progress;
        progress.setCurrentTime(3);
        progress.setDuration(duration);
        ScrubberGesture gesture;
        gesture.setProgress(&progress);
        QSignalSpy seeks(&gesture, &ScrubberGesture::seekRequested);
        gesture.moveTo(75, 300);
        // Without a duration the gesture does nothing at all.
        EXPECT_EQ(progress.isSeeking(), duration > 0);
        EXPECT_DOUBLE_EQ(progress.currentTime(), duration > 0 ? 30 : 3);
        EXPECT_EQ(seeks.count(), 0);
        gesture.finishAt(400, 300);
        ASSERT_EQ(seeks.count(), duration > 0 ? 1 : 0);
        if (duration > 0)
            EXPECT_DOUBLE_EQ(seeks[0][0].toDouble(), 120);
    }
}

TEST(WaveformOutline, IsTheMirroredEnvelope) {
    auto outline = [](QList<float> samples, double width, double height) {
        QList<double> coordinates;
        for (const QPointF& point : waveformOutline(samples, width, height))
            coordinates << point.x() << point.y();
        return coordinates;
    };
    EXPECT_TRUE(outline({}, 100, 30).isEmpty());
    // One sample: a vertical sliver at the leading edge.
    EXPECT_EQ(outline({0.5f}, 100, 30), QList<double>({0, 15, 0, 7.5, 0, 22.5}));
    // Upper edge left to right, lower edge back; the last sample one step
    // short of the right edge; negative samples flat, large ones unclipped.
    EXPECT_EQ(outline({0.25f, -1.f, 2.f, 1.f}, 100, 10),
              QList<double>({0, 5, 0, 3.75, 25, 5, 50, -5, 75, 0, 75, 10, 50, 15, 25, 5, 0, 6.25}));
}
