-- The ledger guards the kiosk's own rows (see README.md, "Rows the kiosk's user may write").
-- The kiosk's password ships inside the program, so its user may add ledger rows and copies
-- only in the shape the kiosk's postings give them. Part of the load, and with the audit the
-- upgrade of an existing school database (assemble.cmake -DUPGRADE=ON); safe to run again.
USE `cashless-adm`;

-- Who wrote each row: USER() of the inserting session, set by the triggers below whatever the
-- row says. NULL: written before this column existed.
ALTER TABLE data_tabungan_trans ADD COLUMN IF NOT EXISTS trans_reg_user VARCHAR(400) NULL INVISIBLE;
ALTER TABLE `aio-kirna`.data_transaksi ADD COLUMN IF NOT EXISTS trans_reg_user VARCHAR(400) NULL INVISIBLE;
ALTER TABLE `@KIOSK_DB@`.data_transaksi ADD COLUMN IF NOT EXISTS trans_reg_user VARCHAR(400) NULL INVISIBLE;

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

-- Refuses a row of the kiosk's user, naming the table and the rule it breaks.
CREATE OR REPLACE PROCEDURE TolakBarisKiosk(IN p_tabel VARCHAR(64), IN p_aturan VARCHAR(100))
    NO SQL SQL SECURITY DEFINER
BEGIN
    DECLARE v_pesan VARCHAR(200) DEFAULT CONCAT(p_tabel, ' ditolak untuk pengguna kiosk: ', p_aturan);
    SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = v_pesan;
END;;

-- Runs before the running totals' trigger (AFTER INSERT): a refused row moves nothing. Rows of
-- every other user (the administration, the demo data loaded as root) are only signed. A
-- Galera node applies another node's rows without running triggers, so replicated rows are
-- never judged twice. The server prepares the whole of each statement below for every row, so
-- the rules are plain expressions and key look-ups: a stored function call or a REGEXP per row
-- would cost a posting more than all of them together.
CREATE OR REPLACE TRIGGER data_tabungan_trans_kiosk_ins BEFORE INSERT ON data_tabungan_trans
FOR EACH ROW
BEGIN
    DECLARE v_aturan VARCHAR(100);
    DECLARE v_sisa BIGINT;
    DECLARE v_hari, v_kemarin, v_besok CHAR(6);
    SET NEW.trans_reg_user = USER();
    IF SUBSTRING_INDEX(USER(), '@', 1) = '@KIOSK_USER@' THEN
        -- The kiosk's ids: a daily sequence "KLD" + yyyymmdd + 0001..9999 on any row; a random
        -- "KLD" + yymmdd + 100000..999999 on a debit, with "#" or "##" after it on a credit. Their
        -- date is the kiosk PC's clock: a day off the server's is taken, so that a clock a little
        -- wrong around midnight does not stop a kiosk. CONV() tells digits: it stops at the
        -- first other character.
        SET v_hari = DATE_FORMAT(CURDATE(), '%y%m%d'),
            v_kemarin = DATE_FORMAT(CURDATE() - INTERVAL 1 DAY, '%y%m%d'),
            v_besok = DATE_FORMAT(CURDATE() + INTERVAL 1 DAY, '%y%m%d');
        -- First the server's own clock: a session may move NOW() with SET timestamp or
        -- time_zone; SYSDATE() and the server's zone tell.
        SET v_aturan = CASE
            WHEN @@session.time_zone <> @@global.time_zone
                 OR NOT SYSDATE() BETWEEN NOW() AND NOW() + INTERVAL 5 MINUTE
                THEN 'waktu sesi harus waktu server (timestamp, time_zone)'
            WHEN NEW.trans_status <> 0 THEN 'trans_status harus 0'
            WHEN NOT (NEW.trans_tanggal = CURDATE() AND NEW.trans_reg_date <=> NEW.trans_tanggal
                      AND NEW.trans_reg_time <=> NOW())
                THEN 'trans_tanggal, trans_reg_date, trans_reg_time harus NOW()'
            WHEN NOT COALESCE(IF(NEW.trans_kode = '14',
                                 NEW.trans_jumlah_keluar > 0 AND NEW.trans_jumlah_masuk = 0
                                 AND NEW.trans_saldo_akhir > 0,
                                 NEW.trans_kode = '15' AND NEW.trans_jumlah_masuk > 0
                                 AND NEW.trans_jumlah_keluar = 0 AND NEW.trans_saldo_akhir IS NULL),
                              FALSE)
                THEN '14: keluar > 0, saldo_akhir > 0; 15: masuk > 0, saldo_akhir NULL'
            WHEN NOT BINARY NEW.trans_reg_alias LIKE 'KLD|%' THEN 'trans_reg_alias harus KLD|'
            WHEN NOT (NEW.trans_kantor = '01' AND NEW.trans_ob_jenis = 1
                      AND NEW.trans_ob_rekening NOT IN ('', NEW.trans_rekening))
                THEN 'trans_kantor 01, trans_ob_jenis 1, trans_ob_rekening rekening lain'
            WHEN NOT COALESCE(
                    BINARY LEFT(NEW.trans_id, 3) = 'KLD'
                    AND IF(CHAR_LENGTH(NEW.trans_id) = 15 AND BINARY SUBSTRING(NEW.trans_id, 4, 2) = '20'
                           AND BINARY SUBSTRING(NEW.trans_id, 6, 6) IN (v_kemarin, v_hari, v_besok),
                           -- the daily sequence
                           BINARY RIGHT(NEW.trans_id, 4)
                           = LPAD(CONV(RIGHT(NEW.trans_id, 4), 10, 10), 4, '0')
                           AND RIGHT(NEW.trans_id, 4) <> '0000',
                           -- the random id
                           BINARY SUBSTRING(NEW.trans_id, 4, 6) IN (v_kemarin, v_hari, v_besok)
                           AND BINARY SUBSTRING(NEW.trans_id, 10, 6)
                               = CONV(SUBSTRING(NEW.trans_id, 10, 6), 10, 10)
                           AND BINARY SUBSTRING(NEW.trans_id, 16)
                               IN (IF(NEW.trans_kode = '14', '', '#'),
                                   IF(NEW.trans_kode = '14', '', '##'))),
                    FALSE)
                THEN 'trans_id bukan nomor kiosk hari ini'
        END;
        -- The shop's order code: "ODR" + yymmdd + 001..999.
        IF v_aturan IS NULL AND NEW.trans_kuitansi IS NOT NULL
           AND NOT COALESCE(BINARY LEFT(NEW.trans_kuitansi, 3) = 'ODR'
                            AND CHAR_LENGTH(NEW.trans_kuitansi) = 12
                            AND BINARY SUBSTRING(NEW.trans_kuitansi, 4, 6)
                                IN (v_kemarin, v_hari, v_besok)
                            AND BINARY RIGHT(NEW.trans_kuitansi, 3)
                                = LPAD(CONV(RIGHT(NEW.trans_kuitansi, 3), 10, 10), 3, '0')
                            AND RIGHT(NEW.trans_kuitansi, 3) <> '000', FALSE) THEN
            SET v_aturan = 'trans_kuitansi bukan kode order kiosk';
        END IF;
        -- A debit leaves the payer's running total above the account's minimum balance, as
        -- every posting checks under the payer's lock; it waits for its credit.
        IF v_aturan IS NULL AND NEW.trans_kode = '14' THEN
            SELECT (SELECT saldo_buku FROM data_tabungan_saldo
                     WHERE saldo_rekening = NEW.trans_rekening)
                   - tab_saldo_minimum - NEW.trans_jumlah_keluar
              INTO v_sisa FROM data_tabungan_master WHERE tab_rekening = NEW.trans_rekening;
            IF COALESCE(v_sisa, 0) <= 0 THEN
                SET v_aturan = 'saldo tabungan harus tersisa di atas saldo minimum';
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

-- A copy (the kiosk's or the shop's data_transaksi) that the kiosk's user writes is today's,
-- status 0, and copies a ledger debit that the same user@host wrote before it: same id (the
-- product payment's copy with "#" after it), account, amount, balance and, for the shop's
-- copy, order code. A copy moves no money; its debit passed the ledger's rules.
CREATE OR REPLACE TRIGGER `aio-kirna`.data_transaksi_kiosk_ins BEFORE INSERT
    ON `aio-kirna`.data_transaksi
FOR EACH ROW
BEGIN
    SET NEW.trans_reg_user = USER();
    IF SUBSTRING_INDEX(USER(), '@', 1) = '@KIOSK_USER@'
       AND NOT (NEW.trans_status = 0 AND NEW.trans_tanggal = CURDATE()
                AND NEW.trans_reg_time <=> NOW() AND NEW.trans_kode = '14'
                AND NEW.trans_saldo_awal - NEW.trans_jumlah = NEW.trans_saldo_akhir
                AND EXISTS (SELECT 1 FROM `cashless-adm`.data_tabungan_trans
                             WHERE trans_id = NEW.trans_id AND trans_kode = '14'
                               AND trans_rekening = NEW.trans_rekening
                               AND trans_jumlah_keluar = NEW.trans_jumlah
                               AND trans_saldo_akhir = NEW.trans_saldo_akhir
                               AND trans_kuitansi = NEW.trans_order
                               AND trans_reg_user = NEW.trans_reg_user)) THEN
        CALL `cashless-adm`.TolakBarisKiosk('`aio-kirna`.data_transaksi',
                                            'tanpa debit kiosk yang sama hari ini');
    END IF;
END;;

CREATE OR REPLACE TRIGGER `@KIOSK_DB@`.data_transaksi_kiosk_ins BEFORE INSERT
    ON `@KIOSK_DB@`.data_transaksi
FOR EACH ROW
BEGIN
    SET NEW.trans_reg_user = USER();
    IF SUBSTRING_INDEX(USER(), '@', 1) = '@KIOSK_USER@'
       AND NOT (NEW.trans_status = 0 AND NEW.trans_tanggal = CURDATE()
                AND NEW.trans_reg_time <=> NOW() AND NEW.trans_kode = '14'
                AND NEW.trans_saldo_awal - NEW.trans_jumlah = NEW.trans_saldo_akhir
                AND EXISTS (SELECT 1 FROM `cashless-adm`.data_tabungan_trans
                             WHERE trans_id = IF(NEW.trans_id LIKE '%#',
                                                 LEFT(NEW.trans_id, CHAR_LENGTH(NEW.trans_id) - 1),
                                                 NEW.trans_id)
                               AND trans_kode = '14' AND trans_rekening = NEW.trans_rekening
                               AND trans_jumlah_keluar = NEW.trans_jumlah
                               AND trans_saldo_akhir = NEW.trans_saldo_akhir
                               AND trans_reg_user = NEW.trans_reg_user)) THEN
        CALL `cashless-adm`.TolakBarisKiosk('data_transaksi', 'tanpa debit kiosk yang sama hari ini');
    END IF;
END;;

DELIMITER ;
