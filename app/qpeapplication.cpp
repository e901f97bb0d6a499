#include "app/qpeapplication.h"

#include <QWidget>

QPEApplication::QPEApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{
    setQuitOnLastWindowClosed(true);
}

void QPEApplication::showMainWidget(QWidget *widget, bool noMaximize)
{
    // On a desktop the fixed-size window is never maximised, whatever the flag.
    Q_UNUSED(noMaximize);
    widget->show();
}
