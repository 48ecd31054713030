-- Central account administration: savings accounts, ledger, products, photos, dues.
CREATE DATABASE IF NOT EXISTS `cashless-adm` CHARACTER SET utf8mb4 COLLATE utf8mb4_unicode_ci;
USE `cashless-adm`;

CREATE TABLE data_nasabah (
    nasabah_id      VARCHAR(20)  NOT NULL PRIMARY KEY,
    nasabah_nama    VARCHAR(100) NOT NULL,
    nasabah_alamat  VARCHAR(200) NOT NULL DEFAULT '',
    nasabah_kelas   VARCHAR(30)  NOT NULL DEFAULT ''
) ENGINE=InnoDB;

-- tab_jenis: 1 = a student's savings account, 2 = an institution's receiving account.
CREATE TABLE data_tabungan_master (
    tab_rekening        VARCHAR(20)  NOT NULL PRIMARY KEY,
    tab_rfid            VARCHAR(32)  NOT NULL DEFAULT '',
    tab_nasabah         VARCHAR(20)  NOT NULL,
    tab_jenis           TINYINT      NOT NULL DEFAULT 1,
    tab_saldo_efektif   BIGINT       NOT NULL DEFAULT 0,
    tab_saldo_minimum   BIGINT       NOT NULL DEFAULT 0,
    tab_limit_jajan     BIGINT       NOT NULL DEFAULT 0,
    tab_limit_transfer  BIGINT       NOT NULL DEFAULT 0,
    tab_status          TINYINT      NOT NULL DEFAULT 1,
    tab_pin             VARCHAR(6)   NOT NULL DEFAULT '',
    tab_alternatif      VARCHAR(30)  NOT NULL DEFAULT '',
    KEY idx_rfid (tab_rfid),
    KEY idx_alternatif (tab_alternatif),
    KEY idx_nasabah (tab_nasabah)
) ENGINE=InnoDB;

-- trans_status: 0 = written by a kiosk, 1 = confirmed by the administration, 9 = cancelled.
-- 36-guard-kiosk.sql adds trans_reg_user (who wrote the row) and holds the kiosk to its rows.
CREATE TABLE data_tabungan_trans (
    trans_id             VARCHAR(20)  NOT NULL PRIMARY KEY,
    trans_tanggal        DATE         NOT NULL,
    trans_kode           CHAR(2)      NOT NULL,
    trans_kantor         CHAR(2)      NOT NULL DEFAULT '01',
    trans_rekening       VARCHAR(20)  NOT NULL,
    trans_nasabah        VARCHAR(20)  NOT NULL DEFAULT '',
    trans_channel        VARCHAR(20)  NOT NULL DEFAULT '',
    trans_rfid           VARCHAR(32)  NOT NULL DEFAULT '',
    trans_jumlah_masuk   BIGINT       NOT NULL DEFAULT 0,
    trans_jumlah_keluar  BIGINT       NOT NULL DEFAULT 0,
    trans_saldo_akhir    BIGINT       NULL,
    trans_ob_jenis       TINYINT      NOT NULL DEFAULT 0,
    trans_ob_rekening    VARCHAR(20)  NOT NULL DEFAULT '',
    trans_uraian         VARCHAR(300) NOT NULL DEFAULT '',
    trans_kuitansi       VARCHAR(20)  NULL,
    trans_status         TINYINT      NOT NULL DEFAULT 0,
    trans_reg_date       DATE         NULL,
    trans_reg_time       DATETIME     NULL,
    trans_reg_alias      VARCHAR(60)  NOT NULL DEFAULT '',
    KEY idx_rekening_tanggal (trans_rekening, trans_tanggal),
    KEY idx_reg_time (trans_reg_time)
) ENGINE=InnoDB;

-- The running total of each account's ledger: money in less money out over every row that is
-- not cancelled, kept by the ledger's triggers so that no balance needs a scan of the history.
CREATE TABLE data_tabungan_saldo (
    saldo_rekening  VARCHAR(20)  NOT NULL PRIMARY KEY,
    saldo_buku      BIGINT       NOT NULL DEFAULT 0
) ENGINE=InnoDB;

CREATE TABLE data_kalinda_produk (
    kalinda_kode       CHAR(3)      NOT NULL PRIMARY KEY,
    kalinda_nama       VARCHAR(100) NOT NULL,
    kalinda_rekening   VARCHAR(20)  NOT NULL,
    kalinda_nominal    BIGINT       NOT NULL DEFAULT 0,
    kalinda_otomatis   CHAR(1)      NOT NULL DEFAULT '0',
    kalinda_status     TINYINT      NOT NULL DEFAULT 1
) ENGINE=InnoDB;

CREATE TABLE data_nasabah_foto (
    foto_kode  VARCHAR(20) NOT NULL PRIMARY KEY,
    foto_file  MEDIUMBLOB  NOT NULL
) ENGINE=InnoDB;

-- The monthly boarding (SPP) and meal fees an account is charged, from its first month on.
CREATE TABLE data_spp_setting (
    spp_tabungan     VARCHAR(20) NOT NULL PRIMARY KEY,
    spp_mulai        DATE        NOT NULL,
    spp_biaya_spp    BIGINT      NOT NULL DEFAULT 0,
    spp_biaya_makan  BIGINT      NOT NULL DEFAULT 0
) ENGINE=InnoDB;

CREATE TABLE data_spp_detail (
    detail_id              BIGINT       NOT NULL AUTO_INCREMENT PRIMARY KEY,
    detail_tabungan        VARCHAR(20)  NOT NULL,
    detail_periode         VARCHAR(6)   NOT NULL,
    detail_bulan           VARCHAR(30)  NOT NULL DEFAULT '',
    detail_biaya_spp       BIGINT       NOT NULL DEFAULT 0,
    detail_biaya_makan     BIGINT       NOT NULL DEFAULT 0,
    detail_angsuran_spp    BIGINT       NOT NULL DEFAULT 0,
    detail_angsuran_makan  BIGINT       NOT NULL DEFAULT 0,
    detail_jumlah          BIGINT       NOT NULL DEFAULT 0,
    detail_keterangan      VARCHAR(30)  NOT NULL DEFAULT '',
    UNIQUE KEY uq_tabungan_periode (detail_tabungan, detail_periode)
) ENGINE=InnoDB;

CREATE TABLE app_info (
    info_key    VARCHAR(50)  NOT NULL PRIMARY KEY,
    info_value  VARCHAR(255) NOT NULL DEFAULT ''
) ENGINE=InnoDB;

-- Every routine runs with its definer's rights (the administrator who loads this file):
-- the kiosk's user may call the ones it needs but cannot touch the tables they write.
DELIMITER ;;

CREATE FUNCTION GetNasabahNama(p_nasabah VARCHAR(20)) RETURNS VARCHAR(100)
    READS SQL DATA SQL SECURITY DEFINER
BEGIN
    RETURN (SELECT nasabah_nama FROM data_nasabah WHERE nasabah_id = p_nasabah);
END;;

CREATE FUNCTION GetNasabahAlamat(p_nasabah VARCHAR(20)) RETURNS VARCHAR(200)
    READS SQL DATA SQL SECURITY DEFINER
BEGIN
    RETURN (SELECT nasabah_alamat FROM data_nasabah WHERE nasabah_id = p_nasabah);
END;;

CREATE FUNCTION GetNasabahKelas(p_nasabah VARCHAR(20)) RETURNS VARCHAR(30)
    READS SQL DATA SQL SECURITY DEFINER
BEGIN
    RETURN (SELECT nasabah_kelas FROM data_nasabah WHERE nasabah_id = p_nasabah);
END;;

-- An account's running total (see data_tabungan_saldo). An account without a total yet has
-- only rows that reached the ledger without its triggers: they are added up here instead.
CREATE FUNCTION GetTabSaldoBerjalan(p_rekening VARCHAR(20)) RETURNS BIGINT
    READS SQL DATA SQL SECURITY DEFINER
BEGIN
    DECLARE v_saldo BIGINT;
    SET v_saldo = (SELECT saldo_buku FROM data_tabungan_saldo WHERE saldo_rekening = p_rekening);
    IF v_saldo IS NULL THEN
        SET v_saldo = (SELECT COALESCE(SUM(trans_jumlah_masuk - trans_jumlah_keluar), 0)
                         FROM data_tabungan_trans
                        WHERE trans_rekening = p_rekening
                          AND trans_status IN (0, 1));
    END IF;
    RETURN v_saldo;
END;;

-- The ledger balance of an account at the end of a day: money in less money out over every
-- row that is not cancelled. Asked for today, as the kiosk asks, it is the running total less
-- the rows dated later, which are normally none: an empty range of the account's date index.
CREATE FUNCTION GetTabSaldoBuku(p_rekening VARCHAR(20), p_tanggal DATE) RETURNS BIGINT
    READS SQL DATA SQL SECURITY DEFINER
BEGIN
    IF p_tanggal IS NULL THEN
        RETURN 0;
    END IF;
    RETURN GetTabSaldoBerjalan(p_rekening)
           - (SELECT COALESCE(SUM(trans_jumlah_masuk - trans_jumlah_keluar), 0)
                FROM data_tabungan_trans
               WHERE trans_rekening = p_rekening
                 AND trans_status IN (0, 1)
                 AND trans_tanggal > p_tanggal);
END;;

-- What the holder may spend on that day: the ledger balance less the minimum balance the
-- account must keep, never below 0. 0 for an unknown account.
CREATE FUNCTION GetTabSaldoAktif(p_rekening VARCHAR(20), p_tanggal DATE) RETURNS BIGINT
    READS SQL DATA SQL SECURITY DEFINER
BEGIN
    DECLARE v_minimum BIGINT;
    SET v_minimum = (SELECT tab_saldo_minimum FROM data_tabungan_master
                      WHERE tab_rekening = p_rekening);
    IF v_minimum IS NULL THEN
        RETURN 0;
    END IF;
    RETURN GREATEST(GetTabSaldoBuku(p_rekening, p_tanggal) - v_minimum, 0);
END;;

CREATE FUNCTION GetTabJajanLimit(p_rekening VARCHAR(20), p_tanggal DATE) RETURNS BIGINT
    READS SQL DATA SQL SECURITY DEFINER
BEGIN
    RETURN COALESCE((SELECT tab_limit_jajan FROM data_tabungan_master
                      WHERE tab_rekening = p_rekening), 0);
END;;

-- Spending of a day: money out to institution accounts (products, fees, the shop).
CREATE FUNCTION GetTabJajanHarian(p_rekening VARCHAR(20), p_tanggal DATE) RETURNS BIGINT
    READS SQL DATA SQL SECURITY DEFINER
BEGIN
    RETURN (SELECT COALESCE(SUM(t.trans_jumlah_keluar), 0)
              FROM data_tabungan_trans t
              JOIN data_tabungan_master m ON m.tab_rekening = t.trans_ob_rekening
             WHERE t.trans_rekening = p_rekening
               AND t.trans_kode = '14'
               AND t.trans_status IN (0, 1)
               AND t.trans_tanggal = p_tanggal
               AND m.tab_jenis <> 1);
END;;

CREATE FUNCTION GetJajanKuotaSisa(p_rekening VARCHAR(20)) RETURNS BIGINT
    READS SQL DATA SQL SECURITY DEFINER
BEGIN
    RETURN GREATEST(GetTabJajanLimit(p_rekening, CURDATE())
                    - GetTabJajanHarian(p_rekening, CURDATE()), 0);
END;;

-- What may still be transferred on that day: the daily transfer limit less the money already
-- sent to other students' accounts that day.
CREATE FUNCTION GetTabTransferLimit(p_rekening VARCHAR(20), p_tanggal DATE) RETURNS BIGINT
    READS SQL DATA SQL SECURITY DEFINER
BEGIN
    DECLARE v_limit BIGINT;
    DECLARE v_terpakai BIGINT;
    SET v_limit = COALESCE((SELECT tab_limit_transfer FROM data_tabungan_master
                             WHERE tab_rekening = p_rekening), 0);
    SET v_terpakai = (SELECT COALESCE(SUM(t.trans_jumlah_keluar), 0)
                        FROM data_tabungan_trans t
                        JOIN data_tabungan_master m ON m.tab_rekening = t.trans_ob_rekening
                       WHERE t.trans_rekening = p_rekening
                         AND t.trans_kode = '14'
                         AND t.trans_status IN (0, 1)
                         AND t.trans_tanggal = p_tanggal
                         AND m.tab_jenis = 1);
    RETURN GREATEST(v_limit - v_terpakai, 0);
END;;

-- DETERMINISTIC so that a query comparing a column with it calls it once and can use an index
-- (the statement's date range); the setting does not change while a statement runs.
CREATE FUNCTION GetAppInfo(p_key VARCHAR(50)) RETURNS VARCHAR(255)
    DETERMINISTIC READS SQL DATA SQL SECURITY DEFINER
BEGIN
    RETURN (SELECT info_value FROM app_info WHERE info_key = p_key);
END;;

CREATE PROCEDURE HitungTabSaldoNasabah(IN p_rekening VARCHAR(20))
    MODIFIES SQL DATA SQL SECURITY DEFINER
BEGIN
    UPDATE data_tabungan_master
       SET tab_saldo_efektif = GetTabSaldoBerjalan(p_rekening)
     WHERE tab_rekening = p_rekening;
END;;

-- Adds a ledger row's effect to its account's running total. The account row is locked
-- first: every posting locks its accounts' rows before it writes, so a posting waits there
-- and never holds a total while it waits for an account row. A statement that reads the
-- account table itself while it writes the ledger (INSERT ... SELECT ... FROM
-- data_tabungan_master) may not lock it from here (error 1442) and goes without that lock.
CREATE PROCEDURE TambahSaldoBerjalan(IN p_rekening VARCHAR(20), IN p_jumlah BIGINT)
    MODIFIES SQL DATA SQL SECURITY DEFINER
BEGIN
    DECLARE v_ada INT;
    DECLARE CONTINUE HANDLER FOR 1442 SET v_ada = NULL;
    IF p_jumlah <> 0 THEN
        SELECT COUNT(*) INTO v_ada FROM data_tabungan_master
         WHERE tab_rekening = p_rekening FOR UPDATE;
        UPDATE data_tabungan_saldo SET saldo_buku = saldo_buku + p_jumlah
         WHERE saldo_rekening = p_rekening;
        IF ROW_COUNT() = 0 THEN
            -- The account's first total: its rows so far, this one included.
            INSERT INTO data_tabungan_saldo (saldo_rekening, saldo_buku)
            SELECT p_rekening, COALESCE(SUM(trans_jumlah_masuk - trans_jumlah_keluar), 0)
              FROM data_tabungan_trans
             WHERE trans_rekening = p_rekening AND trans_status IN (0, 1)
            ON DUPLICATE KEY UPDATE saldo_buku = saldo_buku + p_jumlah;
        END IF;
    END IF;
END;;

-- Recomputes running totals from the ledger rows and lists every account whose stored total
-- differs (a missing total counts as 0): one account, or all when p_rekening is NULL. With
-- p_perbaiki = 1 each of them is set to the recomputed value, one account at a time under
-- its account row's lock, so kiosks may go on posting meanwhile.
CREATE PROCEDURE RekonsiliasiSaldo(IN p_rekening VARCHAR(20), IN p_perbaiki TINYINT)
    MODIFIES SQL DATA SQL SECURITY DEFINER
BEGIN
    DECLARE v_rekening VARCHAR(20);
    DECLARE v_tercatat BIGINT;
    DECLARE v_hitung BIGINT;
    DECLARE v_ada INT;
    DECLARE v_sendiri INT DEFAULT 0;
    DECLARE v_selesai INT DEFAULT 0;
    DECLARE c_rekening CURSOR FOR
        SELECT DISTINCT trans_rekening FROM data_tabungan_trans
         WHERE p_rekening IS NULL OR trans_rekening = p_rekening
        UNION
        SELECT saldo_rekening FROM data_tabungan_saldo
         WHERE p_rekening IS NULL OR saldo_rekening = p_rekening;
    DECLARE CONTINUE HANDLER FOR NOT FOUND SET v_selesai = 1;

    CREATE OR REPLACE TEMPORARY TABLE tmp_rekonsiliasi_saldo (
        rekening        VARCHAR(20) NOT NULL PRIMARY KEY,
        saldo_tercatat  BIGINT      NULL,
        saldo_hitung    BIGINT      NOT NULL
    );
    OPEN c_rekening;
    baca: LOOP
        FETCH c_rekening INTO v_rekening;
        IF v_selesai = 1 THEN
            LEAVE baca;
        END IF;
        IF p_perbaiki = 1 THEN
            -- A transaction of our own unless the caller has one.
            SET v_sendiri = (@@in_transaction = 0);
            IF v_sendiri THEN
                START TRANSACTION;
            END IF;
            SELECT COUNT(*) INTO v_ada FROM data_tabungan_master
             WHERE tab_rekening = v_rekening FOR UPDATE;
            SELECT COUNT(*) INTO v_ada FROM data_tabungan_saldo
             WHERE saldo_rekening = v_rekening FOR UPDATE;
        END IF;
        -- One statement reads both, so they agree even while others post.
        SELECT (SELECT saldo_buku FROM data_tabungan_saldo WHERE saldo_rekening = v_rekening),
               (SELECT COALESCE(SUM(trans_jumlah_masuk - trans_jumlah_keluar), 0)
                  FROM data_tabungan_trans
                 WHERE trans_rekening = v_rekening AND trans_status IN (0, 1))
          INTO v_tercatat, v_hitung;
        IF COALESCE(v_tercatat, 0) <> v_hitung THEN
            INSERT INTO tmp_rekonsiliasi_saldo VALUES (v_rekening, v_tercatat, v_hitung);
            IF p_perbaiki = 1 THEN
                INSERT INTO data_tabungan_saldo (saldo_rekening, saldo_buku)
                VALUES (v_rekening, v_hitung)
                ON DUPLICATE KEY UPDATE saldo_buku = v_hitung;
            END IF;
        END IF;
        IF p_perbaiki = 1 AND v_sendiri THEN
            COMMIT;
        END IF;
    END LOOP;
    CLOSE c_rekening;
    SELECT rekening, saldo_tercatat, saldo_hitung, saldo_hitung - COALESCE(saldo_tercatat, 0) AS selisih
      FROM tmp_rekonsiliasi_saldo ORDER BY rekening;
    DROP TEMPORARY TABLE tmp_rekonsiliasi_saldo;
END;;

-- Adds the missing months up to the current one, then spreads what the account has paid to
-- the SPP (product 001) and meal (product 002) accounts over the months, oldest first.
CREATE PROCEDURE HitungSppMakan(IN p_rekening VARCHAR(20))
    MODIFIES SQL DATA SQL SECURITY DEFINER
proc: BEGIN
    DECLARE v_mulai DATE;
    DECLARE v_bulan DATE;
    DECLARE v_periode INT DEFAULT 1;
    DECLARE v_biaya_spp BIGINT;
    DECLARE v_biaya_makan BIGINT;
    DECLARE v_sisa_spp BIGINT;
    DECLARE v_sisa_makan BIGINT;
    DECLARE v_id BIGINT;
    DECLARE v_spp BIGINT;
    DECLARE v_makan BIGINT;
    DECLARE v_bayar_spp BIGINT;
    DECLARE v_bayar_makan BIGINT;
    DECLARE v_selesai INT DEFAULT 0;
    DECLARE c_detail CURSOR FOR
        SELECT detail_id, detail_biaya_spp, detail_biaya_makan
          FROM data_spp_detail
         WHERE detail_tabungan = p_rekening
         ORDER BY FLOOR(detail_periode), detail_id;
    DECLARE CONTINUE HANDLER FOR NOT FOUND SET v_selesai = 1;

    SET v_mulai = (SELECT spp_mulai FROM data_spp_setting WHERE spp_tabungan = p_rekening);
    IF v_mulai IS NULL THEN
        LEAVE proc;
    END IF;
    SET v_biaya_spp = (SELECT spp_biaya_spp FROM data_spp_setting WHERE spp_tabungan = p_rekening);
    SET v_biaya_makan = (SELECT spp_biaya_makan FROM data_spp_setting WHERE spp_tabungan = p_rekening);

    SET v_bulan = DATE_SUB(v_mulai, INTERVAL DAYOFMONTH(v_mulai) - 1 DAY);
    WHILE v_bulan <= CURDATE() DO
        INSERT IGNORE INTO data_spp_detail
            (detail_tabungan, detail_periode, detail_bulan, detail_biaya_spp, detail_biaya_makan)
        VALUES (p_rekening, CAST(v_periode AS CHAR),
                CONCAT(ELT(MONTH(v_bulan), 'Januari', 'Februari', 'Maret', 'April', 'Mei', 'Juni',
                           'Juli', 'Agustus', 'September', 'Oktober', 'November', 'Desember'),
                       ' ', YEAR(v_bulan)),
                v_biaya_spp, v_biaya_makan);
        SET v_bulan = DATE_ADD(v_bulan, INTERVAL 1 MONTH);
        SET v_periode = v_periode + 1;
    END WHILE;

    SET v_sisa_spp = (SELECT COALESCE(SUM(t.trans_jumlah_keluar), 0)
                        FROM data_tabungan_trans t
                        JOIN data_kalinda_produk p ON p.kalinda_rekening = t.trans_ob_rekening
                       WHERE t.trans_rekening = p_rekening AND t.trans_kode = '14'
                         AND t.trans_status IN (0, 1) AND p.kalinda_kode = '001');
    SET v_sisa_makan = (SELECT COALESCE(SUM(t.trans_jumlah_keluar), 0)
                          FROM data_tabungan_trans t
                          JOIN data_kalinda_produk p ON p.kalinda_rekening = t.trans_ob_rekening
                         WHERE t.trans_rekening = p_rekening AND t.trans_kode = '14'
                           AND t.trans_status IN (0, 1) AND p.kalinda_kode = '002');

    OPEN c_detail;
    baca: LOOP
        FETCH c_detail INTO v_id, v_spp, v_makan;
        IF v_selesai = 1 THEN
            LEAVE baca;
        END IF;
        SET v_bayar_spp = LEAST(v_spp, v_sisa_spp);
        SET v_bayar_makan = LEAST(v_makan, v_sisa_makan);
        SET v_sisa_spp = v_sisa_spp - v_bayar_spp;
        SET v_sisa_makan = v_sisa_makan - v_bayar_makan;
        UPDATE data_spp_detail
           SET detail_angsuran_spp = v_bayar_spp,
               detail_angsuran_makan = v_bayar_makan,
               detail_jumlah = v_spp + v_makan,
               detail_keterangan = IF(v_bayar_spp = v_spp AND v_bayar_makan = v_makan, 'LUNAS', 'BELUM')
         WHERE detail_id = v_id;
    END LOOP;
    CLOSE c_detail;
END;;

-- The ledger's triggers keep data_tabungan_saldo: every insert, every change of amount,
-- status or account, and every delete. (Dates do not matter to the totals.)
CREATE TRIGGER data_tabungan_trans_saldo_ins AFTER INSERT ON data_tabungan_trans
FOR EACH ROW
BEGIN
    IF NEW.trans_status IN (0, 1) THEN
        CALL TambahSaldoBerjalan(NEW.trans_rekening,
                                 NEW.trans_jumlah_masuk - NEW.trans_jumlah_keluar);
    END IF;
END;;

CREATE TRIGGER data_tabungan_trans_saldo_upd AFTER UPDATE ON data_tabungan_trans
FOR EACH ROW
BEGIN
    DECLARE v_lama BIGINT DEFAULT 0;
    DECLARE v_baru BIGINT DEFAULT 0;
    IF OLD.trans_status IN (0, 1) THEN
        SET v_lama = OLD.trans_jumlah_masuk - OLD.trans_jumlah_keluar;
    END IF;
    IF NEW.trans_status IN (0, 1) THEN
        SET v_baru = NEW.trans_jumlah_masuk - NEW.trans_jumlah_keluar;
    END IF;
    IF OLD.trans_rekening = NEW.trans_rekening THEN
        CALL TambahSaldoBerjalan(NEW.trans_rekening, v_baru - v_lama);
    ELSEIF OLD.trans_rekening < NEW.trans_rekening THEN
        -- Two accounts are locked in ascending order, as a transfer locks them.
        CALL TambahSaldoBerjalan(OLD.trans_rekening, -v_lama);
        CALL TambahSaldoBerjalan(NEW.trans_rekening, v_baru);
    ELSE
        CALL TambahSaldoBerjalan(NEW.trans_rekening, v_baru);
        CALL TambahSaldoBerjalan(OLD.trans_rekening, -v_lama);
    END IF;
END;;

CREATE TRIGGER data_tabungan_trans_saldo_del AFTER DELETE ON data_tabungan_trans
FOR EACH ROW
BEGIN
    IF OLD.trans_status IN (0, 1) THEN
        CALL TambahSaldoBerjalan(OLD.trans_rekening,
                                 OLD.trans_jumlah_keluar - OLD.trans_jumlah_masuk);
    END IF;
END;;

DELIMITER ;
