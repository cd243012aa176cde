#include <stdlib.h>

#include "zxsort/test_env.h"

void setTestEnvironment(const char* name, const char* value) {
  if (value == nullptr) {
    unsetenv(name);
  } else {
    setenv(name, value, 1);
  }
}
