// A field that records a key combination by pressing it: the modifiers held and one key.
#pragma once

#include <QLineEdit>

#include <functional>
#include <optional>

#include "hotkeys/combination.h"

class CombinationEdit : public QLineEdit {
public:
    explicit CombinationEdit(QWidget* parent = nullptr);

    std::optional<velmora::Combination> Value() const { return m_value; }
    void SetValue(std::optional<velmora::Combination> value);
    // Called with a combination pressed (and not yet taken), or with why it cannot be one.
    std::function<void(const velmora::Combination&)> recorded;
    std::function<void(const QString& why)> refused;
    // True while the field has the focus and records.
    std::function<void(bool)> recording;

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    std::optional<velmora::Combination> m_value;
};
