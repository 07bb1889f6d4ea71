#include "app/settings_dialog.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/autostart.h"
#include "app/combination_edit.h"
#include "app/hotkey_controller.h"
#include "app/user_settings.h"

namespace {

QString Tr(const char* text)
{
    return QCoreApplication::translate("SettingsDialog", text);
}

QString Text(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<int>(text.size()));
}

}  // namespace

SettingsDialog::SettingsDialog(HotkeyController& hotkeys, velmora::HotkeySettings& settings,
                               const QStringList& problems, const QStringList& macros, QWidget* parent)
    : QDialog(parent), m_hotkeys(hotkeys), m_settings(settings), m_edited(settings)
{
    setWindowTitle(Tr("Velmora settings"));
    auto* layout = new QVBoxLayout(this);

    m_enabledAtOpen = m_hotkeys.Enabled();
    m_enabled =
        new QCheckBox(Tr("Hotkeys on: the keys below work while other programs have the focus"), this);
    m_enabled->setChecked(m_enabledAtOpen);
    layout->addWidget(m_enabled);
    m_backend = new QLabel(this);
    m_backend->setWordWrap(true);
    layout->addWidget(m_backend);

    const auto effective = velmora::EffectiveCombinations(m_edited);
    auto* grid = new QGridLayout;
    for (int key = 0; key < velmora::KeyCount; ++key) {
        const std::size_t i = static_cast<std::size_t>(key);
        const velmora::KeyDefinition& definition = velmora::Keys[i];
        grid->addWidget(new QLabel(QStringLiteral("%1 (%2)").arg(Text(definition.caption),
                                                                 Text(velmora::HotkeySettingName(key))),
                                   this),
                        key, 0);
        m_edits[i] = new CombinationEdit(this);
        m_edits[i]->setObjectName(Text(velmora::HotkeySettingName(key)));
        m_edits[i]->SetValue(effective[i]);
        m_edits[i]->recorded = [this, key](const velmora::Combination& combination) {
            Record(key, combination);
        };
        m_edits[i]->refused = [this, key](const QString& why) {
            m_statuses[static_cast<std::size_t>(key)]->setText(why);
        };
        m_edits[i]->recording = [this](bool on) { m_hotkeys.Suspend(on); };
        grid->addWidget(m_edits[i], key, 1);
        auto* clear = new QPushButton(Tr("Clear"), this);
        clear->setObjectName(QStringLiteral("clear-") + Text(velmora::HotkeySettingName(key)));
        clear->setAutoDefault(false);
        connect(clear, &QPushButton::clicked, this, [this, key] {
            m_edited.keys[static_cast<std::size_t>(key)] = {true, std::nullopt};
            m_edits[static_cast<std::size_t>(key)]->SetValue(std::nullopt);
            m_statuses[static_cast<std::size_t>(key)]->clear();
        });
        grid->addWidget(clear, key, 2);
        m_statuses[i] = new QLabel(this);
        grid->addWidget(m_statuses[i], key, 3);
    }
    // A row per macro of the macros file: its combination runs it.
    for (const QString& name : macros) {
        const int row = grid->rowCount();
        grid->addWidget(new QLabel(Tr("macro %1").arg(name), this), row, 0);
        auto* edit = new CombinationEdit(this);
        edit->setObjectName(QStringLiteral("macro-") + name);
        for (const velmora::MacroHotkey& macro : m_edited.macros) {
            if (QString::fromStdString(macro.name).compare(name, Qt::CaseInsensitive) == 0)
                edit->SetValue(macro.combination);
        }
        edit->recorded = [this, name, edit](const velmora::Combination& combination) {
            if (RecordMacro(name, combination)) edit->SetValue(combination);
        };
        edit->refused = [this](const QString& why) { m_message->setText(why); };
        edit->recording = [this](bool on) { m_hotkeys.Suspend(on); };
        grid->addWidget(edit, row, 1);
        auto* clear = new QPushButton(Tr("Clear"), this);
        clear->setAutoDefault(false);
        connect(clear, &QPushButton::clicked, this, [this, name, edit] {
            RecordMacro(name, std::nullopt);
            edit->SetValue(std::nullopt);
        });
        grid->addWidget(clear, row, 2);
        m_macroEdits.push_back(edit);
    }
    layout->addLayout(grid);
    auto* suggested = new QPushButton(Tr("Suggested set"), this);
    suggested->setAutoDefault(false);
    connect(suggested, &QPushButton::clicked, this, [this] { ShowSuggested(); });
    layout->addWidget(suggested, 0, Qt::AlignLeft);

    m_autostart = new QCheckBox(Tr("Start with the desktop (in the tray)"), this);
    m_autostart->setChecked(velmora::AutostartIsOn());
    m_autostart->setToolTip(velmora::AutostartLocation());
    layout->addWidget(m_autostart);

    QString file = Tr("Settings file: %1").arg(velmora::UserSettingsPath());
    for (const QString& problem : problems) file += QStringLiteral("\n") + Tr("Not read: %1").arg(problem);
    auto* fileLabel = new QLabel(file, this);
    fileLabel->setWordWrap(true);
    fileLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(fileLabel);
    m_message = new QLabel(this);
    m_message->setWordWrap(true);
    layout->addWidget(m_message);

    auto* buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Apply | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (Apply()) accept();
    });
    connect(buttons->button(QDialogButtonBox::Apply), &QPushButton::clicked, this, [this] { Apply(); });
    layout->addWidget(buttons);

    connect(&m_hotkeys, &HotkeyController::Changed, this, [this] { ShowStatuses(); });
    ShowStatuses();
}

SettingsDialog::~SettingsDialog()
{
    m_hotkeys.Suspend(false);
}

void SettingsDialog::Record(int keyIndex, const velmora::Combination& combination)
{
    const auto effective = velmora::EffectiveCombinations(m_edited);
    for (int other = 0; other < velmora::KeyCount; ++other) {
        if (other == keyIndex || effective[static_cast<std::size_t>(other)] != combination) continue;
        m_statuses[static_cast<std::size_t>(keyIndex)]->setText(
            Tr("%1 is already on %2")
                .arg(QString::fromStdString(velmora::CombinationText(combination)),
                     Text(velmora::HotkeySettingName(other))));
        return;
    }
    m_edited.keys[static_cast<std::size_t>(keyIndex)] = {true, combination};
    m_edits[static_cast<std::size_t>(keyIndex)]->SetValue(combination);
    m_statuses[static_cast<std::size_t>(keyIndex)]->clear();
}

bool SettingsDialog::RecordMacro(const QString& name, const std::optional<velmora::Combination>& combination)
{
    const std::string text = name.toStdString();
    auto& macros = m_edited.macros;
    const auto same = [&text](const velmora::MacroHotkey& macro) {
        return QString::fromStdString(macro.name)
                   .compare(QString::fromStdString(text), Qt::CaseInsensitive) == 0;
    };
    if (combination) {
        QString holder;
        const auto effective = velmora::EffectiveCombinations(m_edited);
        for (int key = 0; key < velmora::KeyCount && holder.isEmpty(); ++key) {
            if (effective[static_cast<std::size_t>(key)] == combination)
                holder = Text(velmora::HotkeySettingName(key));
        }
        for (const velmora::MacroHotkey& macro : macros) {
            if (holder.isEmpty() && macro.combination == *combination && !same(macro))
                holder = Tr("macro %1").arg(QString::fromStdString(macro.name));
        }
        if (!holder.isEmpty()) {
            m_message->setText(
                Tr("%1 is already on %2")
                    .arg(QString::fromStdString(velmora::CombinationText(*combination)), holder));
            return false;
        }
    }
    macros.erase(std::remove_if(macros.begin(), macros.end(), same), macros.end());
    if (combination) macros.push_back({text, *combination});
    m_message->clear();
    return true;
}

void SettingsDialog::ShowSuggested()
{
    const auto suggested = velmora::SuggestedCombinations();
    for (std::size_t i = 0; i < suggested.size(); ++i) {
        m_edited.keys[i] = {};
        m_edits[i]->SetValue(suggested[i]);
        m_statuses[i]->clear();
    }
}

QString SettingsDialog::StatusText(int keyIndex) const
{
    return m_statuses[static_cast<std::size_t>(keyIndex)]->text();
}

void SettingsDialog::ShowStatuses()
{
    const QString name = m_hotkeys.SourceName();
    if (!m_hotkeys.Unavailable().isEmpty()) {
        m_backend->setText(Tr("Hotkeys cannot work here: %1.").arg(m_hotkeys.Unavailable()));
    } else {
        m_backend->setText(Tr("Hotkeys here (%1): %2.").arg(name, m_hotkeys.Ability()));
    }
    if (!m_hotkeys.Enabled()) return;
    const auto bound = m_hotkeys.CurrentCombinations();
    for (int key = 0; key < velmora::KeyCount; ++key) {
        const velmora::BindingStatus status = m_hotkeys.StatusOf(key);
        const auto& combination = bound[static_cast<std::size_t>(key)];
        QString text;
        switch (status.state) {
            case velmora::BindingState::Taken:
                text = Tr("another program has %1")
                           .arg(QString::fromStdString(velmora::CombinationText(*combination)));
                break;
            case velmora::BindingState::Pending:
                text = combination ? Tr("waiting for the desktop") : QString();
                break;
            case velmora::BindingState::Bound:
                text = status.detail.empty() ? QString()
                                             : Tr("bound: %1").arg(QString::fromStdString(status.detail));
                break;
            case velmora::BindingState::NoKey:
            case velmora::BindingState::Failed:
                text = combination ? QString::fromStdString(status.detail) : QString();
                break;
        }
        m_statuses[static_cast<std::size_t>(key)]->setText(text);
    }
}

bool SettingsDialog::Apply()
{
    velmora::HotkeySettings saved = m_edited;
    // --hotkeys turns them on for one run only: the file keeps its switch unless it was changed here.
    saved.enabled = m_enabled->isChecked() != m_enabledAtOpen ? m_enabled->isChecked() : m_settings.enabled;
    saved.hideMessageShown = m_settings.hideMessageShown;
    QString problem;
    if (!velmora::SaveUserSettings(saved)) problem = Tr("Cannot write %1.").arg(velmora::UserSettingsPath());
    QString autostartError;
    if (m_autostart->isChecked() != velmora::AutostartIsOn() &&
        !velmora::SetAutostart(m_autostart->isChecked(), autostartError)) {
        problem += (problem.isEmpty() ? QString() : QStringLiteral(" ")) + autostartError;
    }
    m_settings = saved;
    m_edited = saved;
    m_enabledAtOpen = m_enabled->isChecked();
    m_hotkeys.Suspend(false);
    m_hotkeys.SetCombinations(velmora::EffectiveCombinations(saved));
    m_hotkeys.SetMacroCombinations(saved.macros);
    m_hotkeys.SetEnabled(m_enabled->isChecked());
    ShowStatuses();
    m_message->setText(problem);
    return problem.isEmpty();
}
