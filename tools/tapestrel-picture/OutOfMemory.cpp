#include "OutOfMemory.h"

#ifdef TAPESTREL_SANITIZE

// The sanitizer's allocator fills the first 4 KiB of an allocation with 0xbe unless told otherwise:
// every byte of every allocation with 0 here. Options that the environment names still win.
extern "C" const char *__asan_default_options()
{
    return "malloc_fill_byte=0:max_malloc_fill_size=4294967295";
}

#else

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <malloc.h>

// The C library's own allocator, under the names it exports for such stand-ins. Everything allocated
// here is freed by its free(). Its calloc() clears only memory that was used before: fresh pages are
// clear already.
extern "C" {
void *__libc_calloc(size_t count, size_t size);
void *__libc_realloc(void *pointer, size_t size);
void *__libc_memalign(size_t alignment, size_t size);

void *malloc(size_t size) noexcept
{
    void *pointer = __libc_calloc(1, size);
    if (!pointer && size)
        OutOfMemory::allocationFailed();
    return pointer;
}

void *calloc(size_t count, size_t size) noexcept
{
    void *pointer = __libc_calloc(count, size);
    if (!pointer && count && size)
        OutOfMemory::allocationFailed();
    return pointer;
}

void *realloc(void *pointer, size_t size) noexcept
{
    const size_t kept = pointer ? malloc_usable_size(pointer) : 0;
    void *moved = __libc_realloc(pointer, size);
    if (!moved && size)
        OutOfMemory::allocationFailed();
    // What it grew by.
    if (moved && size > kept)
        std::memset(static_cast<char *>(moved) + kept, 0, size - kept);
    return moved;
}

void *memalign(size_t alignment, size_t size) noexcept
{
    void *pointer = __libc_memalign(alignment, size);
    if (!pointer && size)
        OutOfMemory::allocationFailed();
    if (pointer)
        std::memset(pointer, 0, size);
    return pointer;
}

void *aligned_alloc(size_t alignment, size_t size) noexcept
{
    return memalign(alignment, size);
}

int posix_memalign(void **out, size_t alignment, size_t size) noexcept
{
    if (alignment < sizeof(void *) || (alignment & (alignment - 1)) != 0)
        return EINVAL;
    void *pointer = memalign(alignment, size);
    if (!pointer && size)
        return ENOMEM;
    *out = pointer;
    return 0;
}
}

#endif
