// Counts the heap a stretch of code holds, through a replaced operator new.
#ifndef GRAFTLING_BENCH_HEAP_METER_H_
#define GRAFTLING_BENCH_HEAP_METER_H_

#include <cstddef>

namespace graftling::bench {

// While alive, follows every block that operator new hands out or takes
// back, in this program and in modules it loads. Each block counts as the
// heap's size for it plus one word of the heap's own header.
class HeapMeter {
 public:
  HeapMeter();
  HeapMeter(const HeapMeter&) = delete;
  HeapMeter& operator=(const HeapMeter&) = delete;
  ~HeapMeter();

  // The most bytes held at once beyond those held when the meter started.
  long long peakBytes() const;
  long long blocks() const;
};

}  // namespace graftling::bench

#endif  // GRAFTLING_BENCH_HEAP_METER_H_
