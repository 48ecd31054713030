-- An account per kiosk, and the watchdog over every kiosk account's sessions. Part of the load,
-- and with the audit the upgrade of an existing school database (assemble.cmake -DUPGRADE=ON;
-- load the users again afterwards for the role); safe to run again. See README.md, "Kiosk
-- accounts and the watchdog".

-- The passwords below are quoted with backslash escapes, whatever the server's sql_mode says.
SET @kalinda_sql_mode = @@SESSION.sql_mode;
SET SESSION sql_mode = REPLACE(@@SESSION.sql_mode, 'NO_BACKSLASH_ESCAPES', '');

USE `cashless-adm`;

-- The sessions the watchdog ended: whose, on which node, what it held and for how long. The
-- statement's text is not kept: a kiosk's statements carry PINs.
CREATE TABLE IF NOT EXISTS data_kiosk_sesi_diakhiri (
    sesi_id        BIGINT       NOT NULL AUTO_INCREMENT PRIMARY KEY,
    sesi_waktu     DATETIME     NOT NULL,
    sesi_penulis   VARCHAR(400) NOT NULL, -- user@host, as the ledger's writer
    sesi_server    INT UNSIGNED NOT NULL, -- @@server_id of the node that ended it
    sesi_thread    BIGINT       NOT NULL,
    sesi_alasan    VARCHAR(20)  NOT NULL, -- 'transaksi' open or 'perintah' running
    sesi_detik     INT          NOT NULL, -- how long it had been open
    KEY idx_waktu (sesi_waktu)
) ENGINE=InnoDB;

DELIMITER ;;

-- Ends (KILL CONNECTION, which rolls the transaction back and frees its locks; KILL QUERY would
-- keep them) every session of a kiosk account that has kept a transaction or one statement open
-- for akun_batas_detik of its account or longer, whatever the session set for itself. Only this
-- node's sessions: the process list and KILL are local, so a cluster runs it on every node.
CREATE OR REPLACE PROCEDURE AkhiriSesiKiosk()
    MODIFIES SQL DATA SQL SECURITY DEFINER
BEGIN
    DECLARE v_selesai BOOLEAN DEFAULT FALSE;
    DECLARE v_id BIGINT;
    DECLARE v_penulis VARCHAR(400);
    DECLARE v_alasan VARCHAR(20);
    DECLARE v_detik INT;
    DECLARE c CURSOR FOR
        SELECT p.ID, CONCAT(p.USER, '@', SUBSTRING_INDEX(p.HOST, ':', 1)),
               IF(t.trx_started <= NOW() - INTERVAL a.akun_batas_detik SECOND, 'transaksi',
                  'perintah'),
               GREATEST(IFNULL(TIMESTAMPDIFF(SECOND, t.trx_started, NOW()), 0),
                        IF(p.COMMAND = 'Query', p.TIME, 0))
          FROM information_schema.PROCESSLIST p
          JOIN data_kiosk_akun a ON a.akun_nama = p.USER
          LEFT JOIN information_schema.INNODB_TRX t ON t.trx_mysql_thread_id = p.ID
         WHERE p.ID <> CONNECTION_ID()
           AND (t.trx_started <= NOW() - INTERVAL a.akun_batas_detik SECOND
                OR (p.COMMAND = 'Query' AND p.TIME >= a.akun_batas_detik));
    DECLARE CONTINUE HANDLER FOR NOT FOUND SET v_selesai = TRUE;
    -- A session that ended by itself in the meantime.
    DECLARE CONTINUE HANDLER FOR 1094 BEGIN END;
    OPEN c;
    sesi: LOOP
        FETCH c INTO v_id, v_penulis, v_alasan, v_detik;
        IF v_selesai THEN
            LEAVE sesi;
        END IF;
        KILL CONNECTION v_id;
        INSERT INTO data_kiosk_sesi_diakhiri SET sesi_waktu = NOW(), sesi_penulis = v_penulis,
            sesi_server = @@server_id, sesi_thread = v_id, sesi_alasan = v_alasan,
            sesi_detik = v_detik;
    END LOOP;
    CLOSE c;
END;;

DELIMITER ;

-- Runs where it was created: on a Galera cluster every node gets one of its own
-- (scripts/cluster.sh), since an event runs on one node only.
CREATE OR REPLACE EVENT awasi_sesi_kiosk ON SCHEDULE EVERY 2 SECOND
    DO CALL AkhiriSesiKiosk();

CREATE OR REPLACE EVENT bersihkan_sesi_kiosk ON SCHEDULE EVERY 1 DAY
    DO DELETE FROM data_kiosk_sesi_diakhiri WHERE sesi_waktu < NOW() - INTERVAL 1 YEAR;

USE `@KIOSK_DB@`;

DELIMITER ;;

-- Makes the account of one kiosk: its own user name (the process list and KILL take sessions
-- of one user name as one's own, whatever the host), at one host, with a password and, unless
-- p_subjek is NULL, a client certificate of that subject; the kiosk's role; at most 8
-- connections (README.md counts them); judged as a kiosk by the guard. Again for another host
-- of the same kiosk. A name that was ever a kiosk's or is another user's is refused.
CREATE OR REPLACE PROCEDURE TambahAkunKiosk(p_nama VARCHAR(80), p_host VARCHAR(255),
    p_password VARCHAR(200), p_subjek VARCHAR(200))
    MODIFIES SQL DATA SQL SECURITY INVOKER
BEGIN
    DECLARE v_akun TEXT DEFAULT CONCAT(QUOTE(p_nama), '@', QUOTE(p_host));
    IF p_nama IS NULL OR p_nama NOT REGEXP '^[A-Za-z0-9][A-Za-z0-9_.-]{0,79}$' THEN
        SIGNAL SQLSTATE '45000'
            SET MESSAGE_TEXT = 'TambahAkunKiosk: nama hanya huruf, angka, _, . dan -';
    END IF;
    IF p_host IS NULL OR p_host NOT REGEXP '^[A-Za-z0-9_.%:-]+$' THEN
        SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = 'TambahAkunKiosk: host tidak sah';
    END IF;
    IF CHAR_LENGTH(IFNULL(p_password, '')) < 12 THEN
        SIGNAL SQLSTATE '45000'
            SET MESSAGE_TEXT = 'TambahAkunKiosk: kata sandi minimal 12 karakter';
    END IF;
    IF EXISTS (SELECT 1 FROM `cashless-adm`.data_kiosk_akun
                WHERE akun_nama = p_nama AND (akun_bersama <> 0 OR akun_dihapus IS NOT NULL))
       OR (EXISTS (SELECT 1 FROM mysql.user WHERE User = p_nama)
           AND NOT EXISTS (SELECT 1 FROM `cashless-adm`.data_kiosk_akun
                            WHERE akun_nama = p_nama)) THEN
        SIGNAL SQLSTATE '45000'
            SET MESSAGE_TEXT = 'TambahAkunKiosk: nama sudah dipakai, pilih nama lain';
    END IF;
    INSERT IGNORE INTO `cashless-adm`.data_kiosk_akun (akun_nama) VALUES (p_nama);
    EXECUTE IMMEDIATE CONCAT('CREATE USER ', v_akun, ' IDENTIFIED BY ', QUOTE(p_password),
        ' REQUIRE ', IF(p_subjek IS NULL, 'NONE', CONCAT('SUBJECT ', QUOTE(p_subjek))),
        ' WITH MAX_USER_CONNECTIONS 8');
    EXECUTE IMMEDIATE CONCAT('GRANT `@KIOSK_ROLE@` TO ', v_akun);
    EXECUTE IMMEDIATE CONCAT('SET DEFAULT ROLE `@KIOSK_ROLE@` FOR ', v_akun);
END;;

-- Removes a kiosk's account: drops its user at every host, ends its sessions and its heartbeat
-- row, and marks its row in data_kiosk_akun, which stays so that its old rows keep their writer.
CREATE OR REPLACE PROCEDURE HapusAkunKiosk(p_nama VARCHAR(80))
    MODIFIES SQL DATA SQL SECURITY INVOKER
BEGIN
    DECLARE v_selesai BOOLEAN DEFAULT FALSE;
    DECLARE v_host VARCHAR(255);
    DECLARE v_id BIGINT;
    DECLARE c_host CURSOR FOR SELECT Host FROM mysql.user WHERE User = p_nama AND is_role = 'N';
    DECLARE c_sesi CURSOR FOR SELECT ID FROM information_schema.PROCESSLIST WHERE USER = p_nama;
    DECLARE CONTINUE HANDLER FOR NOT FOUND SET v_selesai = TRUE;
    DECLARE CONTINUE HANDLER FOR 1094 BEGIN END;
    IF NOT EXISTS (SELECT 1 FROM `cashless-adm`.data_kiosk_akun
                    WHERE akun_nama = p_nama AND akun_bersama = 0) THEN
        SIGNAL SQLSTATE '45000'
            SET MESSAGE_TEXT = 'HapusAkunKiosk: bukan akun kiosk sendiri';
    END IF;
    -- No new login first, then the sessions that are in.
    OPEN c_host;
    akun: LOOP
        FETCH c_host INTO v_host;
        IF v_selesai THEN
            LEAVE akun;
        END IF;
        EXECUTE IMMEDIATE CONCAT('DROP USER ', QUOTE(p_nama), '@', QUOTE(v_host));
    END LOOP;
    CLOSE c_host;
    SET v_selesai = FALSE;
    OPEN c_sesi;
    sesi: LOOP
        FETCH c_sesi INTO v_id;
        IF v_selesai THEN
            LEAVE sesi;
        END IF;
        KILL CONNECTION v_id;
    END LOOP;
    CLOSE c_sesi;
    UPDATE `cashless-adm`.data_kiosk_akun SET akun_dihapus = IFNULL(akun_dihapus, NOW())
     WHERE akun_nama = p_nama;
    DELETE FROM data_kiosk_heartbeat WHERE hb_akun = p_nama;
END;;

DELIMITER ;

SET SESSION sql_mode = @kalinda_sql_mode;
