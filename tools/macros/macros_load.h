// The macros file a velmoractl command uses: read, checked, and its problems reported.
#pragma once

#include <string>

#include "tools/cli_options.h"
#include "tools/cli_report.h"
#include "tools/macros/macro_file.h"

namespace velmoractl {

struct LoadedMacros {
    std::string path;  // --macros FILE, else the default file
    MacroFile file;    // a problem on line 0: the file as a whole (missing, unreadable, UTF-16)
};

// holdLimitMs: the longest a macro may hold a key (serve's --hold-limit).
LoadedMacros LoadMacros(const Options& options, int holdLimitMs = velmora::DefaultMacroHoldLimitMs);

// Each problem on its own line ("velmoractl: FILE: line 3: ..."; with --json one compact document
// each), and on report the usage failure that ends the command: nothing was run.
void ReportMacroProblems(const LoadedMacros& loaded, bool json, Report& report);

}  // namespace velmoractl
