#include "app/qpeapplication.h"
#include "app/tavlo.h"

int main(int argc, char **argv)
{
    QPEApplication a(argc, argv);
    int result = 0;
    {
        Tavlo window(nullptr, nullptr, Qt::WindowFlags());
        a.showMainWidget(&window, false);
        result = a.exec();
    }
    return result;
}
