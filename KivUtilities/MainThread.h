#pragma once

#include <functional>

namespace KivUtilities {

// Runs the block on the main (GUI) thread and returns when it has run: directly when called there,
// otherwise by handing it to the main thread's event loop and waiting. Without an application object
// the block runs on the calling thread.
void runOnMainThreadSync(const std::function<void()> &block);

} // namespace KivUtilities
