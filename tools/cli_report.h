// Everything a command shows: lines for a person, or one JSON document; warnings and the one
// error line on standard error.
#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <optional>
#include <string>

#include "tools/cli_failure.h"

namespace velmoractl {

class Report {
public:
    Report(std::string command, bool json);

    bool Json() const { return m_json; }
    // The closing JSON document on one line (after a stream of one-line events).
    void SetCompact() { m_compact = true; }

    // A command of a batch: its lines on standard error start with "line N: ", and its JSON document
    // is one compact line that carries "line".
    void ForBatchLine(int line);

    // Members of the JSON document; without --json nothing is built (a one-shot spares Qt's JSON code).
    template <typename Value>
    void Set(const char* key, const Value& value)
    {
        if (m_json) m_data.insert(QLatin1String(key), QJsonValue(value));
    }

    // A line on standard output now (text mode only).
    void Line(const std::string& text);
    void Line(const QString& text);
    void Line(const char* text) { Line(std::string(text)); }

    // "velmoractl: warning: ..." on standard error now; also listed under "warnings" in JSON.
    void Warn(const std::string& text);

    // Keeps the first failure only: the one that made the command stop or fail.
    void Fail(Failure failure);
    bool Failed() const { return m_failure.has_value(); }
    const std::optional<velmoractl::Failure>& FirstFailure() const { return m_failure; }

    // Prints the JSON document or the error line and returns the exit status.
    int Finish();

private:
    std::string m_command;
    bool m_json;
    bool m_compact = false;
    std::string m_where;  // before the message on standard error
    QJsonObject m_data;
    QStringList m_warnings;
    std::optional<Failure> m_failure;
};

}  // namespace velmoractl
