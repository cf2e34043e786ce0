// libFuzzer target: control-connection bytes through line reading and reply
// assembly (see fuzz_inputs.h).
#include "fuzz_inputs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  hemlo::ftp::fuzz::RunReplyInput(data, size);
  return 0;
}
