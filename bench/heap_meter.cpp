#include "bench/heap_meter.h"

#include <cstdlib>
#include <new>

#include "host/platform.h"

namespace {

bool gMetering = false;
long long gHeld = 0;
long long gPeak = 0;
long long gBlocks = 0;

long long blockBytes(void* block) {
  return static_cast<long long>(graftling::platform::heapBlockSize(block) + sizeof(void*));
}

void* allocate(std::size_t size) {
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block != nullptr && gMetering) {
    gHeld += blockBytes(block);
    ++gBlocks;
    if (gHeld > gPeak) gPeak = gHeld;
  }
  return block;
}

void release(void* block) {
  if (block != nullptr && gMetering) gHeld -= blockBytes(block);
  std::free(block);
}

}  // namespace

void* operator new(std::size_t size) {
  void* block = allocate(size);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void operator delete(void* block) noexcept { release(block); }
void operator delete[](void* block) noexcept { release(block); }
void operator delete(void* block, std::size_t) noexcept { release(block); }
void operator delete[](void* block, std::size_t) noexcept { release(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { release(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { release(block); }

namespace graftling::bench {

HeapMeter::HeapMeter() {
  gHeld = 0;
  gPeak = 0;
  gBlocks = 0;
  gMetering = true;
}

HeapMeter::~HeapMeter() { gMetering = false; }

long long HeapMeter::peakBytes() const { return gPeak; }

long long HeapMeter::blocks() const { return gBlocks; }

}  // namespace graftling::bench
