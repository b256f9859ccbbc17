#include "tests/alloc_failure.h"

#include <cstdlib>
#include <new>

namespace {

bool gArmed = false;
long gCount = 0;
long gFailAt = 0;
bool gFailed = false;

// True when this allocation is the one that must fail.
bool shouldFail() {
  if (!gArmed) return false;
  ++gCount;
  if (gCount != gFailAt) return false;
  gFailed = true;
  return true;
}

void* allocate(std::size_t size) {
  if (shouldFail()) return nullptr;
  return std::malloc(size == 0 ? 1 : size);
}

}  // namespace

void* operator new(std::size_t size) {
  void* p = allocate(size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace graftling::testing {

AllocationFailure::AllocationFailure(long n) {
  gCount = 0;
  gFailAt = n;
  gFailed = false;
  gArmed = true;
}

AllocationFailure::~AllocationFailure() { gArmed = false; }

long AllocationFailure::count() const { return gCount; }

bool AllocationFailure::failed() const { return gFailed; }

}  // namespace graftling::testing
