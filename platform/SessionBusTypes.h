#pragma once

namespace Platform {

// Registers the D-Bus types that the program's calls, replies and signals carry, on the calling
// thread. Call it before anything connects to a bus: Qt D-Bus registers its own types (messages,
// errors, variants) lazily, and when the bus's thread and the main thread do that at the same time
// one of them can end up with types that are not registered yet, which shows as "Trying to
// construct an instance of an invalid type" on standard error and a lost value.
void registerSessionBusTypes();

} // namespace Platform
