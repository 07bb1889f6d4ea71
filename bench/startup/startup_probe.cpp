// Shows one window and exits at its first expose, after writing "shown" to standard output.
// Usage: velmora_startup_probe velmora|bare
#include <QApplication>
#include <QEvent>
#include <QMainWindow>
#include <QWindow>

#include <cstdio>
#include <cstring>
#include <memory>

#include "app/display_scaling.h"
#include "app/velmora.h"

namespace {

class FirstExpose : public QObject {
protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* window = qobject_cast<QWindow*>(watched);
        if (event->type() == QEvent::Expose && window && window->isExposed() && !m_seen) {
            m_seen = true;
            std::fputs("shown\n", stdout);
            std::fflush(stdout);
            QCoreApplication::exit(0);
        }
        return false;
    }

private:
    bool m_seen = false;
};

}  // namespace

int main(int argc, char* argv[])
{
    if (argc != 2 || (std::strcmp(argv[1], "velmora") != 0 && std::strcmp(argv[1], "bare") != 0)) {
        std::fputs("usage: velmora_startup_probe velmora|bare\n", stderr);
        return 2;
    }
    const bool bare = std::strcmp(argv[1], "bare") == 0;
    velmora::EnableDisplayScaling();  // both windows scale as the program's does
    QApplication application(argc, argv);
    std::unique_ptr<QMainWindow> window;
    if (bare) {
        window = std::make_unique<QMainWindow>();
        window->resize(518, 507);
        window->winId();  // the native window, as Velmora's constructor creates it
    } else {
        window = std::make_unique<Velmora>();
    }
    FirstExpose exposed;
    window->windowHandle()->installEventFilter(&exposed);
    window->show();
    return application.exec();
}
