#pragma once

// Planted for the test "layers_refused": the bottom folder may not reach up.
#include "visit/frm_transaksi.h"
