-- Upgrade of an existing school database: running ledger totals per account, so that the
-- balance routines cost the same whatever the size of the ledger. Safe to run again.
--   mariadb -uroot < upgrade-saldo-berjalan.sql
-- Builds every account's total from its ledger rows at the end and lists the totals it set
-- (a second run lists nothing). See README.md for what the administration keeps in mind.
USE `cashless-adm`;

-- The running total of each account's ledger: money in less money out over every row that is
-- not cancelled, kept by the ledger's triggers so that no balance needs a scan of the history.
CREATE TABLE IF NOT EXISTS data_tabungan_saldo (
    saldo_rekening  VARCHAR(20)  NOT NULL PRIMARY KEY,
    saldo_buku      BIGINT       NOT NULL DEFAULT 0
) ENGINE=InnoDB;

DELIMITER ;;

-- DETERMINISTIC so that a query comparing a column with it calls it once and can use an index
-- (the statement's date range); the setting does not change while a statement runs.
CREATE OR REPLACE FUNCTION GetAppInfo(p_key VARCHAR(50)) RETURNS VARCHAR(255)
    DETERMINISTIC READS SQL DATA SQL SECURITY DEFINER
BEGIN
    RETURN (SELECT info_value FROM app_info WHERE info_key = p_key);
END;;

-- An account's running total (see data_tabungan_saldo). An account without a total yet has
-- only rows that reached the ledger without its triggers: they are added up here instead.
CREATE OR REPLACE FUNCTION GetTabSaldoBerjalan(p_rekening VARCHAR(20)) RETURNS BIGINT
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
CREATE OR REPLACE FUNCTION GetTabSaldoBuku(p_rekening VARCHAR(20), p_tanggal DATE) RETURNS BIGINT
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

CREATE OR REPLACE PROCEDURE HitungTabSaldoNasabah(IN p_rekening VARCHAR(20))
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
CREATE OR REPLACE PROCEDURE TambahSaldoBerjalan(IN p_rekening VARCHAR(20), IN p_jumlah BIGINT)
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
CREATE OR REPLACE PROCEDURE RekonsiliasiSaldo(IN p_rekening VARCHAR(20), IN p_perbaiki TINYINT)
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

-- The ledger's triggers keep data_tabungan_saldo: every insert, every change of amount,
-- status or account, and every delete. (Dates do not matter to the totals.)
CREATE OR REPLACE TRIGGER data_tabungan_trans_saldo_ins AFTER INSERT ON data_tabungan_trans
FOR EACH ROW
BEGIN
    IF NEW.trans_status IN (0, 1) THEN
        CALL TambahSaldoBerjalan(NEW.trans_rekening,
                                 NEW.trans_jumlah_masuk - NEW.trans_jumlah_keluar);
    END IF;
END;;

CREATE OR REPLACE TRIGGER data_tabungan_trans_saldo_upd AFTER UPDATE ON data_tabungan_trans
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

CREATE OR REPLACE TRIGGER data_tabungan_trans_saldo_del AFTER DELETE ON data_tabungan_trans
FOR EACH ROW
BEGIN
    IF OLD.trans_status IN (0, 1) THEN
        CALL TambahSaldoBerjalan(OLD.trans_rekening,
                                 OLD.trans_jumlah_keluar - OLD.trans_jumlah_masuk);
    END IF;
END;;

DELIMITER ;

-- Every account's total from its rows, one account at a time.
CALL RekonsiliasiSaldo(NULL, 1);
