#pragma once

#include "visit/frm_transaksi.h"

namespace kalinda {

// The main screen's menu buttons wired to the forms of the postings and the inquiries, each
// opened on the program's connection.
KioskActions kioskMenu();

} // namespace kalinda
