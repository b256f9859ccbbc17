// Makes the Nth allocation of the test program fail, to test storage failure.
#ifndef GRAFTLING_TESTS_ALLOC_FAILURE_H_
#define GRAFTLING_TESTS_ALLOC_FAILURE_H_

namespace graftling::testing {

// While alive, counts every operator new from 1 and fails the nth one
// (a throwing new throws std::bad_alloc, a nothrow new gives null).
// n of 0 only counts.
class AllocationFailure {
 public:
  explicit AllocationFailure(long n);
  AllocationFailure(const AllocationFailure&) = delete;
  AllocationFailure& operator=(const AllocationFailure&) = delete;
  ~AllocationFailure();

  long count() const;
  bool failed() const;
};

}  // namespace graftling::testing

#endif  // GRAFTLING_TESTS_ALLOC_FAILURE_H_
