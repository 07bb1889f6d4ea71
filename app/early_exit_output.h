#pragma once

#include <string>

namespace velmora {

// Shows what `velmora --help` or `--version` answers (EarlyExitText). On Windows, where velmora is
// a GUI-subsystem program without a console of its own: on the standard output it was given (a
// file, a pipe or a console), else in the console of the program that started it, else in a
// message box. Elsewhere on standard output.
void ShowEarlyExitText(const std::string& text);

}  // namespace velmora
