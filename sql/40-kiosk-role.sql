-- The kiosk's rights, held by one role that every kiosk account has as its default (the shared
-- demo account of 40-users.sql and each kiosk's own account, see 41-kiosk-accounts.sql). It
-- reads, adds rows, changes a card and a PIN, and calls the routines that recompute balances
-- with their definer's rights. It never changes an amount, a balance or a ledger row, never
-- deletes and never touches the schema; the rows its accounts add to the ledger and the copies
-- must be ones the kiosk writes (the triggers of 36-guard-kiosk.sql). No PROCESS and no
-- CONNECTION ADMIN: an account sees and ends only sessions of its own user name.
CREATE ROLE IF NOT EXISTS `@KIOSK_ROLE@`;
-- Loading again takes away whatever an older version of this file granted.
REVOKE ALL PRIVILEGES, GRANT OPTION FROM `@KIOSK_ROLE@`;

-- Accounts: looked up by card, PIN and registration id; locked FOR UPDATE by every posting.
GRANT SELECT, UPDATE (tab_pin, tab_rfid)
    ON `cashless-adm`.data_tabungan_master TO `@KIOSK_ROLE@`;
GRANT SELECT, INSERT ON `cashless-adm`.data_tabungan_trans TO `@KIOSK_ROLE@`;
GRANT SELECT ON `cashless-adm`.data_kalinda_produk TO `@KIOSK_ROLE@`;
GRANT SELECT ON `cashless-adm`.data_nasabah_foto TO `@KIOSK_ROLE@`;
GRANT SELECT ON `cashless-adm`.data_spp_detail TO `@KIOSK_ROLE@`;
GRANT EXECUTE ON FUNCTION `cashless-adm`.GetNasabahNama TO `@KIOSK_ROLE@`;
GRANT EXECUTE ON FUNCTION `cashless-adm`.GetNasabahAlamat TO `@KIOSK_ROLE@`;
GRANT EXECUTE ON FUNCTION `cashless-adm`.GetNasabahKelas TO `@KIOSK_ROLE@`;
GRANT EXECUTE ON FUNCTION `cashless-adm`.GetTabSaldoAktif TO `@KIOSK_ROLE@`;
GRANT EXECUTE ON FUNCTION `cashless-adm`.GetTabJajanLimit TO `@KIOSK_ROLE@`;
GRANT EXECUTE ON FUNCTION `cashless-adm`.GetJajanKuotaSisa TO `@KIOSK_ROLE@`;
GRANT EXECUTE ON FUNCTION `cashless-adm`.GetTabTransferLimit TO `@KIOSK_ROLE@`;
GRANT EXECUTE ON FUNCTION `cashless-adm`.GetAppInfo TO `@KIOSK_ROLE@`;
GRANT EXECUTE ON PROCEDURE `cashless-adm`.HitungTabSaldoNasabah TO `@KIOSK_ROLE@`;
GRANT EXECUTE ON PROCEDURE `cashless-adm`.HitungSppMakan TO `@KIOSK_ROLE@`;

-- The shop: its parameters and catalogue; an order, its lines and the shop's copy.
GRANT SELECT ON `aio-kirna`.set_app TO `@KIOSK_ROLE@`;
GRANT SELECT ON `aio-kirna`.data_barang_master TO `@KIOSK_ROLE@`;
GRANT SELECT, INSERT ON `aio-kirna`.data_barang_order TO `@KIOSK_ROLE@`;
GRANT INSERT ON `aio-kirna`.data_barang_order_list TO `@KIOSK_ROLE@`;
GRANT INSERT ON `aio-kirna`.data_transaksi TO `@KIOSK_ROLE@`;

-- The kiosk's own schema.
GRANT SELECT ON `@KIOSK_DB@`.set_app TO `@KIOSK_ROLE@`;
GRANT SELECT ON `@KIOSK_DB@`.set_cetakan TO `@KIOSK_ROLE@`;
GRANT SELECT, INSERT ON `@KIOSK_DB@`.data_transaksi TO `@KIOSK_ROLE@`;
GRANT INSERT ON `@KIOSK_DB@`.log_transaksi TO `@KIOSK_ROLE@`;
-- A posting writes its mark and, after a lost COMMIT, looks for it; the time is the server's.
GRANT SELECT (tanda_kode), INSERT (tanda_kode)
    ON `@KIOSK_DB@`.data_posting_tanda TO `@KIOSK_ROLE@`;
GRANT INSERT ON `@KIOSK_DB@`.log_login TO `@KIOSK_ROLE@`;
GRANT SELECT, UPDATE (user_session, user_last_login)
    ON `@KIOSK_DB@`.data_pengguna_alias TO `@KIOSK_ROLE@`;
-- PIN attempts: a key's first row is added (INSERT IGNORE), then its row is locked
-- (SELECT ... FOR UPDATE) and its count and time are set; the key itself never changes.
GRANT SELECT, INSERT, UPDATE (pin_jumlah, pin_terakhir)
    ON `@KIOSK_DB@`.data_pin_salah TO `@KIOSK_ROLE@`;
-- The heartbeat: no right on its table; one row written and all read through the routines.
GRANT EXECUTE ON PROCEDURE `@KIOSK_DB@`.CatatHeartbeat TO `@KIOSK_ROLE@`;
GRANT EXECUTE ON PROCEDURE `@KIOSK_DB@`.StatusKiosk TO `@KIOSK_ROLE@`;
GRANT EXECUTE ON FUNCTION `@KIOSK_DB@`.GetNasabahNama TO `@KIOSK_ROLE@`;
GRANT EXECUTE ON FUNCTION `@KIOSK_DB@`.GetNasabahKelas TO `@KIOSK_ROLE@`;

