// The perspix program: sets up the core, hands its files to a running perspix when there is
// one, and otherwise starts the application.
#include <QApplication>

#include "model/CoreSetup.h"

int main(int argc, char** argv)
{
    perspix::setupCore();
    QApplication app(argc, argv);
    return 0;
}
