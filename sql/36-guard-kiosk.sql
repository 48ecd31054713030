-- The ledger guards the kiosk's own rows (see README.md, "Rows the kiosk's user may write").
-- The kiosk's password ships inside the program, so its user may add ledger rows and copies
-- only in the shape the kiosk's postings give them. Part of the load, and with the audit the
-- upgrade of an existing school database (assemble.cmake -DUPGRADE=ON); safe to run again.
USE `cashless-adm`;

-- Who wrote each row: USER() of the inserting session, set by the triggers below whatever the
-- row says. NULL: written before this column existed.
ALTER TABLE data_tabungan_trans ADD COLUMN IF NOT EXISTS trans_reg_user VARCHAR(400) NULL;
ALTER TABLE `aio-kirna`.data_transaksi ADD COLUMN IF NOT EXISTS trans_reg_user VARCHAR(400) NULL;
ALTER TABLE `@KIOSK_DB@`.data_transaksi ADD COLUMN IF NOT EXISTS trans_reg_user VARCHAR(400) NULL;

-- The kiosk's debits still waiting for their credit, by payer, receiver and amount. A posting
-- writes its debit first and its credit in the same transaction, so the row lives only while
-- a posting runs; what stays are debits whose credit never came.
CREATE TABLE IF NOT EXISTS data_tabungan_kiosk_terbuka (
    terbuka_debit   VARCHAR(20)  NOT NULL,
    terbuka_kredit  VARCHAR(20)  NOT NULL,
    terbuka_jumlah  BIGINT       NOT NULL,
    terbuka_banyak  INT          NOT NULL DEFAULT 0,
    PRIMARY KEY (terbuka_debit, terbuka_kredit, terbuka_jumlah)
) ENGINE=InnoDB;

DELIMITER ;;

CREATE OR REPLACE PROCEDURE TolakBarisKiosk(IN p_tabel VARCHAR(64), IN p_aturan VARCHAR(100))
    NO SQL SQL SECURITY DEFINER
BEGIN
    DECLARE v_pesan VARCHAR(200) DEFAULT CONCAT(p_tabel, ' ditolak untuk pengguna kiosk: ', p_aturan);
    SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = v_pesan;
END;;

-- What every row of the kiosk shares, or NULL: the server's own clock (a session may move
-- NOW() with SET timestamp or time_zone; SYSDATE() and the server's zone tell), status 0, and
-- the dates the kiosk writes as NOW(). p_sekarang is NOW() of the inserting statement.
CREATE OR REPLACE FUNCTION AturanWaktuKiosk(p_status TINYINT, p_tanggal DATE, p_reg_date DATE,
                                            p_reg_time DATETIME, p_sekarang DATETIME)
    RETURNS VARCHAR(100) NO SQL SQL SECURITY DEFINER
BEGIN
    RETURN CASE
        WHEN NOT (@@session.time_zone = @@global.time_zone
                  OR CONVERT_TZ(SYSDATE(), @@session.time_zone, @@global.time_zone) <=> SYSDATE())
             OR TIMESTAMPDIFF(SECOND, p_sekarang, SYSDATE()) NOT BETWEEN 0 AND 300
            THEN 'waktu sesi harus waktu server (timestamp, time_zone)'
        WHEN NOT p_status <=> 0 THEN 'trans_status harus 0'
        WHEN NOT (p_tanggal <=> DATE(p_sekarang) AND p_reg_date <=> DATE(p_sekarang)
                  AND p_reg_time <=> p_sekarang)
            THEN 'trans_tanggal, trans_reg_date, trans_reg_time harus NOW()'
        ELSE NULL
    END;
END;;

-- The kiosk's ids, or NULL: a daily sequence "KLD" + yyyymmdd + 0001..9999 on any row; a random
-- "KLD" + yymmdd + 100000..999999 on a debit, with "#" or "##" after it on a credit; shop order
-- codes "ODR" + yymmdd + 001..999. The date is the kiosk PC's clock: a day off the server's
-- is taken, so that a clock a little wrong around midnight does not stop a kiosk.
CREATE OR REPLACE FUNCTION AturanIdKiosk(p_id VARCHAR(20), p_kode CHAR(2),
                                         p_kuitansi VARCHAR(20), p_tanggal DATE)
    RETURNS VARCHAR(100) NO SQL SQL SECURITY DEFINER
BEGIN
    DECLARE v_kemarin CHAR(8) DEFAULT DATE_FORMAT(p_tanggal - INTERVAL 1 DAY, '%Y%m%d');
    DECLARE v_hari CHAR(8) DEFAULT DATE_FORMAT(p_tanggal, '%Y%m%d');
    DECLARE v_besok CHAR(8) DEFAULT DATE_FORMAT(p_tanggal + INTERVAL 1 DAY, '%Y%m%d');
    IF NOT ((BINARY p_id REGEXP '^KLD[0-9]{12}$' AND RIGHT(p_id, 4) <> '0000'
             AND SUBSTRING(p_id, 4, 8) IN (v_kemarin, v_hari, v_besok))
            OR (BINARY p_id REGEXP IF(p_kode = '14', '^KLD[0-9]{6}[1-9][0-9]{5}$',
                                      '^KLD[0-9]{6}[1-9][0-9]{5}#{1,2}$')
                AND SUBSTRING(p_id, 4, 6) IN (RIGHT(v_kemarin, 6), RIGHT(v_hari, 6),
                                              RIGHT(v_besok, 6)))) THEN
        RETURN 'trans_id bukan nomor kiosk hari ini';
    END IF;
    IF p_kuitansi IS NOT NULL
       AND NOT (BINARY p_kuitansi REGEXP '^ODR[0-9]{9}$' AND RIGHT(p_kuitansi, 3) <> '000'
                AND SUBSTRING(p_kuitansi, 4, 6) IN (RIGHT(v_kemarin, 6), RIGHT(v_hari, 6),
                                                    RIGHT(v_besok, 6))) THEN
        RETURN 'trans_kuitansi bukan kode order kiosk';
    END IF;
    RETURN NULL;
END;;

-- A copy (the kiosk's or the shop's data_transaksi) that the kiosk's user writes needs the
-- ledger debit it copies, written by the same user before it in the posting: same id (the
-- product payment's copy with "#" after it), account, amount, balance and, for the shop's
-- copy, order code.
CREATE OR REPLACE PROCEDURE PeriksaSalinanKiosk(
        IN p_tabel VARCHAR(64), IN p_id VARCHAR(20), IN p_kode CHAR(2), IN p_kantor CHAR(2),
        IN p_rekening VARCHAR(20), IN p_jumlah BIGINT, IN p_awal BIGINT, IN p_akhir BIGINT,
        IN p_alias VARCHAR(50), IN p_order VARCHAR(20), IN p_status TINYINT, IN p_tanggal DATE,
        IN p_reg_date DATE, IN p_reg_time DATETIME, IN p_sekarang DATETIME)
    READS SQL DATA SQL SECURITY DEFINER
BEGIN
    DECLARE v_aturan VARCHAR(100)
        DEFAULT AturanWaktuKiosk(p_status, p_tanggal, p_reg_date, p_reg_time, p_sekarang);
    IF v_aturan IS NULL AND NOT (p_kode <=> '14' AND p_kantor <=> '01' AND p_jumlah > 0
                                 AND p_awal - p_jumlah <=> p_akhir) THEN
        SET v_aturan = 'trans_kode 14, trans_kantor 01, trans_saldo_awal - trans_jumlah > 0';
    END IF;
    IF v_aturan IS NULL AND NOT EXISTS (
            SELECT 1 FROM data_tabungan_trans
             WHERE trans_id = IF(p_id LIKE '%#', LEFT(p_id, CHAR_LENGTH(p_id) - 1), p_id)
               AND trans_kode = '14' AND trans_rekening = p_rekening
               AND trans_jumlah_keluar = p_jumlah AND trans_saldo_akhir = p_akhir
               AND trans_reg_alias = CONCAT('KLD|', p_alias) AND trans_reg_user = USER()
               AND (p_order IS NULL OR trans_kuitansi = p_order)) THEN
        SET v_aturan = 'tanpa debit kiosk yang sama di data_tabungan_trans';
    END IF;
    IF v_aturan IS NOT NULL THEN
        CALL TolakBarisKiosk(p_tabel, v_aturan);
    END IF;
END;;

-- Runs before the running totals' trigger (AFTER INSERT): a refused row moves nothing. Rows of
-- every other user (the administration, the demo data loaded as root) are only signed. A
-- Galera node applies another node's rows without running triggers, so replicated rows are
-- never judged twice.
CREATE OR REPLACE TRIGGER data_tabungan_trans_kiosk_ins BEFORE INSERT ON data_tabungan_trans
FOR EACH ROW
BEGIN
    DECLARE v_aturan VARCHAR(100);
    DECLARE v_saldo BIGINT;
    SET NEW.trans_reg_user = USER();
    IF SUBSTRING_INDEX(USER(), '@', 1) = '@KIOSK_USER@' THEN
        SET v_aturan = COALESCE(
            AturanWaktuKiosk(NEW.trans_status, NEW.trans_tanggal, NEW.trans_reg_date,
                             NEW.trans_reg_time, NOW()),
            CASE
                WHEN NEW.trans_kode NOT IN ('14', '15') THEN 'trans_kode harus 14 atau 15'
                WHEN NOT IF(NEW.trans_kode = '14',
                            NEW.trans_jumlah_keluar > 0 AND NEW.trans_jumlah_masuk = 0,
                            NEW.trans_jumlah_masuk > 0 AND NEW.trans_jumlah_keluar = 0)
                    THEN 'jumlah: 14 hanya trans_jumlah_keluar > 0, 15 hanya trans_jumlah_masuk > 0'
                WHEN NOT BINARY NEW.trans_reg_alias LIKE 'KLD|%'
                    THEN 'trans_reg_alias harus KLD|'
                WHEN NOT (NEW.trans_kantor = '01' AND NEW.trans_ob_jenis = 1
                          AND NEW.trans_ob_rekening NOT IN ('', NEW.trans_rekening))
                    THEN 'trans_kantor 01, trans_ob_jenis 1, trans_ob_rekening rekening lain'
                WHEN NEW.trans_kode = '15' AND NEW.trans_saldo_akhir IS NOT NULL
                    THEN 'trans_saldo_akhir hanya pada debit'
            END,
            AturanIdKiosk(NEW.trans_id, NEW.trans_kode, NEW.trans_kuitansi, NEW.trans_tanggal));
        -- A debit leaves more than 0 of the payer's spendable balance, as every posting checks
        -- under the payer's lock, and says what is left; it waits for its credit.
        IF v_aturan IS NULL AND NEW.trans_kode = '14' THEN
            SET v_saldo = GetTabSaldoAktif(NEW.trans_rekening, NEW.trans_tanggal)
                          - NEW.trans_jumlah_keluar;
            IF v_saldo <= 0 OR NOT NEW.trans_saldo_akhir <=> v_saldo THEN
                SET v_aturan = 'saldo harus tersisa > 0 dan sama dengan trans_saldo_akhir';
            ELSE
                INSERT INTO data_tabungan_kiosk_terbuka
                    (terbuka_debit, terbuka_kredit, terbuka_jumlah, terbuka_banyak)
                VALUES (NEW.trans_rekening, NEW.trans_ob_rekening, NEW.trans_jumlah_keluar, 1)
                ON DUPLICATE KEY UPDATE terbuka_banyak = terbuka_banyak + 1;
            END IF;
        -- A credit takes a waiting debit from its payer for its amount: no money from nowhere.
        ELSEIF v_aturan IS NULL THEN
            DELETE FROM data_tabungan_kiosk_terbuka
             WHERE terbuka_debit = NEW.trans_ob_rekening AND terbuka_kredit = NEW.trans_rekening
               AND terbuka_jumlah = NEW.trans_jumlah_masuk AND terbuka_banyak = 1;
            IF ROW_COUNT() = 0 THEN
                UPDATE data_tabungan_kiosk_terbuka SET terbuka_banyak = terbuka_banyak - 1
                 WHERE terbuka_debit = NEW.trans_ob_rekening
                   AND terbuka_kredit = NEW.trans_rekening
                   AND terbuka_jumlah = NEW.trans_jumlah_masuk AND terbuka_banyak > 1;
                IF ROW_COUNT() = 0 THEN
                    SET v_aturan = 'kredit tanpa debit kiosk dari trans_ob_rekening';
                END IF;
            END IF;
        END IF;
        IF v_aturan IS NOT NULL THEN
            CALL TolakBarisKiosk('data_tabungan_trans', v_aturan);
        END IF;
    END IF;
END;;

CREATE OR REPLACE TRIGGER `aio-kirna`.data_transaksi_kiosk_ins BEFORE INSERT
    ON `aio-kirna`.data_transaksi
FOR EACH ROW
BEGIN
    SET NEW.trans_reg_user = USER();
    IF SUBSTRING_INDEX(USER(), '@', 1) = '@KIOSK_USER@' THEN
        CALL `cashless-adm`.PeriksaSalinanKiosk(
            '`aio-kirna`.data_transaksi', NEW.trans_id, NEW.trans_kode, NEW.trans_kantor,
            NEW.trans_rekening, NEW.trans_jumlah, NEW.trans_saldo_awal, NEW.trans_saldo_akhir,
            NEW.trans_reg_alias, NEW.trans_order, NEW.trans_status, NEW.trans_tanggal,
            NEW.trans_reg_date, NEW.trans_reg_time, NOW());
    END IF;
END;;

CREATE OR REPLACE TRIGGER `@KIOSK_DB@`.data_transaksi_kiosk_ins BEFORE INSERT
    ON `@KIOSK_DB@`.data_transaksi
FOR EACH ROW
BEGIN
    SET NEW.trans_reg_user = USER();
    IF SUBSTRING_INDEX(USER(), '@', 1) = '@KIOSK_USER@' THEN
        CALL `cashless-adm`.PeriksaSalinanKiosk(
            'data_transaksi', NEW.trans_id, NEW.trans_kode, NEW.trans_kantor, NEW.trans_rekening,
            NEW.trans_jumlah, NEW.trans_saldo_awal, NEW.trans_saldo_akhir, NEW.trans_reg_alias,
            NULL, NEW.trans_status, NEW.trans_tanggal, NEW.trans_reg_date, NEW.trans_reg_time,
            NOW());
    END IF;
END;;

DELIMITER ;
