-- The kiosk's database user at one host pattern (assemble.cmake repeats this for each).
-- Its password ships inside every copy of the program, so it gets only what the kiosk's own
-- statements need: it reads, adds rows, changes a card and a PIN, and calls the routines that
-- recompute balances with their definer's rights. It never changes an amount, a balance or a
-- ledger row, never deletes and never touches the schema; the rows it adds to the ledger and
-- the copies must be ones the kiosk writes (the triggers of 36-guard-kiosk.sql).

-- The password below is written with backslash escapes, whatever the server's sql_mode says.
SET @kalinda_sql_mode = @@SESSION.sql_mode;
SET SESSION sql_mode = REPLACE(@@SESSION.sql_mode, 'NO_BACKSLASH_ESCAPES', '');

CREATE USER IF NOT EXISTS '@KIOSK_USER@'@'@KIOSK_HOST@';
-- REQUIRE (assemble.cmake's KIOSK_REQUIRE_TLS): NONE, or TLS only, so that the password that
-- every copy of the program carries does not log in alone from a laptop on the same network.
ALTER USER '@KIOSK_USER@'@'@KIOSK_HOST@' REQUIRE @KIOSK_REQUIRE@;
ALTER USER '@KIOSK_USER@'@'@KIOSK_HOST@' IDENTIFIED BY '@KIOSK_PASSWORD@';
-- Loading again takes away whatever an older version of this file granted.
REVOKE ALL PRIVILEGES, GRANT OPTION FROM '@KIOSK_USER@'@'@KIOSK_HOST@';
-- Its rows are held to the kiosk's shape (36-guard-kiosk.sql).
INSERT IGNORE INTO `cashless-adm`.data_kiosk_akun (akun_nama) VALUES ('@KIOSK_USER@');

-- Accounts: looked up by card, PIN and registration id; locked FOR UPDATE by every posting.
GRANT SELECT, UPDATE (tab_pin, tab_rfid)
    ON `cashless-adm`.data_tabungan_master TO '@KIOSK_USER@'@'@KIOSK_HOST@';
GRANT SELECT, INSERT ON `cashless-adm`.data_tabungan_trans TO '@KIOSK_USER@'@'@KIOSK_HOST@';
GRANT SELECT ON `cashless-adm`.data_kalinda_produk TO '@KIOSK_USER@'@'@KIOSK_HOST@';
GRANT SELECT ON `cashless-adm`.data_nasabah_foto TO '@KIOSK_USER@'@'@KIOSK_HOST@';
GRANT SELECT ON `cashless-adm`.data_spp_detail TO '@KIOSK_USER@'@'@KIOSK_HOST@';
GRANT EXECUTE ON FUNCTION `cashless-adm`.GetNasabahNama TO '@KIOSK_USER@'@'@KIOSK_HOST@';
GRANT EXECUTE ON FUNCTION `cashless-adm`.GetNasabahAlamat TO '@KIOSK_USER@'@'@KIOSK_HOST@';
GRANT EXECUTE ON FUNCTION `cashless-adm`.GetNasabahKelas TO '@KIOSK_USER@'@'@KIOSK_HOST@';
GRANT EXECUTE ON FUNCTION `cashless-adm`.GetTabSaldoAktif TO '@KIOSK_USER@'@'@KIOSK_HOST@';
GRANT EXECUTE ON FUNCTION `cashless-adm`.GetTabJajanLimit TO '@KIOSK_USER@'@'@KIOSK_HOST@';
GRANT EXECUTE ON FUNCTION `cashless-adm`.GetJajanKuotaSisa TO '@KIOSK_USER@'@'@KIOSK_HOST@';
GRANT EXECUTE ON FUNCTION `cashless-adm`.GetTabTransferLimit TO '@KIOSK_USER@'@'@KIOSK_HOST@';
GRANT EXECUTE ON FUNCTION `cashless-adm`.GetAppInfo TO '@KIOSK_USER@'@'@KIOSK_HOST@';
GRANT EXECUTE ON PROCEDURE `cashless-adm`.HitungTabSaldoNasabah TO '@KIOSK_USER@'@'@KIOSK_HOST@';
GRANT EXECUTE ON PROCEDURE `cashless-adm`.HitungSppMakan TO '@KIOSK_USER@'@'@KIOSK_HOST@';

-- The shop: its parameters and catalogue; an order, its lines and the shop's copy.
GRANT SELECT ON `aio-kirna`.set_app TO '@KIOSK_USER@'@'@KIOSK_HOST@';
GRANT SELECT ON `aio-kirna`.data_barang_master TO '@KIOSK_USER@'@'@KIOSK_HOST@';
GRANT SELECT, INSERT ON `aio-kirna`.data_barang_order TO '@KIOSK_USER@'@'@KIOSK_HOST@';
GRANT INSERT ON `aio-kirna`.data_barang_order_list TO '@KIOSK_USER@'@'@KIOSK_HOST@';
GRANT INSERT ON `aio-kirna`.data_transaksi TO '@KIOSK_USER@'@'@KIOSK_HOST@';

-- The kiosk's own schema.
GRANT SELECT ON `@KIOSK_DB@`.set_app TO '@KIOSK_USER@'@'@KIOSK_HOST@';
GRANT SELECT ON `@KIOSK_DB@`.set_cetakan TO '@KIOSK_USER@'@'@KIOSK_HOST@';
GRANT SELECT, INSERT ON `@KIOSK_DB@`.data_transaksi TO '@KIOSK_USER@'@'@KIOSK_HOST@';
GRANT INSERT ON `@KIOSK_DB@`.log_transaksi TO '@KIOSK_USER@'@'@KIOSK_HOST@';
-- A posting writes its mark and, after a lost COMMIT, looks for it; the time is the server's.
GRANT SELECT (tanda_kode), INSERT (tanda_kode)
    ON `@KIOSK_DB@`.data_posting_tanda TO '@KIOSK_USER@'@'@KIOSK_HOST@';
GRANT INSERT ON `@KIOSK_DB@`.log_login TO '@KIOSK_USER@'@'@KIOSK_HOST@';
GRANT SELECT, UPDATE (user_session, user_last_login)
    ON `@KIOSK_DB@`.data_pengguna_alias TO '@KIOSK_USER@'@'@KIOSK_HOST@';
-- PIN attempts: a key's first row is added (INSERT IGNORE), then its row is locked
-- (SELECT ... FOR UPDATE) and its count and time are set; the key itself never changes.
GRANT SELECT, INSERT, UPDATE (pin_jumlah, pin_terakhir)
    ON `@KIOSK_DB@`.data_pin_salah TO '@KIOSK_USER@'@'@KIOSK_HOST@';
-- The heartbeat: no right on its table; one row written and all read through the routines.
GRANT EXECUTE ON PROCEDURE `@KIOSK_DB@`.CatatHeartbeat TO '@KIOSK_USER@'@'@KIOSK_HOST@';
GRANT EXECUTE ON PROCEDURE `@KIOSK_DB@`.StatusKiosk TO '@KIOSK_USER@'@'@KIOSK_HOST@';
GRANT EXECUTE ON FUNCTION `@KIOSK_DB@`.GetNasabahNama TO '@KIOSK_USER@'@'@KIOSK_HOST@';
GRANT EXECUTE ON FUNCTION `@KIOSK_DB@`.GetNasabahKelas TO '@KIOSK_USER@'@'@KIOSK_HOST@';

SET SESSION sql_mode = @kalinda_sql_mode;
