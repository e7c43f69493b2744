#include "saver/runtime/runtime_error.h"

namespace veltrane::vb {

int& Err() {
  static int number = 0;
  return number;
}

}  // namespace veltrane::vb
