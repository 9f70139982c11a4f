#pragma once

#include <string>

namespace zumt {

// How the opened document's window should appear. Kept for the callers'
// sake; the Linux desktop opener takes no show state.
enum class ShowState { Normal, Restore };

// Hands a path to the desktop's "open" action and returns at once; the
// outcome is ignored (a missing file is the opener's to report).
void ShellOpen(const std::string& path, ShowState state);

}  // namespace zumt
