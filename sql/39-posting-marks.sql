-- The marks by which a posting whose COMMIT was lost is found (README.md, "A posting in doubt").
-- Part of the load, and on its own the upgrade of an existing school database (assemble.cmake
-- -DUPGRADE=ON; load the users again afterwards for the grant); safe to run again.
USE `@KIOSK_DB@`;

-- Every posting writes one row in its own transaction: 128 random bits that the kiosk drew
-- for this attempt alone. Found, the posting is stored; not found once the server that lost
-- the COMMIT is done, it is not. An AUTO_INCREMENT id or a daily number cannot tell: on a
-- Galera cluster another node hands out the same ones once the first has left.
CREATE TABLE IF NOT EXISTS data_posting_tanda (
    tanda_kode   CHAR(32) CHARACTER SET ascii COLLATE ascii_bin NOT NULL PRIMARY KEY,
    tanda_waktu  DATETIME NOT NULL DEFAULT CURRENT_TIMESTAMP,
    KEY idx_waktu (tanda_waktu),
    CONSTRAINT tanda_kode_hex CHECK (tanda_kode REGEXP '^[0-9a-f]{32}$')
) ENGINE=InnoDB;

DELIMITER ;;

-- Clears the marks older than p_hari days. A kiosk settles its posting in doubt at its next
-- start, and sets aside for the office one older than the marks kept (90 days, the event below).
CREATE OR REPLACE PROCEDURE HapusTandaPosting(IN p_hari INT)
    MODIFIES SQL DATA
BEGIN
    DELETE FROM data_posting_tanda WHERE tanda_waktu < NOW() - INTERVAL GREATEST(p_hari, 1) DAY;
END;;

DELIMITER ;

-- Runs while the server's event scheduler is on (docs/security.md).
CREATE OR REPLACE EVENT hapus_tanda_posting ON SCHEDULE EVERY 1 DAY
    ON COMPLETION PRESERVE
    DO CALL HapusTandaPosting(90);
