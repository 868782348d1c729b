// The voice the listening tests play is the demo's piano as the program
// harvests it today.

#include "demo_piano.h"

#include <gtest/gtest.h>

#include <string>

#include "run_binary.h"
#include "vgm_writer.h"

namespace timbrex::testing {
namespace {

TEST(DemoPiano, IsTheFirstInstrumentTheProgramSavesFromTheDemo) {
    const TempDir dir;
    const RunResult run = run_timbrex(dir.path(), {std::string(TIMBREX_SOURCE_DIR) + "/examples/demo.vgz"});
    ASSERT_EQ(run.status, 0) << run.out;
    const Bytes saved = read_file(dir / "demo_0.vpf");
    EXPECT_EQ(saved, Bytes(kDemoPiano.begin(), kDemoPiano.end()));
}

}  // namespace
}  // namespace timbrex::testing
