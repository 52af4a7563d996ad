#pragma once

// GoogleTest predicates on the engine's results.

#include <gtest/gtest.h>

#include "file_error.h"

namespace vorpel::test {

// Success of a file operation, with the error's description when it failed.
inline ::testing::AssertionResult Succeeded(const FileStatus& status) {
  if (!status) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "failed: " << status->Describe();
}

}  // namespace vorpel::test
