#include "ui/playbacktime.h"

#include <cmath>
#include <cstdint>
#include <limits>

QString formatPlaybackTime(double seconds) {
    if (!std::isfinite(seconds))
        return QStringLiteral("0:00");
    // Truncated toward zero; beyond the 64-bit range it saturates.
    constexpr double limit = double(std::numeric_limits<int64_t>::max());
    const int64_t n = seconds >= limit    ? std::numeric_limits<int64_t>::max()
                      : seconds <= -limit ? std::numeric_limits<int64_t>::min()
                                          : int64_t(seconds);
    const int64_t minutes = n / 60;
    const int64_t rest = n % 60;
    return QString::asprintf("%lld:%02lld", (long long)minutes, (long long)rest);
}
