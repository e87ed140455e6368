// Library-wide set-up of the analysis core, made once at start before any worker thread
// exists. The GUI, the command-line front end and the tests all call it.
#pragma once

namespace perspix {

void setupCore();

} // namespace perspix
