#include "tools/commands/midi_command.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>

#include "tools/cli_report.h"
#include "tools/controllers/event_wait.h"
#include "tools/controllers/midi_mapping.h"
#include "tools/controllers/midi_source.h"
#include "tools/terminal_text.h"

namespace velmoractl {

namespace {

using velmora::controllers::MidiEvent;
using velmora::controllers::MidiMessage;
using velmora::controllers::MidiSource;

const char* KindName(MidiMessage::Kind kind)
{
    switch (kind) {
        case MidiMessage::Kind::NoteOff:
            return "note-off";
        case MidiMessage::Kind::NoteOn:
            return "note-on";
        case MidiMessage::Kind::ControlChange:
            return "control-change";
        case MidiMessage::Kind::ProgramChange:
            return "program-change";
    }
    return "";
}

// One line per message, at once: the message and the line that binds it, or one compact JSON object.
void PrintMessage(bool json, const velmora::controllers::MidiMapping& mapping, const MidiMessage& message)
{
    const std::string line = velmora::controllers::MidiLearnLine(mapping, message);
    if (json) {
        QJsonObject object;
        object.insert("event", KindName(message.kind));
        object.insert("channel", message.channel + 1);
        object.insert("number", message.number);
        if (message.kind != MidiMessage::Kind::ProgramChange) object.insert("value", message.value);
        object.insert("line", QString::fromStdString(line));
        object.insert("mapped", mapping.Find(velmora::controllers::InputOf(message)) != nullptr);
        std::fprintf(stdout, "%s\n", QJsonDocument(object).toJson(QJsonDocument::Compact).constData());
    } else {
        std::fprintf(stdout, "%-40s %s\n", velmora::controllers::MidiMessageText(message).c_str(),
                     line.c_str());
    }
    std::fflush(stdout);
}

}  // namespace

int RunMidi(const Options& options)
{
    Report report("midi", options.json);
    if (options.operands.empty() || options.operands[0] != "learn") {
        report.Fail(UsageFailure(options.operands.empty()
                                     ? "midi needs a command: learn PORT"
                                     : "unknown midi command '" + options.operands[0] + "' (learn PORT)"));
        return report.Finish();
    }
    if (options.operands.size() != 2) {
        report.Fail(
            UsageFailure("midi learn takes one port: its client:port or name as 'aconnect -l' shows it "
                         "(Windows: its number or name)"));
        return report.Finish();
    }
    velmora::controllers::MidiMapping mapping = velmora::controllers::DefaultMidiMapping();
    if (options.midiMap) {
        const auto parse = velmora::controllers::LoadMidiMappingFile(*options.midiMap);
        if (!parse.errors.empty()) {
            QJsonArray errors;
            for (std::size_t i = 0; i + 1 < parse.errors.size(); ++i) {
                std::fprintf(stderr, "velmoractl: %s: %s\n", TerminalText(*options.midiMap).c_str(),
                             TerminalText(parse.errors[i]).c_str());
            }
            for (const std::string& error : parse.errors) errors.append(QString::fromStdString(error));
            report.Set("mapErrors", errors);
            report.Fail(UsageFailure(*options.midiMap + ": " + parse.errors.back()));
            return report.Finish();
        }
        mapping = parse.mapping;
    }

    std::string error;
    const std::unique_ptr<MidiSource> source = velmora::controllers::CreateMidiSource(error);
    if (!source) {
        report.Fail(Failure{ExitCode::Unsupported, CauseName(ExitCode::Unsupported), error, std::nullopt});
        return report.Finish();
    }
    const bool json = report.Json();
    bool gone = false;
    std::string goneDetail;
    const auto sink = [&](const MidiEvent& event) {
        if (event.kind == MidiEvent::Kind::Gone) {
            gone = true;
            goneDetail = event.detail;
        } else {
            PrintMessage(json, mapping, event.message);
        }
    };
    switch (source->Open(options.operands[1], sink, error)) {
        case MidiSource::OpenResult::Opened:
            break;
        case MidiSource::OpenResult::NoSuchPort:
            report.Fail(UsageFailure(error));
            return report.Finish();
        case MidiSource::OpenResult::Unavailable:
            report.Fail(Failure{ExitCode::Failed, CauseName(ExitCode::Failed), error, std::nullopt});
            return report.Finish();
    }
    const std::string port = velmora::controllers::MidiPortLabel(source->Port());
    report.Set("port", QString::fromStdString(source->Port().id));
    report.SetCompact();
    std::fprintf(stderr, "velmoractl: learning from MIDI port %s; stop with Ctrl+C\n",
                 TerminalText(port).c_str());
    std::fflush(stderr);

    const int stopped = velmora::controllers::RunUntilStopped(
        source->EventHandle(),
        [&] {
            source->DispatchPending();
            return !gone;
        },
        error);
    if (stopped < 0) {
        report.Fail(Failure{ExitCode::Failed, CauseName(ExitCode::Failed), error, std::nullopt});
    } else if (gone) {
        report.Fail(Failure{ExitCode::DeviceGone, CauseName(ExitCode::DeviceGone),
                            "MIDI port " + port + ": " + goneDetail, std::nullopt});
    }
    return report.Finish();
}

}  // namespace velmoractl
