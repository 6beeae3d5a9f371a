#pragma once

class QQuickWindow;

// Timing of a window for the benchmarks, opt-in: with TOLVANE_FRAME_LOG=FILE
// set, FILE gets one line per event, times in milliseconds of the monotonic
// clock (CLOCK_MONOTONIC, so another process can line them up with its own):
//   frame T INTERVAL RENDER  a frame was shown at T, INTERVAL after the one
//                            before; RENDER from the start of its scene
//                            synchronisation to its swap
//   late T LATE CPU          a 5 ms timer on the GUI thread fired LATE after
//                            its time: how long the event loop was held up;
//                            CPU is the time the GUI thread computed since the
//                            timer was set (on a busy machine LATE also counts
//                            the time other processes had the core)
// Without the variable nothing is attached and nothing costs.
void startFrameLogIfRequested(QQuickWindow* window);
