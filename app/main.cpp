#include <QApplication>

#include "app/debug_log.h"
#include "app/velmora.h"

int main(int argc, char* argv[])
{
    const velmora::DebugLog debugLog(qEnvironmentVariable(velmora::DebugLogVariable));
    QApplication application(argc, argv);
    int result = 0;
    {
        Velmora window;
        window.show();
        result = application.exec();
    }
    return result;
}
