#include "LoadingLog.h"

#include "platform/Files.h"

#include <QElapsedTimer>

namespace {
LoadingLog::Sink& sink()
{
    static LoadingLog::Sink s;
    return s;
}

// Loaders add one line per item, thousands at a time. Letting events run after every
// line would repaint (and lay out the growing tree) thousands of times: once per frame
// interval keeps the windows moving at a cost that does not grow with the log.
constexpr qint64 FrameIntervalMs = 16;
} // namespace

namespace LoadingLog {

void addLine(const QString& line)
{
    if (sink())
        sink()(line);
    static QElapsedTimer sinceEvents;
    if (!sinceEvents.isValid() || sinceEvents.elapsed() >= FrameIntervalMs) {
        processPendingEvents();
        sinceEvents.start();
    }
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
