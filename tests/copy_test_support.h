// Runs the hierarchy copy on a scene text through the stand-in host's services.
#ifndef GRAFTLING_TESTS_COPY_TEST_SUPPORT_H_
#define GRAFTLING_TESTS_COPY_TEST_SUPPORT_H_

#include <ostream>
#include <string>
#include <vector>

#include "copy/hierarchy_copy.h"
#include "standin/stand_in_host.h"

namespace graftling::standin {

// Messages as a failed expectation shows them.
inline void PrintTo(const ShownMessage& message, std::ostream* out) {
  *out << '"' << message.first << "\" / \"" << message.second << '"';
}

}  // namespace graftling::standin

namespace graftling::testing {

struct CopyResult {
  int result = 0;
  std::string text;
  std::vector<standin::ShownMessage> messages;
  long allocations = 0;  // made by copyHierarchy itself
  CopyMethod used = CopyMethod::Fastest;
};

// Loads scene into a list, picks object number pick as the host numbers it
// and runs copyHierarchy with the host's services in the module slots.
// failAt makes that allocation of copyHierarchy fail (0: none fails).
CopyResult copyBranch(const std::string& scene, int pick, long failAt = 0,
                      CopyMethod method = CopyMethod::Fastest);

}  // namespace graftling::testing

#endif  // GRAFTLING_TESTS_COPY_TEST_SUPPORT_H_
