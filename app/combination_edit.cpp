#include "app/combination_edit.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QKeySequence>

CombinationEdit::CombinationEdit(QWidget* parent) : QLineEdit(parent)
{
    setReadOnly(true);
    // Room for the placeholder and a long combination.
    setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("Ctrl+Alt+Shift+PageDown")) + 16);
    setPlaceholderText(QCoreApplication::translate("SettingsDialog", "press a combination"));
}

void CombinationEdit::SetValue(std::optional<velmora::Combination> value)
{
    m_value = value;
    setText(value ? QString::fromStdString(velmora::CombinationText(*value)) : QString());
}

void CombinationEdit::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if ((key == Qt::Key_Tab || key == Qt::Key_Backtab) &&
        !(modifiers & (Qt::ControlModifier | Qt::AltModifier))) {
        QLineEdit::keyPressEvent(event);  // moves the focus on
        return;
    }
    event->accept();
    switch (key) {
        case Qt::Key_Control:
        case Qt::Key_Shift:
        case Qt::Key_Alt:
        case Qt::Key_AltGr:
        case Qt::Key_Meta:
        case Qt::Key_Super_L:
        case Qt::Key_Super_R:
        case Qt::Key_CapsLock:
        case Qt::Key_NumLock:
        case Qt::Key_unknown:
            return;  // a modifier alone: waits for the key
        default:
            break;
    }
    QString text;
    if (modifiers & Qt::ControlModifier) text += QStringLiteral("Ctrl+");
    if (modifiers & Qt::AltModifier) text += QStringLiteral("Alt+");
    if (modifiers & Qt::ShiftModifier) text += QStringLiteral("Shift+");
    if (modifiers & Qt::MetaModifier) text += QStringLiteral("Meta+");
    text += QKeySequence(key).toString(QKeySequence::PortableText);
    std::string error;
    const std::optional<velmora::Combination> combination =
        velmora::ParseCombination(text.toStdString(), error);
    if (!combination) {
        if (refused) refused(QStringLiteral("%1: %2").arg(text, QString::fromStdString(error)));
        return;
    }
    if (recorded) recorded(*combination);
}

void CombinationEdit::keyReleaseEvent(QKeyEvent* event)
{
    event->accept();
}

void CombinationEdit::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    if (recording) recording(true);
}

void CombinationEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    if (recording) recording(false);
}
