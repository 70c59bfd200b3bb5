#include "tests/support/product_key.h"

#include <windows.h>

namespace qtest {

const char kProductKey[] = "Software\\Zudada\\QuorinM52DXLTXSdk";

void ClearProductKey() { RegDeleteTreeA(HKEY_CURRENT_USER, kProductKey); }

}  // namespace qtest
