-- The office's database user at one host pattern (assemble.cmake repeats this for each, when
-- OFFICE_USER is given). It runs the audit of the kiosks' postings (`kalinda audit`, the Audit tab
-- of the operator's window) and reads what the audit reads; it writes nothing. Its password is
-- never compiled into the program: the office PC keeps it in a file of its own. The kiosk's user
-- has no right to run the audit, so a copied kiosk password cannot read what it flags.

SET @kalinda_sql_mode = @@SESSION.sql_mode;
SET SESSION sql_mode = REPLACE(@@SESSION.sql_mode, 'NO_BACKSLASH_ESCAPES', '');

CREATE USER IF NOT EXISTS '@OFFICE_USER@'@'@OFFICE_HOST@';
ALTER USER '@OFFICE_USER@'@'@OFFICE_HOST@' IDENTIFIED BY '@OFFICE_PASSWORD@';
REVOKE ALL PRIVILEGES, GRANT OPTION FROM '@OFFICE_USER@'@'@OFFICE_HOST@';

-- The audit runs with its caller's rights and builds its working tables in `cashless-adm`.
GRANT EXECUTE ON PROCEDURE `cashless-adm`.AuditTransaksiKiosk TO '@OFFICE_USER@'@'@OFFICE_HOST@';
GRANT EXECUTE ON PROCEDURE `cashless-adm`.AuditKartuPinKiosk TO '@OFFICE_USER@'@'@OFFICE_HOST@';
GRANT CREATE TEMPORARY TABLES ON `cashless-adm`.* TO '@OFFICE_USER@'@'@OFFICE_HOST@';
GRANT SELECT ON `cashless-adm`.data_tabungan_trans TO '@OFFICE_USER@'@'@OFFICE_HOST@';
GRANT SELECT ON `cashless-adm`.data_tabungan_master TO '@OFFICE_USER@'@'@OFFICE_HOST@';
GRANT SELECT ON `cashless-adm`.data_tabungan_saldo TO '@OFFICE_USER@'@'@OFFICE_HOST@';
GRANT SELECT ON `cashless-adm`.data_kiosk_akun TO '@OFFICE_USER@'@'@OFFICE_HOST@';
GRANT SELECT ON `cashless-adm`.data_tabungan_ubah_kiosk TO '@OFFICE_USER@'@'@OFFICE_HOST@';
GRANT SELECT ON `cashless-adm`.data_kiosk_sesi_diakhiri TO '@OFFICE_USER@'@'@OFFICE_HOST@';
GRANT SELECT ON `aio-kirna`.data_barang_order TO '@OFFICE_USER@'@'@OFFICE_HOST@';
GRANT SELECT ON `aio-kirna`.data_transaksi TO '@OFFICE_USER@'@'@OFFICE_HOST@';
GRANT SELECT ON `@KIOSK_DB@`.data_transaksi TO '@OFFICE_USER@'@'@OFFICE_HOST@';
GRANT SELECT ON `@KIOSK_DB@`.log_transaksi TO '@OFFICE_USER@'@'@OFFICE_HOST@';

SET SESSION sql_mode = @kalinda_sql_mode;
