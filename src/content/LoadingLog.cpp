#include "LoadingLog.h"

#include "platform/Files.h"

namespace {
LoadingLog::Sink& sink()
{
    static LoadingLog::Sink s;
    return s;
}
} // namespace

namespace LoadingLog {

void addLine(const QString& line)
{
    if (sink())
        sink()(line);
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
