#pragma once

// Turns SIGINT and SIGTERM into an orderly QCoreApplication::quit(), so that
// quitting from a terminal or a session manager saves state like closing the
// window does.
void quitOnTerminationSignals();
