#include "kiosk_menu.h"

#include "app/connection.h"
#include "inquiries/frm_transaksi_mutasi.h"
#include "inquiries/frm_transaksi_spp.h"
#include "postings/frm_transaksi_baru.h"
#include "postings/frm_transaksi_block.h"
#include "postings/frm_transaksi_ganti_pin.h"
#include "postings/frm_transaksi_kirna.h"
#include "postings/frm_transaksi_tarik.h"

namespace kalinda {

KioskActions kioskMenu() {
    KioskActions actions;
    actions.openBlock = [](KioskScreen& screen) { openBlock(screen, DbConn()); };
    actions.openGantiPin = [](KioskScreen& screen) { openGantiPin(screen, DbConn()); };
    actions.openMutasi = [](KioskScreen& screen) { openMutasi(screen, DbConn()); };
    actions.openTunggakan = [](KioskScreen& screen) { openTunggakan(screen, DbConn()); };
    actions.openFee = [](KioskScreen& screen, const QString& view) {
        openFeePayment(screen, DbConn(), view);
    };
    actions.openTransfer = [](KioskScreen& screen) { showTransfer(screen, DbConn()); };
    actions.openKirna = [](KioskScreen& screen) { openKirna(screen, DbConn()); };
    return actions;
}

} // namespace kalinda
