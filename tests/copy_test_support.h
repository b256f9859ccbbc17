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

// Expects the copy of pick to succeed with no message and give expected, and
// the same scene in CR LF to give expected in CR LF.
void expectCopy(const std::string& scene, int pick, const std::string& expected);

// Expects the copy of pick to be refused with "Graftling:" / why. A refusal
// found before the copy leaves the list as it was; the edit check's, after
// it, leaves a list that is never written.
void expectRefused(const std::string& scene, int pick, const std::string& why, bool beforeTheCopy = true);

// Blocks of a scene, and blocks with more after them.
using Blocks = std::vector<std::string>;
Blocks plus(Blocks blocks, const Blocks& more);

}  // namespace graftling::testing

#endif  // GRAFTLING_TESTS_COPY_TEST_SUPPORT_H_
