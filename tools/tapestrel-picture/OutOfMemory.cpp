#include "OutOfMemory.h"

#ifdef TAPESTREL_SANITIZE

// The sanitizer's allocator fills the first 4 KiB of an allocation with 0xbe unless told otherwise:
// every byte of every allocation with 0 here. Options that the environment names still win.
extern "C" const char *__asan_default_options()
{
    return "malloc_fill_byte=0:max_malloc_fill_size=4294967295";
}

#else

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <malloc.h>
#include <unistd.h>

namespace {

// Clears `pointer`'s block from byte `from` to its end.
void clearFrom(void *pointer, size_t from)
{
    const size_t usable = malloc_usable_size(pointer);
    if (usable > from)
        std::memset(static_cast<char *>(pointer) + from, 0, usable - from);
}

size_t pageSize()
{
    static const auto size = size_t(::sysconf(_SC_PAGESIZE));
    return size;
}

} // namespace

// The C library's own allocator, under the names it exports for such stand-ins. Everything allocated
// here is freed by its free(). Its calloc() clears the whole block it gives, past the size asked for
// too (only memory that was used before: fresh pages are clear already).
//
// Every byte of a block past the size asked for, up to the end of the block, is kept at 0 so: a block
// shrunk by realloc() often stays where it was, and a later growth within it would otherwise bring back
// what it held before it shrank.
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
    // Past it the block holds 0 already.
    const size_t kept = pointer ? malloc_usable_size(pointer) : 0;
    void *moved = __libc_realloc(pointer, size);
    if (!moved && size)
        OutOfMemory::allocationFailed();
    if (moved)
        clearFrom(moved, std::min(kept, size));
    return moved;
}

void *reallocarray(void *pointer, size_t count, size_t size) noexcept
{
    size_t bytes = 0;
    if (__builtin_mul_overflow(count, size, &bytes)) {
        errno = ENOMEM;
        OutOfMemory::allocationFailed();
        return nullptr;
    }
    return realloc(pointer, bytes);
}

void *memalign(size_t alignment, size_t size) noexcept
{
    void *pointer = __libc_memalign(alignment, size);
    if (!pointer && size)
        OutOfMemory::allocationFailed();
    if (pointer)
        clearFrom(pointer, 0);
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

void *valloc(size_t size) noexcept
{
    return memalign(pageSize(), size);
}

// Whole pages, at least one.
void *pvalloc(size_t size) noexcept
{
    const size_t page = pageSize();
    if (size > SIZE_MAX - page) {
        errno = ENOMEM;
        OutOfMemory::allocationFailed();
        return nullptr;
    }
    return memalign(page, std::max((size + page - 1) & ~(page - 1), page));
}
}

#endif
