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
    PlayerProgress progress;
    progress.setDuration(120);
    ScrubberGesture gesture;
    gesture.setProgress(&progress);
    QSignalSpy seeks(&gesture, &ScrubberGesture::seekRequested);

    gesture.moveTo(75, 300);
    EXPECT_TRUE(progress.isSeeking());
    EXPECT_DOUBLE_EQ(progress.currentTime(), 30);
    EXPECT_EQ(seeks.count(), 0);
    gesture.finishAt(400, 300);
    ASSERT_EQ(seeks.count(), 1);
    EXPECT_DOUBLE_EQ(seeks[0][0].toDouble(), 120);
}

TEST(ScrubberGesture, DoesNothingWithoutADuration) {
    PlayerProgress progress;
    progress.setCurrentTime(3);
    ScrubberGesture gesture;
    gesture.setProgress(&progress);
    QSignalSpy seeks(&gesture, &ScrubberGesture::seekRequested);
    gesture.moveTo(100, 200);
    gesture.finishAt(100, 200);
    EXPECT_FALSE(progress.isSeeking());
    EXPECT_DOUBLE_EQ(progress.currentTime(), 3);
    EXPECT_EQ(seeks.count(), 0);
}

TEST(WaveformOutline, IsTheMirroredEnvelope) {
    EXPECT_TRUE(waveformOutline({}, 100, 30).isEmpty());

    // One sample: a vertical sliver at the leading edge.
    EXPECT_EQ(waveformOutline({0.5f}, 100, 30), QPolygonF({{0, 15}, {0, 7.5}, {0, 22.5}}));

    // Upper edge left to right, lower edge back; the last sample one step
    // short of the right edge; negative samples flat, large ones unclipped.
    EXPECT_EQ(waveformOutline({0.25f, -1.f, 2.f, 1.f}, 100, 10), QPolygonF({{0, 5},
                                                                            {0, 3.75},
                                                                            {25, 5},
                                                                            {50, -5},
                                                                            {75, 0},
                                                                            {75, 10},
                                                                            {50, 15},
                                                                            {25, 5},
                                                                            {0, 6.25}}));
}
