#include "tools/macros/macros_load.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "tools/macros/macros_path.h"

namespace velmoractl {

LoadedMacros LoadMacros(const Options& options, int holdLimitMs)
{
    LoadedMacros loaded;
    loaded.path = options.macros ? *options.macros : DefaultMacrosPath();
    std::FILE* file = std::fopen(loaded.path.c_str(), "rb");
    if (!file) {
        const std::string cause = errno == ENOENT && !options.macros
                                      ? "no such file: write one ('velmoractl macro --help' shows how) or "
                                        "name another with --macros FILE"
                                      : std::string("cannot be read: ") + std::strerror(errno);
        loaded.file.problems.push_back(MacroProblem{0, cause});
        return loaded;
    }
    std::string bytes;
    char buffer[65536];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;) bytes.append(buffer, got);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        loaded.file.problems.push_back(MacroProblem{0, "cannot be read"});
        return loaded;
    }
    loaded.file = ParseMacroFile(bytes, holdLimitMs);
    return loaded;
}

void ReportMacroProblems(const LoadedMacros& loaded, bool json, Report& report)
{
    report.Set("file", QString::fromStdString(loaded.path));
    const std::vector<MacroProblem>& problems = loaded.file.problems;
    // A problem of the file as a whole comes alone.
    if (problems.front().line == 0) {
        report.Fail(UsageFailure(loaded.path + ": " + problems.front().message + "; nothing was run"));
        return;
    }
    std::string lines;
    for (const MacroProblem& problem : problems) {
        lines += (lines.empty() ? "" : ", ") + std::to_string(problem.line);
        Report line("macros", json);
        line.SetCompact();
        line.Set("file", QString::fromStdString(loaded.path));
        line.Set("line", problem.line);
        line.Fail(
            UsageFailure(loaded.path + ": line " + std::to_string(problem.line) + ": " + problem.message));
        line.Finish();
    }
    report.Fail(UsageFailure("bad line(s) " + lines + " in " + loaded.path + "; nothing was run"));
}

}  // namespace velmoractl
