#include "platform/console_output.h"

namespace norvane::platform {

// A POSIX program always has the streams it was started with.
ConsoleOutput::ConsoleOutput() = default;
ConsoleOutput::~ConsoleOutput() = default;

}  // namespace norvane::platform
