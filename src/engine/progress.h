#pragma once

#include <functional>

namespace norvane {

// Receives the progress of a long pass as a percentage: 0 to 100, never decreasing, the
// last call 100. A pass that runs on a worker thread calls it from that thread.
using ProgressReporter = std::function<void(int percent)>;

}  // namespace norvane
