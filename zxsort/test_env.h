#ifndef ZXSORT_TEST_ENV_H_
#define ZXSORT_TEST_ENV_H_

/// Sets (or, with a null value, removes) an environment variable of this
/// process, for tests.
void setTestEnvironment(const char* name, const char* value);

#endif  // ZXSORT_TEST_ENV_H_
