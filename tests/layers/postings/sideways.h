#pragma once

// Planted for the test "layers_refused": postings and inquiries stand side by side.
#include "inquiries/report.h"
