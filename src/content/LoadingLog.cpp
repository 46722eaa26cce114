#include "LoadingLog.h"

#include "platform/Files.h"

namespace {
LoadingLog::Sink& sink()
{
    static LoadingLog::Sink s;
    return s;
}

// Loaders add one line per item, thousands at a time. Letting events run after every
// line would repaint (and lay out the growing tree) thousands of times: once per frame
// interval keeps the windows moving at a cost that does not grow with the log. The
// interval counts from whenever events last ran, so a load that starts straight after
// them (at start-up, after the splash's pause) and is over within a frame shows its
// lines once, when it ends.
constexpr qint64 FrameIntervalMs = 16;
} // namespace

namespace LoadingLog {

void addLine(const QString& line)
{
    if (sink())
        sink()(line);
    if (msSinceEventsRan() >= FrameIntervalMs)
        processPendingEvents();
}

void setSink(Sink s)
{
    sink() = std::move(s);
}

bool hasSink()
{
    return bool(sink());
}

} // namespace LoadingLog
