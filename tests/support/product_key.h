// The SDK's settings tree in the registry, for tests that need a first run.
//
//   qtest::ClearProductKey();      // the next camera opened stores and uses the defaults
#pragma once

namespace qtest {

// The SDK's settings tree under HKEY_CURRENT_USER.
extern const char kProductKey[];
// Deletes the product's settings tree, so the next camera opens with first-run settings.
void ClearProductKey();

}  // namespace qtest
