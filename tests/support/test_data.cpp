#include "support/test_data.h"

namespace testing_support {

std::string librivox(const std::string& name) { return std::string(kLibrivoxDir) + "/" + name + ".wav"; }

const char* modelRoot() { return ZENTROVA_MODEL_ROOT; }

}  // namespace testing_support
