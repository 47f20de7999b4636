#pragma once

// Where the process's address space is limited (every build but the sanitizers'), an allocation that
// fails while a picture is decoded is that picture's need for more memory than the process may take.
// The process's allocation functions stand in front of the C library's and call this then: it answers
// so at once and ends the process, rather than leave a decoder to take the failure for damage, or to
// end in an exception that nobody catches.
namespace OutOfMemory {

// Called with the allocation that failed; returns only when no picture is being decoded.
void allocationFailed() noexcept;

} // namespace OutOfMemory
