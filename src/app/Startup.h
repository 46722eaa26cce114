#pragma once

class QApplication;

// The start-up sequence: edition, captions, folders, settings, splash, login, contents.
namespace Startup {
int run(QApplication& application);
}
