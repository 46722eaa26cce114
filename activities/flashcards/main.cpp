#include "ActivityMain.h"
#include "FlashcardsWindow.h"

int main(int argc, char* argv[])
{
    return runActivity<FlashcardsWindow>(argc, argv, QStringLiteral("Flashcards"));
}
