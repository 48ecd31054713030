#pragma once

class QPagedPaintDevice;

namespace kalinda {

class rptTransaksi;

// Runs the report and draws it on A4 portrait pages of `device` (printer, preview or PDF):
// the header on the first page, the column titles on every page, one framed line per row, the
// footer after the last line and "Halaman n dari m" at the foot of each page. Returns the number
// of pages, or 0 when the device could not be painted on. Database errors go to the caller.
int renderReport(rptTransaksi& report, QPagedPaintDevice& device);

} // namespace kalinda
