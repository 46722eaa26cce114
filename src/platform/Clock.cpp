#include "Clock.h"

namespace {
std::function<QDateTime()>& clockOverride()
{
    static std::function<QDateTime()> clock;
    return clock;
}
} // namespace

namespace Clock {

QDateTime now()
{
    return clockOverride() ? clockOverride()() : QDateTime::currentDateTime();
}

void setForTests(std::function<QDateTime()> clock)
{
    clockOverride() = std::move(clock);
}

} // namespace Clock
