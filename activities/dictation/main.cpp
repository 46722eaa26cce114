#include "ActivityMain.h"
#include "DictationWindow.h"

int main(int argc, char* argv[])
{
    return runActivity<DictationWindow>(argc, argv, QStringLiteral("Dictation"));
}
