#include "ActivityMain.h"
#include "SpeakingWindow.h"

int main(int argc, char* argv[])
{
    return runActivity<SpeakingWindow>(argc, argv, QStringLiteral("Speaking"));
}
