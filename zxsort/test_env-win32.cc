#include <stdlib.h>

#include "zxsort/test_env.h"

void setTestEnvironment(const char* name, const char* value) {
  _putenv_s(name, value == nullptr ? "" : value);
}
