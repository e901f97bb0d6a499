#include "alloc_count.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>

// glibc's allocator under its own names, which replacing malloc leaves in place.
extern "C" {
void *__libc_malloc(std::size_t size);
void *__libc_calloc(std::size_t count, std::size_t size);
void *__libc_realloc(void *p, std::size_t size);
void *__libc_memalign(std::size_t alignment, std::size_t size);
void __libc_free(void *p);
}

namespace {

std::atomic<std::size_t> allocations{0};

void *counted(void *p)
{
    allocations.fetch_add(1, std::memory_order_relaxed);
    return p;
}

} // namespace

std::size_t allocationCount()
{
    return allocations.load(std::memory_order_relaxed);
}

extern "C" {

void *malloc(std::size_t size) noexcept
{
    return counted(__libc_malloc(size));
}

void *calloc(std::size_t count, std::size_t size) noexcept
{
    return counted(__libc_calloc(count, size));
}

void *realloc(void *p, std::size_t size) noexcept
{
    return counted(__libc_realloc(p, size));
}

void *memalign(std::size_t alignment, std::size_t size) noexcept
{
    return counted(__libc_memalign(alignment, size));
}

void *aligned_alloc(std::size_t alignment, std::size_t size) noexcept
{
    return counted(__libc_memalign(alignment, size));
}

int posix_memalign(void **out, std::size_t alignment, std::size_t size) noexcept
{
    void *p = __libc_memalign(alignment, size);
    if (!p)
        return ENOMEM;
    *out = counted(p);
    return 0;
}

void free(void *p) noexcept
{
    __libc_free(p);
}
}
