#pragma once

// The process's allocation functions stand in front of the C library's (every build but the
// sanitizers', whose allocator stands there itself):
// - every allocation starts cleared, whichever call makes it (malloc, calloc, the growth of realloc
//   and reallocarray, the aligned ones, valloc, pvalloc), so that what a decoder leaves unwritten in a
//   picture it makes (the pixels that an RLE bitmap skips, say) shows nothing of an earlier picture
//   whose memory the allocation reuses; the sanitizer build fills its allocations with 0 to the same end;
// - where the process's address space is limited, an allocation that fails while a picture is decoded
//   is that picture's need for more memory than the process may take. They call allocationFailed()
//   then: it answers so at once and ends the process, rather than leave a decoder to take the failure
//   for damage, or to end in an exception that nobody catches.
namespace OutOfMemory {

// Called with the allocation that failed; returns only when no picture is being decoded.
void allocationFailed() noexcept;

} // namespace OutOfMemory
