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

DELIMITER ;;

-- The kiosk's one statement: adds or overwrites its own row. MariaDB asks for SELECT on every
-- column an INSERT … ON DUPLICATE KEY UPDATE sets, and an UPDATE reads its key to find the row,
-- so the kiosk's user gets no right on the table at all, only this, with the definer's rights.
-- p_posting_detik: seconds since the kiosk's last posting, NULL to keep the stored time.
CREATE OR REPLACE PROCEDURE CatatHeartbeat(p_mesin VARCHAR(80), p_hostname VARCHAR(255),
    p_ipaddress VARCHAR(45), p_version VARCHAR(20), p_profil VARCHAR(2),
    p_server_profil VARCHAR(120), p_server VARCHAR(120), p_posting_detik BIGINT,
    p_printer VARCHAR(20), p_tertunda INT, p_kunjungan TINYINT)
    MODIFIES SQL DATA SQL SECURITY DEFINER
BEGIN
    INSERT INTO data_kiosk_heartbeat SET hb_mesin = p_mesin, hb_hostname = p_hostname,
        hb_ipaddress = p_ipaddress, hb_terakhir = NOW(), hb_version = p_version,
        hb_profil = p_profil, hb_server_profil = p_server_profil, hb_server = p_server,
        hb_posting_terakhir = NOW() - INTERVAL p_posting_detik SECOND, hb_printer = p_printer,
        hb_tertunda = p_tertunda, hb_kunjungan = p_kunjungan
    ON DUPLICATE KEY UPDATE hb_hostname = VALUES(hb_hostname),
        hb_ipaddress = VALUES(hb_ipaddress), hb_terakhir = VALUES(hb_terakhir),
        hb_version = VALUES(hb_version), hb_profil = VALUES(hb_profil),
        hb_server_profil = VALUES(hb_server_profil), hb_server = VALUES(hb_server),
        hb_posting_terakhir = IFNULL(VALUES(hb_posting_terakhir), hb_posting_terakhir),
        hb_printer = VALUES(hb_printer), hb_tertunda = VALUES(hb_tertunda),
        hb_kunjungan = VALUES(hb_kunjungan);
END;;

-- Every kiosk's row and its age by the server's clock, for `kalinda status`.
CREATE OR REPLACE PROCEDURE StatusKiosk()
    READS SQL DATA SQL SECURITY DEFINER
BEGIN
    SELECT hb_mesin, hb_hostname, hb_ipaddress, hb_version, hb_profil, hb_server_profil,
           hb_server, hb_posting_terakhir, hb_printer, hb_tertunda, hb_kunjungan, hb_terakhir,
           TIMESTAMPDIFF(SECOND, hb_terakhir, NOW()) AS hb_umur
      FROM data_kiosk_heartbeat
     ORDER BY hb_hostname, hb_mesin;
END;;

DELIMITER ;
