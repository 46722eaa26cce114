#include "EndSignals.h"

#include "Database.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

int pipeEnds[2] = {-1, -1};

std::function<void(int)>& handler()
{
    static std::function<void(int)> h;
    return h;
}

// How long the normal way out may take before the signal ends the program the way it
// would without this handling: a file that keeps a statement busy, or anything else that
// holds the main thread, never keeps the program from ending within a second.
constexpr suseconds_t GraceMicroseconds = 900000;
volatile sig_atomic_t endingSignal = 0;

// Runs inside the signal: only async-signal-safe calls.
extern "C" void onGraceOver(int)
{
    struct sigaction byDefault = {};
    byDefault.sa_handler = SIG_DFL;
    sigemptyset(&byDefault.sa_mask);
    ::sigaction(endingSignal, &byDefault, nullptr);
    ::raise(endingSignal);
}

// Runs inside the signal: only async-signal-safe calls.
extern "C" void onSignal(int signal)
{
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(pipeEnds[1], &byte, 1);
    Database::stopAllStatements();
    if (endingSignal == 0) {
        endingSignal = signal;
        struct sigaction grace = {};
        grace.sa_handler = onGraceOver;
        sigemptyset(&grace.sa_mask);
        ::sigaction(SIGALRM, &grace, nullptr);
        itimerval timer = {};
        timer.it_value.tv_usec = GraceMicroseconds;
        ::setitimer(ITIMER_REAL, &timer, nullptr);
    }
    errno = saved;
}

void readSignals()
{
    unsigned char bytes[16];
    ssize_t n = 0;
    while ((n = ::read(pipeEnds[0], bytes, sizeof bytes)) > 0) {
        for (ssize_t i = 0; i < n; ++i) {
            if (handler())
                handler()(bytes[i]);
        }
    }
}

} // namespace

namespace EndSignals {

bool received()
{
    return endingSignal != 0;
}

bool install(std::function<void(int signal)> function)
{
    handler() = std::move(function);
    if (pipeEnds[0] >= 0)
        return true;
    if (!QCoreApplication::instance() || ::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    auto* notifier = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] { readSignals(); });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // Interrupted calls go on; the next signal of the kind takes its default way again.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (int signal : {SIGTERM, SIGHUP, SIGINT}) {
        if (::sigaction(signal, &action, nullptr) != 0)
            return false;
    }
    return true;
}

} // namespace EndSignals
