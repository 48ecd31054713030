-- Indexes the kiosk's own statements need beyond the tables' keys. Part of the load, and on
-- its own the upgrade of an existing school database; safe to run again, with the kiosk's
-- schema name in place of the placeholder (README.md, "Keys the kiosk relies on"):
--   sed 's/@KIOSK_DB@/kalinda/g' 37-kiosk-indexes.sql | mariadb -uroot
USE `@KIOSK_DB@`;

-- The report's list of users (SELECT DISTINCT trans_reg_alias) and its filter by one user and
-- a period, read from the index instead of every copy the kiosks ever wrote.
CREATE INDEX IF NOT EXISTS idx_reg_alias ON data_transaksi (trans_reg_alias, trans_tanggal);
