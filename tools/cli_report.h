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

    // Members of the JSON document.
    void Set(const QString& key, const QJsonValue& value) { m_data.insert(key, value); }

    // A line on standard output now (text mode only).
    void Line(const std::string& text);
    void Line(const QString& text);
    void Line(const char* text) { Line(std::string(text)); }

    // "velmoractl: warning: ..." on standard error now; also listed under "warnings" in JSON.
    void Warn(const std::string& text);

    // Keeps the first failure only: the one that made the command stop or fail.
    void Fail(Failure failure);
    bool Failed() const { return m_failure.has_value(); }

    // Prints the JSON document or the error line and returns the exit status.
    int Finish();

private:
    std::string m_command;
    bool m_json;
    bool m_compact = false;
    QJsonObject m_data;
    QStringList m_warnings;
    std::optional<Failure> m_failure;
};

}  // namespace velmoractl
