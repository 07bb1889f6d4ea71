// Records and closes every message box that opens while it lives, so tests never block on one.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <QVector>

struct SeenMessageBox {
    QString title;
    QString text;
    bool hasParent = false;
    int standardButtons = 0;
};

class MessageBoxWatcher : public QObject {
    Q_OBJECT

public:
    MessageBoxWatcher();
    const QVector<SeenMessageBox>& Seen() const { return m_seen; }
    void Clear() { m_seen.clear(); }

private:
    void Poll();
    QTimer m_timer;
    QVector<SeenMessageBox> m_seen;
};
