// libFuzzer target: LIST transfer bytes through line splitting, format
// detection and the line rules (see fuzz_inputs.h).
#include "fuzz_inputs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  hemlo::ftp::fuzz::RunListingInput(data, size);
  return 0;
}
