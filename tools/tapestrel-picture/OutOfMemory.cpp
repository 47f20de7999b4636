#include "OutOfMemory.h"

#ifndef TAPESTREL_SANITIZE

#include <cerrno>
#include <cstdlib>

// The C library's own allocator, under the names it exports for such stand-ins. Everything allocated
// here is freed by its free().
extern "C" {
void *__libc_malloc(size_t size);
void *__libc_calloc(size_t count, size_t size);
void *__libc_realloc(void *pointer, size_t size);
void *__libc_memalign(size_t alignment, size_t size);

void *malloc(size_t size) noexcept
{
    void *pointer = __libc_malloc(size);
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
    void *moved = __libc_realloc(pointer, size);
    if (!moved && size)
        OutOfMemory::allocationFailed();
    return moved;
}

void *memalign(size_t alignment, size_t size) noexcept
{
    void *pointer = __libc_memalign(alignment, size);
    if (!pointer && size)
        OutOfMemory::allocationFailed();
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
