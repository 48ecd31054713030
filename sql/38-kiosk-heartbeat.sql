-- What each kiosk last said of itself, one row per machine, for the office's `kalinda status`
-- and the operator window. Part of the load, and on its own the upgrade of an existing school
-- database (assemble.cmake -DUPGRADE=ON; load the users again afterwards for the grant); safe
-- to run again.
USE `@KIOSK_DB@`;

-- Times are the server's, so a kiosk with a wrong clock is judged by the same clock as the
-- others.
CREATE TABLE IF NOT EXISTS data_kiosk_heartbeat (
    hb_mesin             VARCHAR(80)  NOT NULL PRIMARY KEY, -- the MAC, else the host name
    hb_hostname          VARCHAR(255) NOT NULL DEFAULT '',
    hb_ipaddress         VARCHAR(45)  NOT NULL DEFAULT '',
    hb_terakhir          DATETIME     NOT NULL,             -- last seen
    hb_version           VARCHAR(20)  NOT NULL DEFAULT '',
    hb_profil            VARCHAR(2)   NOT NULL DEFAULT '',  -- the profile it was started with
    hb_server_profil     VARCHAR(120) NOT NULL DEFAULT '',  -- that profile's server
    hb_server            VARCHAR(120) NOT NULL DEFAULT '',  -- the server in use (after a move)
    hb_posting_terakhir  DATETIME     NULL,
    hb_printer           VARCHAR(20)  NOT NULL DEFAULT '',  -- ready, paper out, paper low, ...
    hb_tertunda          INT          NOT NULL DEFAULT 0,   -- postings in doubt it holds
    hb_kunjungan         TINYINT      NOT NULL DEFAULT 0    -- 1 while a visit is open
) ENGINE=InnoDB;
-- hb_akun: the database user that wrote the row (USER()'s name, never a value the kiosk
-- passes); hb_ditutup: when the kiosk said it was closing on purpose, NULL while it runs.
ALTER TABLE data_kiosk_heartbeat
    ADD COLUMN IF NOT EXISTS hb_akun VARCHAR(80) NOT NULL DEFAULT '',
    ADD COLUMN IF NOT EXISTS hb_ditutup DATETIME NULL;

DELIMITER ;;

-- The kiosk's one statement: adds or overwrites its own row. MariaDB asks for SELECT on every
-- column an INSERT … ON DUPLICATE KEY UPDATE sets, and an UPDATE reads its key to find the row,
-- so the kiosk's user gets no right on the table at all, only this, with the definer's rights.
-- p_posting_detik: seconds since the kiosk's last posting, NULL to keep the stored time; below 0
-- taken as 0 (a last posting is never in the future). p_kunjungan: 1 while a visit is open, 0
-- otherwise, 2 for the last beat of a kiosk that is closing on purpose.
-- A kiosk with an account of its own has one row, bound to its account: a row another such
-- account wrote is refused, and a new p_mesin replaces its old row, so that one account never
-- shows as two kiosks. The shared account (and a kiosk not yet upgraded) writes any name, as
-- long as no kiosk's own account has taken it.
CREATE OR REPLACE PROCEDURE CatatHeartbeat(p_mesin VARCHAR(80), p_hostname VARCHAR(255),
    p_ipaddress VARCHAR(45), p_version VARCHAR(20), p_profil VARCHAR(2),
    p_server_profil VARCHAR(120), p_server VARCHAR(120), p_posting_detik BIGINT,
    p_printer VARCHAR(20), p_tertunda INT, p_kunjungan TINYINT)
    MODIFIES SQL DATA SQL SECURITY DEFINER
BEGIN
    -- Inside a definer routine CURRENT_USER() names the definer; USER() names the login.
    DECLARE v_akun VARCHAR(80) DEFAULT SUBSTRING_INDEX(USER(), '@', 1);
    IF EXISTS (SELECT 1 FROM data_kiosk_heartbeat h
                 JOIN `cashless-adm`.data_kiosk_akun a
                   ON a.akun_nama = h.hb_akun AND a.akun_bersama = 0
                WHERE h.hb_mesin = p_mesin AND h.hb_akun <> v_akun) THEN
        SIGNAL SQLSTATE '45000'
            SET MESSAGE_TEXT = 'CatatHeartbeat: kiosk ini milik akun kiosk lain';
    END IF;
    IF EXISTS (SELECT 1 FROM `cashless-adm`.data_kiosk_akun
                WHERE akun_nama = v_akun AND akun_bersama = 0) THEN
        DELETE FROM data_kiosk_heartbeat WHERE hb_akun = v_akun AND hb_mesin <> p_mesin;
    END IF;
    INSERT INTO data_kiosk_heartbeat SET hb_mesin = p_mesin, hb_hostname = p_hostname,
        hb_ipaddress = p_ipaddress, hb_terakhir = NOW(), hb_version = p_version,
        hb_profil = p_profil, hb_server_profil = p_server_profil, hb_server = p_server,
        hb_posting_terakhir = NOW() - INTERVAL GREATEST(p_posting_detik, 0) SECOND,
        hb_printer = p_printer, hb_tertunda = p_tertunda, hb_kunjungan = (p_kunjungan = 1),
        hb_akun = v_akun, hb_ditutup = IF(p_kunjungan = 2, NOW(), NULL)
    ON DUPLICATE KEY UPDATE hb_hostname = VALUES(hb_hostname),
        hb_ipaddress = VALUES(hb_ipaddress), hb_terakhir = VALUES(hb_terakhir),
        hb_version = VALUES(hb_version), hb_profil = VALUES(hb_profil),
        hb_server_profil = VALUES(hb_server_profil), hb_server = VALUES(hb_server),
        hb_posting_terakhir = IFNULL(VALUES(hb_posting_terakhir), hb_posting_terakhir),
        hb_printer = VALUES(hb_printer), hb_tertunda = VALUES(hb_tertunda),
        hb_kunjungan = VALUES(hb_kunjungan), hb_akun = VALUES(hb_akun),
        hb_ditutup = VALUES(hb_ditutup);
END;;

-- Every kiosk's row and its age by the server's clock, for `kalinda status`; the account
-- that wrote it, and whether that account is the shared one (1 also for rows written before).
CREATE OR REPLACE PROCEDURE StatusKiosk()
    READS SQL DATA SQL SECURITY DEFINER
BEGIN
    SELECT hb_mesin, hb_hostname, hb_ipaddress, hb_version, hb_profil, hb_server_profil,
           hb_server, hb_posting_terakhir, hb_printer, hb_tertunda, hb_kunjungan, hb_terakhir,
           TIMESTAMPDIFF(SECOND, hb_terakhir, NOW()) AS hb_umur, hb_akun,
           IFNULL(a.akun_bersama, 1) AS hb_akun_bersama, hb_ditutup
      FROM data_kiosk_heartbeat
      LEFT JOIN `cashless-adm`.data_kiosk_akun a ON a.akun_nama = hb_akun
     ORDER BY hb_hostname, hb_mesin;
END;;

DELIMITER ;
