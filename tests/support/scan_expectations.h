// What a scan of tests/fixtures/machine_scan.reg must file, the same in the
// in-memory world and in the real registry under Wine.
#pragma once

#include "engine/acad_setup.h"

namespace testing_support {

void ExpectMachineScanCatalogue(const CAcadSetup& setup);

}  // namespace testing_support
