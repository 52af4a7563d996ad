// The batch command's pipeline, from one to three sources to the written
// text (the Read of each, the join, the seeded draw, the capitalizing
// sink), on a case made from the input's bytes and checked against the
// literal references: vorpel_test/pipeline_check.h says how the bytes make
// the case and what is compared. A failed comparison is printed and aborts.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "vorpel_test/pipeline_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string failure =
      vorpel::test::CheckPipeline(vorpel::test::PipelineCaseFrom({data, size}));
  if (!failure.empty()) {
    std::fprintf(stderr, "%s\n", failure.c_str());
    std::abort();
  }
  return 0;
}
