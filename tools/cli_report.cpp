#include "tools/cli_report.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <cstdio>

#include "tools/terminal_text.h"

namespace velmoractl {

Report::Report(std::string command, bool json) : m_command(std::move(command)), m_json(json) {}

void Report::ForBatchLine(int line)
{
    m_where = "line " + std::to_string(line) + ": ";
    m_compact = true;
    m_data.insert("line", line);
}

void Report::Line(const std::string& text)
{
    if (m_json) return;
    std::fputs(TerminalText(text).c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void Report::Line(const QString& text)
{
    Line(text.toStdString());
}

void Report::Warn(const std::string& text)
{
    std::fprintf(stderr, "velmoractl: %swarning: %s\n", m_where.c_str(), TerminalText(text).c_str());
    m_warnings.append(QString::fromStdString(text));
}

void Report::Fail(Failure failure)
{
    if (!m_failure) m_failure = std::move(failure);
}

int Report::Finish()
{
    const int code = m_failure ? static_cast<int>(m_failure->code) : 0;
    if (m_failure)
        std::fprintf(stderr, "velmoractl: %s%s\n", m_where.c_str(), TerminalText(m_failure->message).c_str());
    if (m_json) {
        QJsonObject document = m_data;
        if (!m_command.empty()) document.insert("command", QString::fromStdString(m_command));
        document.insert("ok", !m_failure);
        document.insert("exit", code);
        if (!m_warnings.isEmpty()) document.insert("warnings", QJsonArray::fromStringList(m_warnings));
        if (m_failure) {
            QJsonObject error;
            error.insert("cause", QString::fromStdString(m_failure->cause));
            error.insert("message", QString::fromStdString(m_failure->message));
            if (m_failure->status) {
                error.insert("status", QString::fromStdString(velmora::StatusName(*m_failure->status)));
                error.insert("code", QString::fromStdString(velmora::StatusHex(*m_failure->status)));
            }
            document.insert("error", error);
        }
        const QByteArray text =
            QJsonDocument(document).toJson(m_compact ? QJsonDocument::Compact : QJsonDocument::Indented);
        std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stdout);
        if (!text.endsWith('\n')) std::fputc('\n', stdout);
        std::fflush(stdout);
    }
    return code;
}

}  // namespace velmoractl
