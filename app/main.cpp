#include <QApplication>

#include "app/velmora.h"

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    int result = 0;
    {
        Velmora window;
        window.show();
        result = application.exec();
    }
    return result;
}
