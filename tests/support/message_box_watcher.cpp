#include "tests/support/message_box_watcher.h"

#include <QApplication>
#include <QMessageBox>

MessageBoxWatcher::MessageBoxWatcher()
{
    m_timer.setInterval(1);
    connect(&m_timer, &QTimer::timeout, this, &MessageBoxWatcher::Poll);
    m_timer.start();
}

void MessageBoxWatcher::Poll()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (!box || !box->isVisible() || box->property("velmoraSeen").toBool()) continue;
        box->setProperty("velmoraSeen", true);
        m_seen.append({box->windowTitle(), box->text(), box->parentWidget() != nullptr,
                       static_cast<int>(box->standardButtons())});
        box->done(QMessageBox::Yes);
    }
}
