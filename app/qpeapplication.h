#pragma once

#include <QApplication>

// The application object: a QApplication that knows how to show the program's
// single main widget.
class QPEApplication final : public QApplication
{
    Q_OBJECT

public:
    QPEApplication(int &argc, char **argv);

    // Shows the main widget as an ordinary top-level window of its own fixed
    // size. Closing it ends the event loop.
    void showMainWidget(QWidget *widget, bool noMaximize = false);
};
