#pragma once

#include <functional>

// SIGTERM, SIGHUP (the end of a session) and SIGINT end the program through its normal way
// out: the signal only writes a byte to a pipe, and the event loop calls the function given
// here, where everything may be done. A second signal of the same kind ends the program at
// once, as it would without this handling, and so does the first when the normal way out
// has not ended the program within 0.9 seconds (a long database statement is stopped at
// once meanwhile).
namespace EndSignals {

// Installs the handling (once) and sets the function the event loop calls with the signal's
// number. Needs a QCoreApplication. Returns false when the handling cannot be installed.
bool install(std::function<void(int signal)> onSignal);
// True once one of the signals has arrived: the program is on its way out, and waits that
// only pass time (Pause) end at once.
bool received();

} // namespace EndSignals
