#include "ActivityMain.h"
#include "ListeningWindow.h"

int main(int argc, char* argv[])
{
    return runActivity<ListeningWindow>(argc, argv, QStringLiteral("Listening"));
}
