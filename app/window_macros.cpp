#include "app/window_macros.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>

#include "tools/macros/macro_file.h"
#include "tools/macros/macros_path.h"

namespace {

using Clock = velmora::MacroRunner::Clock;

constexpr qint64 kLargestFile = 1 << 20;

}  // namespace

WindowMacros::WindowMacros(std::function<bool(int)> send, std::function<void()> letGo, QObject* parent)
    : QObject(parent), m_send(std::move(send)), m_letGo(std::move(letGo))
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, [this] { Step(); });
}

WindowMacros::~WindowMacros()
{
    Cancel();
}

void WindowMacros::Load(const QString& path)
{
    Cancel();
    m_book = {};
    m_problems.clear();
    const QString file = path.isEmpty() ? QString::fromStdString(velmoractl::DefaultMacrosPath()) : path;
    QFile opened(file);
    if (!opened.exists() && path.isEmpty()) return;  // no macros: nothing to say
    if (!opened.open(QIODevice::ReadOnly)) {
        m_problems.append(QStringLiteral("%1: cannot be read").arg(file));
    } else {
        const QByteArray bytes = opened.read(kLargestFile);
        const velmoractl::MacroFile parsed = velmoractl::ParseMacroFile(
            std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
        for (const velmoractl::MacroProblem& problem : parsed.problems) {
            m_problems.append(problem.line > 0 ? QStringLiteral("%1: line %2: %3")
                                                     .arg(file)
                                                     .arg(problem.line)
                                                     .arg(QString::fromStdString(problem.message))
                                               : QStringLiteral("%1: %2").arg(
                                                     file, QString::fromStdString(problem.message)));
        }
        m_book = parsed.book;
    }
    for (const QString& problem : m_problems) qDebug().noquote() << "macros:" << problem;
}

bool WindowMacros::Run(const QString& name)
{
    const velmora::Macro* macro = m_book.Find(name.toStdString());
    if (!macro) {
        qDebug().noquote() << QStringLiteral("macro %1: not in the macros file").arg(name);
        return false;
    }
    Cancel();
    m_runner.emplace(*macro, Clock::now());
    qDebug().noquote() << QStringLiteral("macro %1 started").arg(QString::fromStdString(macro->name));
    Q_EMIT RunningChanged(QString::fromStdString(macro->name));
    Step();
    return true;
}

void WindowMacros::Step()
{
    while (m_runner) {
        const velmora::MacroRunner::Action action = m_runner->Next(Clock::now());
        if (action.kind == velmora::MacroRunner::Action::Kind::Done) {
            if (m_runner->Failed()) return Cancel();
            return End();
        }
        if (action.kind == velmora::MacroRunner::Action::Kind::Wait) {
            const auto wait =
                std::chrono::duration_cast<std::chrono::milliseconds>(action.until - Clock::now());
            m_timer.start(static_cast<int>(std::max<long long>(0, wait.count() + 1)));
            return;
        }
        // One keypad: what the window holds goes first.
        if (action.slot % 2 == 0) m_letGo();
        m_sending = true;
        const bool ok = m_send(action.slot);
        m_sending = false;
        if (m_runner) m_runner->Sent(ok, Clock::now());
    }
}

void WindowMacros::Cancel()
{
    if (!m_runner) return;
    m_timer.stop();
    const std::vector<int> owed = m_runner->Cancel();
    m_sending = true;
    for (const int slot : owed) m_send(slot);
    m_sending = false;
    qDebug().noquote()
        << QStringLiteral("macro %1 cancelled").arg(QString::fromStdString(m_runner->GetMacro().name));
    End();
}

void WindowMacros::End()
{
    m_timer.stop();
    m_runner.reset();
    Q_EMIT RunningChanged({});
}
