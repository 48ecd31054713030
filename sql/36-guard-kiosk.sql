-- The ledger guards the kiosk's own rows (see README.md, "Rows the kiosk's user may write").
-- The kiosk's password ships inside the program, so its user may add ledger rows, copies and
-- shop orders, and change a card or a PIN, only in the shape the kiosk's postings give them.
-- Part of the load, and with the audit the upgrade of an existing school database
-- (assemble.cmake -DUPGRADE=ON); safe to run again.
USE `cashless-adm`;

-- Who wrote each row: USER() of the inserting session, set by the triggers below whatever the
-- row says. NULL: written before this column existed.
ALTER TABLE data_tabungan_trans ADD COLUMN IF NOT EXISTS trans_reg_user VARCHAR(400) NULL INVISIBLE;
ALTER TABLE `aio-kirna`.data_transaksi ADD COLUMN IF NOT EXISTS trans_reg_user VARCHAR(400) NULL INVISIBLE;
ALTER TABLE `@KIOSK_DB@`.data_transaksi ADD COLUMN IF NOT EXISTS trans_reg_user VARCHAR(400) NULL INVISIBLE;
-- The shop's lines name their order's writer through the header; invisible to the shop's own
-- programs (SELECT *, INSERT without a column list).
ALTER TABLE `aio-kirna`.data_barang_order
    ADD COLUMN IF NOT EXISTS order_reg_user VARCHAR(400) NULL INVISIBLE;

-- The database users whose rows are judged: the kiosks' accounts, by user name (USER() names
-- the login also inside triggers and definer routines). An account that is removed keeps its
-- row, so that its old rows keep their writer. akun_nomor_per_menit: how many daily numbers (ids
-- of the day's sequence and shop order codes) one writer (the account at one address) may take
-- in a calendar minute; a posting takes two (a shop order three), see README.md.
-- akun_batas_detik: how long a session of the account may keep a transaction or a statement
-- open before the watchdog ends it (41-kiosk-accounts.sql). akun_bersama: the shared account of
-- 40-users.sql, which all kiosks without an account of their own use.
CREATE TABLE IF NOT EXISTS data_kiosk_akun (
    akun_nama             VARCHAR(80)  NOT NULL PRIMARY KEY,
    akun_nomor_per_menit  INT          NOT NULL DEFAULT 60,
    akun_dibuat           DATETIME     NOT NULL DEFAULT CURRENT_TIMESTAMP,
    akun_dihapus          DATETIME     NULL
) ENGINE=InnoDB;
ALTER TABLE data_kiosk_akun
    ADD COLUMN IF NOT EXISTS akun_batas_detik INT NOT NULL DEFAULT 15,
    ADD COLUMN IF NOT EXISTS akun_bersama TINYINT NOT NULL DEFAULT 0;
INSERT IGNORE INTO data_kiosk_akun (akun_nama) VALUES ('@KIOSK_USER@');

-- Daily numbers taken, per writer, session and minute of the server's clock: each session
-- counts in a row of its own, so kiosks never wait for each other here.
CREATE TABLE IF NOT EXISTS data_kiosk_nomor (
    nomor_user    VARCHAR(400) NOT NULL,
    nomor_menit   DATETIME     NOT NULL,
    nomor_sesi    BIGINT       NOT NULL,
    nomor_banyak  INT          NOT NULL,
    PRIMARY KEY (nomor_user, nomor_menit, nomor_sesi)
) ENGINE=InnoDB;

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

-- Every change of a card or a PIN by a kiosk's account: which column, the card before and
-- after (never a PIN), who and when. The kiosks' accounts can neither read nor write it.
CREATE TABLE IF NOT EXISTS data_tabungan_ubah_kiosk (
    ubah_id         BIGINT       NOT NULL AUTO_INCREMENT PRIMARY KEY,
    ubah_rekening   VARCHAR(20)  NOT NULL,
    ubah_kolom      VARCHAR(10)  NOT NULL,
    ubah_rfid_lama  VARCHAR(32)  NULL,
    ubah_rfid_baru  VARCHAR(32)  NULL,
    ubah_user       VARCHAR(400) NOT NULL,
    ubah_waktu      DATETIME     NOT NULL,
    KEY idx_waktu (ubah_waktu)
) ENGINE=InnoDB;

DELIMITER ;;

-- Refuses a row of the kiosk's user, naming the table and the rule it breaks.
CREATE OR REPLACE PROCEDURE TolakBarisKiosk(IN p_tabel VARCHAR(64), IN p_aturan VARCHAR(100))
    NO SQL SQL SECURITY DEFINER
BEGIN
    DECLARE v_pesan VARCHAR(200) DEFAULT CONCAT(p_tabel, ' ditolak untuk pengguna kiosk: ', p_aturan);
    SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = v_pesan;
END;;

-- Counts a daily number taken by this session; refuses it past the writer's limit a minute.
-- The minute is the server's own clock, which no session can move.
CREATE OR REPLACE PROCEDURE HitungNomorKiosk(IN p_tabel VARCHAR(64))
    MODIFIES SQL DATA SQL SECURITY DEFINER
BEGIN
    DECLARE v_menit DATETIME DEFAULT DATE_FORMAT(SYSDATE(), '%Y-%m-%d %H:%i:00');
    INSERT INTO data_kiosk_nomor (nomor_user, nomor_menit, nomor_sesi, nomor_banyak)
    VALUES (USER(), v_menit, CONNECTION_ID(), 1)
    ON DUPLICATE KEY UPDATE nomor_banyak = nomor_banyak + 1;
    IF (SELECT SUM(nomor_banyak) FROM data_kiosk_nomor
         WHERE nomor_user = USER() AND nomor_menit = v_menit)
       > (SELECT akun_nomor_per_menit FROM data_kiosk_akun
           WHERE akun_nama = SUBSTRING_INDEX(USER(), '@', 1)) THEN
        CALL TolakBarisKiosk(p_tabel, 'terlalu banyak nomor harian dalam satu menit');
    END IF;
END;;

-- Why the session's clock is not the server's, or NULL: a session may move NOW() with SET
-- timestamp or time_zone; SYSDATE() and the server's zone tell, and the day must be the
-- server's own (a clock moved back cannot date a row yesterday).
CREATE OR REPLACE FUNCTION WaktuSesiKiosk() RETURNS VARCHAR(100)
    NO SQL SQL SECURITY INVOKER
BEGIN
    RETURN IF(@@session.time_zone <> @@global.time_zone
              OR NOT SYSDATE() BETWEEN NOW() AND NOW() + INTERVAL 5 MINUTE
              OR CURDATE() <> DATE(SYSDATE()),
              'waktu sesi harus waktu server (timestamp, time_zone)', NULL);
END;;

-- Runs before the running totals' trigger (AFTER INSERT): a refused row moves nothing. Rows of
-- every other user (the administration, the demo data loaded as root) are only signed. A
-- Galera node applies another node's rows without running triggers, so replicated rows are
-- never judged twice. The server prepares the whole of each statement below for every row, so
-- the common rules are plain expressions and key look-ups: a stored function call or a REGEXP
-- per row would cost a posting more than all of them together.
CREATE OR REPLACE TRIGGER data_tabungan_trans_kiosk_ins BEFORE INSERT ON data_tabungan_trans
FOR EACH ROW
BEGIN
    DECLARE v_aturan VARCHAR(100);
    DECLARE v_hari, v_kemarin, v_besok CHAR(6);
    DECLARE v_status, v_ada, v_tujuan INT;
    DECLARE v_toko, v_produk BOOLEAN;
    DECLARE v_kartu VARCHAR(32);
    DECLARE v_minimum, v_buku BIGINT;
    DECLARE v_tertinggi VARCHAR(20);
    DECLARE v_kiosk BOOLEAN DEFAULT EXISTS (SELECT 1 FROM data_kiosk_akun
                                             WHERE akun_nama = SUBSTRING_INDEX(USER(), '@', 1));
    DECLARE CONTINUE HANDLER FOR NOT FOUND SET v_ada = 0;
    SET NEW.trans_reg_user = USER();
    -- For this row's AFTER trigger, which runs next (nothing of the session runs in between),
    -- so that it need not look the writer up again.
    SET @kalinda_baris_kiosk = v_kiosk;
    IF v_kiosk THEN
        -- The kiosk's ids: a daily sequence "KLD" + yyyymmdd + 0001..9999 on any row; a random
        -- "KLD" + yymmdd + 100000..999999 on a debit, with "#" or "##" after it on a credit. Their
        -- date is the kiosk PC's clock: a day off the server's is taken, so that a clock a little
        -- wrong around midnight does not stop a kiosk. CONV() tells digits: it stops at the
        -- first other character. Codes are compared byte for byte: the columns' collation
        -- takes full-width digits for digits.
        SET v_hari = DATE_FORMAT(CURDATE(), '%y%m%d'),
            v_kemarin = DATE_FORMAT(CURDATE() - INTERVAL 1 DAY, '%y%m%d'),
            v_besok = DATE_FORMAT(CURDATE() + INTERVAL 1 DAY, '%y%m%d');
        -- First the server's own clock (as WaktuSesiKiosk, written out: a function call per
        -- row costs more than the rules).
        SET v_aturan = CASE
            WHEN @@session.time_zone <> @@global.time_zone
                 OR NOT SYSDATE() BETWEEN NOW() AND NOW() + INTERVAL 5 MINUTE
                 OR CURDATE() <> DATE(SYSDATE())
                THEN 'waktu sesi harus waktu server (timestamp, time_zone)'
            WHEN NEW.trans_status <> 0 THEN 'trans_status harus 0'
            WHEN NOT (NEW.trans_tanggal = CURDATE() AND NEW.trans_reg_date <=> NEW.trans_tanggal
                      AND NEW.trans_reg_time <=> NOW())
                THEN 'trans_tanggal, trans_reg_date, trans_reg_time harus NOW()'
            WHEN NOT COALESCE(IF(BINARY NEW.trans_kode = '14',
                                 NEW.trans_jumlah_keluar > 0 AND NEW.trans_jumlah_masuk = 0
                                 AND NEW.trans_saldo_akhir > 0,
                                 BINARY NEW.trans_kode = '15' AND NEW.trans_jumlah_masuk > 0
                                 AND NEW.trans_jumlah_keluar = 0 AND NEW.trans_saldo_akhir IS NULL),
                              FALSE)
                THEN '14: keluar > 0, saldo_akhir > 0; 15: masuk > 0, saldo_akhir NULL'
            WHEN NOT BINARY NEW.trans_reg_alias LIKE 'KLD|%' THEN 'trans_reg_alias harus KLD|'
            WHEN NOT (BINARY NEW.trans_kantor = '01' AND NEW.trans_ob_jenis = 1
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
        -- A number of the day's sequence is at most one above the day's highest, so that no
        -- statement can jump to the last number and leave the day none.
        IF v_aturan IS NULL AND CHAR_LENGTH(NEW.trans_id) = 15
           AND BINARY SUBSTRING(NEW.trans_id, 4, 2) = '20' THEN
            SET v_tertinggi = NULL;
            SELECT trans_id INTO v_tertinggi FROM data_tabungan_trans
             WHERE trans_id LIKE CONCAT(LEFT(NEW.trans_id, 11), '____')
             ORDER BY trans_id DESC LIMIT 1;
            IF CONV(RIGHT(NEW.trans_id, 4), 10, 10)
               > COALESCE(CONV(RIGHT(v_tertinggi, 4), 10, 10), 0) + 1 THEN
                SET v_aturan = 'nomor urut melompati nomor tertinggi hari ini';
            END IF;
        END IF;
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
        -- A debit: every rule of the posting it stands for, judged under the payer's lock in
        -- the order the running totals take their locks (account row, then total), so that
        -- debits of one account queue and each sees the ones before. A statement that reads
        -- the account table itself cannot take the lock (1442) and is refused.
        IF v_aturan IS NULL AND NEW.trans_kode = '14' THEN
            SET v_ada = 1;
            SELECT m.tab_status, m.tab_rfid, m.tab_saldo_minimum, s.saldo_buku
              INTO v_status, v_kartu, v_minimum, v_buku
              FROM data_tabungan_master m
              LEFT JOIN data_tabungan_saldo s ON s.saldo_rekening = m.tab_rekening
             WHERE m.tab_rekening = NEW.trans_rekening FOR UPDATE;
            -- What the receiver is: the shop's account, a product's or fee's account, or else
            -- a transfer's; and its status (NULL: no such account).
            SELECT EXISTS (SELECT 1 FROM `aio-kirna`.set_app
                            WHERE app_case = 'NoRekening' AND app_text = NEW.trans_ob_rekening),
                   EXISTS (SELECT 1 FROM data_kalinda_produk
                            WHERE kalinda_rekening = NEW.trans_ob_rekening),
                   (SELECT tab_status FROM data_tabungan_master
                     WHERE tab_rekening = NEW.trans_ob_rekening)
              INTO v_toko, v_produk, v_tujuan;
            IF NOT (v_ada = 1 AND v_status <=> 1 AND v_kartu <> '' AND v_kartu NOT LIKE '#%'
                    AND NEW.trans_rfid = v_kartu) THEN
                SET v_aturan = 'pembayar harus aktif dengan kartu ini (trans_rfid)';
            ELSEIF COALESCE(v_buku - v_minimum - NEW.trans_jumlah_keluar, 0) <= 0 THEN
                SET v_aturan = 'saldo tabungan harus tersisa di atas saldo minimum';
            ELSEIF v_tujuan IS NULL THEN
                SET v_aturan = 'rekening tujuan harus ada';
            ELSEIF v_toko THEN
                IF NEW.trans_kuitansi IS NULL THEN
                    SET v_aturan = 'pembayaran toko harus dengan kode order';
                ELSEIF NEW.trans_jumlah_keluar > GetJajanKuotaSisa(NEW.trans_rekening) THEN
                    SET v_aturan = 'melebihi sisa kuota jajan';
                END IF;
            ELSEIF NOT v_produk THEN
                -- Neither a product's, a fee's nor the shop's account: a transfer.
                IF v_tujuan <> 1 THEN
                    SET v_aturan = 'rekening tujuan transfer harus aktif';
                ELSEIF NEW.trans_jumlah_keluar
                       > GetTabTransferLimit(NEW.trans_rekening, CURDATE()) THEN
                    SET v_aturan = 'melebihi sisa limit transfer hari ini';
                END IF;
            END IF;
        END IF;
        IF v_aturan IS NOT NULL THEN
            CALL TolakBarisKiosk('data_tabungan_trans', v_aturan);
        END IF;
    END IF;
END;;

-- Only a stored row owes the guard anything: a row that INSERT IGNORE or LOAD DATA ... IGNORE
-- drops for its key never gets here. A debit waits for its credit; a credit takes a waiting
-- debit from its payer for its amount (no money from nowhere); a number of the day's sequence
-- is counted against its writer's limit.
CREATE OR REPLACE TRIGGER data_tabungan_trans_kiosk_pasangan AFTER INSERT ON data_tabungan_trans
FOR EACH ROW FOLLOWS data_tabungan_trans_saldo_ins
BEGIN
    IF @kalinda_baris_kiosk THEN
        IF NEW.trans_kode = '14' THEN
            INSERT INTO data_tabungan_kiosk_terbuka
                (terbuka_debit, terbuka_kredit, terbuka_jumlah, terbuka_banyak)
            VALUES (NEW.trans_rekening, NEW.trans_ob_rekening, NEW.trans_jumlah_keluar, 1)
            ON DUPLICATE KEY UPDATE terbuka_banyak = terbuka_banyak + 1;
        ELSE
            DELETE FROM data_tabungan_kiosk_terbuka
             WHERE terbuka_debit = NEW.trans_ob_rekening AND terbuka_kredit = NEW.trans_rekening
               AND terbuka_jumlah = NEW.trans_jumlah_masuk AND terbuka_banyak = 1;
            IF ROW_COUNT() = 0 THEN
                UPDATE data_tabungan_kiosk_terbuka SET terbuka_banyak = terbuka_banyak - 1
                 WHERE terbuka_debit = NEW.trans_ob_rekening
                   AND terbuka_kredit = NEW.trans_rekening
                   AND terbuka_jumlah = NEW.trans_jumlah_masuk AND terbuka_banyak > 1;
                IF ROW_COUNT() = 0 THEN
                    CALL TolakBarisKiosk('data_tabungan_trans',
                                         'kredit tanpa debit kiosk dari trans_ob_rekening');
                END IF;
            END IF;
        END IF;
        IF CHAR_LENGTH(NEW.trans_id) = 15 AND BINARY SUBSTRING(NEW.trans_id, 4, 2) = '20' THEN
            CALL HitungNomorKiosk('data_tabungan_trans');
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
    IF EXISTS (SELECT 1 FROM `cashless-adm`.data_kiosk_akun
                WHERE akun_nama = SUBSTRING_INDEX(USER(), '@', 1))
       AND NOT (NEW.trans_status = 0 AND NEW.trans_tanggal = CURDATE()
                AND NEW.trans_reg_time <=> NOW() AND BINARY NEW.trans_kode = '14'
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
    IF EXISTS (SELECT 1 FROM `cashless-adm`.data_kiosk_akun
                WHERE akun_nama = SUBSTRING_INDEX(USER(), '@', 1))
       AND NOT (NEW.trans_status = 0 AND NEW.trans_tanggal = CURDATE()
                AND NEW.trans_reg_time <=> NOW() AND BINARY NEW.trans_kode = '14'
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

-- A shop order of a kiosk's account: today's, in the shape the shop order writes it, its code
-- at most one above the day's highest and counted against its writer's limit.
CREATE OR REPLACE TRIGGER `aio-kirna`.data_barang_order_kiosk_ins BEFORE INSERT
    ON `aio-kirna`.data_barang_order
FOR EACH ROW
BEGIN
    DECLARE v_aturan VARCHAR(100);
    DECLARE v_tertinggi VARCHAR(20);
    DECLARE v_ada INT DEFAULT 1;
    DECLARE CONTINUE HANDLER FOR NOT FOUND SET v_ada = 0;
    SET NEW.order_reg_user = USER();
    IF EXISTS (SELECT 1 FROM `cashless-adm`.data_kiosk_akun
                WHERE akun_nama = SUBSTRING_INDEX(USER(), '@', 1)) THEN
        SET v_aturan = COALESCE(`cashless-adm`.WaktuSesiKiosk(), CASE
            WHEN NOT COALESCE(BINARY LEFT(NEW.order_kode, 3) = 'ODR'
                              AND CHAR_LENGTH(NEW.order_kode) = 12
                              AND BINARY SUBSTRING(NEW.order_kode, 4, 6)
                                  IN (DATE_FORMAT(CURDATE() - INTERVAL 1 DAY, '%y%m%d'),
                                      DATE_FORMAT(CURDATE(), '%y%m%d'),
                                      DATE_FORMAT(CURDATE() + INTERVAL 1 DAY, '%y%m%d'))
                              AND BINARY RIGHT(NEW.order_kode, 3)
                                  = LPAD(CONV(RIGHT(NEW.order_kode, 3), 10, 10), 3, '0')
                              AND RIGHT(NEW.order_kode, 3) <> '000', FALSE)
                THEN 'order_kode bukan kode order kiosk'
            WHEN NOT (NEW.order_tanggal <=> NOW() AND NEW.order_reg_date <=> NOW())
                THEN 'order_tanggal, order_reg_date harus NOW()'
            WHEN NOT (NEW.order_status = 1 AND NEW.order_harga > 0
                      AND BINARY NEW.order_kirim IN ('Siang', 'Malam'))
                THEN 'order_status 1, order_harga > 0, order_kirim Siang atau Malam'
            WHEN NOT EXISTS (SELECT 1 FROM `cashless-adm`.data_tabungan_master
                              WHERE tab_rekening = NEW.order_rekening AND tab_status = 1
                                AND tab_rfid <> '' AND tab_rfid NOT LIKE '#%')
                THEN 'order_rekening harus rekening aktif dengan kartu'
        END);
        IF v_aturan IS NULL THEN
            SELECT order_kode INTO v_tertinggi FROM `aio-kirna`.data_barang_order
             WHERE order_kode LIKE CONCAT(LEFT(NEW.order_kode, 9), '___')
             ORDER BY order_kode DESC LIMIT 1;
            IF CONV(RIGHT(NEW.order_kode, 3), 10, 10)
               > COALESCE(CONV(RIGHT(v_tertinggi, 3), 10, 10), 0) + 1 THEN
                SET v_aturan = 'nomor order melompati nomor tertinggi hari ini';
            END IF;
        END IF;
        IF v_aturan IS NOT NULL THEN
            CALL `cashless-adm`.TolakBarisKiosk('`aio-kirna`.data_barang_order', v_aturan);
        END IF;
    END IF;
END;;

CREATE OR REPLACE TRIGGER `aio-kirna`.data_barang_order_kiosk_hitung AFTER INSERT
    ON `aio-kirna`.data_barang_order
FOR EACH ROW
BEGIN
    IF EXISTS (SELECT 1 FROM `cashless-adm`.data_kiosk_akun
                WHERE akun_nama = SUBSTRING_INDEX(NEW.order_reg_user, '@', 1)) THEN
        CALL `cashless-adm`.HitungNomorKiosk('`aio-kirna`.data_barang_order');
    END IF;
END;;

-- A line of a kiosk's account belongs to an order the same writer wrote today, its amount is
-- its price times its quantity, and the order's lines never add up to more than its price.
CREATE OR REPLACE TRIGGER `aio-kirna`.data_barang_order_list_kiosk_ins BEFORE INSERT
    ON `aio-kirna`.data_barang_order_list
FOR EACH ROW
BEGIN
    IF EXISTS (SELECT 1 FROM `cashless-adm`.data_kiosk_akun
                WHERE akun_nama = SUBSTRING_INDEX(USER(), '@', 1))
       AND NOT COALESCE(
            NEW.list_status = 1 AND NEW.list_reg_date <=> NOW() AND NEW.list_qty > 0
            AND NEW.list_harga >= 0 AND NEW.list_jumlah = NEW.list_harga * NEW.list_qty
            AND (SELECT o.order_harga - NEW.list_jumlah
                        - (SELECT COALESCE(SUM(l.list_jumlah), 0)
                             FROM `aio-kirna`.data_barang_order_list l
                            WHERE l.list_order = o.order_kode)
                   FROM `aio-kirna`.data_barang_order o
                  WHERE o.order_kode = NEW.list_order AND o.order_reg_user = USER()
                    AND o.order_tanggal >= CURDATE()) >= 0, FALSE) THEN
        CALL `cashless-adm`.TolakBarisKiosk('`aio-kirna`.data_barang_order_list',
                                            'baris order kiosk hari ini dalam harga ordernya');
    END IF;
END;;

-- A kiosk's account changes a card or a PIN only as the kiosk does: a PIN of six ASCII digits
-- (the PIN change, the block's reset PIN), a card to "#" and the card (the block); and every
-- such change is recorded. Only these two columns are judged: the balance routines update the
-- row under the kiosk's session too.
CREATE OR REPLACE TRIGGER data_tabungan_master_kiosk_upd BEFORE UPDATE ON data_tabungan_master
FOR EACH ROW
BEGIN
    IF NOT (BINARY NEW.tab_pin <=> BINARY OLD.tab_pin AND BINARY NEW.tab_rfid <=> BINARY OLD.tab_rfid)
       AND EXISTS (SELECT 1 FROM data_kiosk_akun
                    WHERE akun_nama = SUBSTRING_INDEX(USER(), '@', 1)) THEN
        IF NOT (BINARY NEW.tab_pin <=> BINARY OLD.tab_pin)
           AND NOT COALESCE(BINARY NEW.tab_pin REGEXP '^[0-9]{6}$', FALSE) THEN
            CALL TolakBarisKiosk('data_tabungan_master', 'tab_pin harus enam angka');
        END IF;
        IF NOT (BINARY NEW.tab_rfid <=> BINARY OLD.tab_rfid)
           AND NOT (OLD.tab_rfid <> '' AND BINARY NEW.tab_rfid <=> BINARY CONCAT('#', OLD.tab_rfid))
        THEN
            CALL TolakBarisKiosk('data_tabungan_master', 'tab_rfid hanya diblokir dengan #');
        END IF;
        INSERT INTO data_tabungan_ubah_kiosk
            (ubah_rekening, ubah_kolom, ubah_rfid_lama, ubah_rfid_baru, ubah_user, ubah_waktu)
        SELECT NEW.tab_rekening, kolom, IF(kolom = 'tab_rfid', OLD.tab_rfid, NULL),
               IF(kolom = 'tab_rfid', NEW.tab_rfid, NULL), USER(), SYSDATE()
          FROM (SELECT 'tab_pin' AS kolom FROM DUAL
                 WHERE NOT (BINARY NEW.tab_pin <=> BINARY OLD.tab_pin)
                UNION ALL SELECT 'tab_rfid' FROM DUAL
                 WHERE NOT (BINARY NEW.tab_rfid <=> BINARY OLD.tab_rfid)) k;
    END IF;
END;;

-- The guard's own upkeep: the counts of daily numbers older than a day.
CREATE OR REPLACE PROCEDURE BersihkanPenjagaKiosk()
    MODIFIES SQL DATA
BEGIN
    DELETE FROM data_kiosk_nomor WHERE nomor_menit < NOW() - INTERVAL 1 DAY;
END;;

DELIMITER ;

CREATE OR REPLACE EVENT bersihkan_penjaga_kiosk ON SCHEDULE EVERY 1 DAY
    ON COMPLETION PRESERVE
    DO CALL BersihkanPenjagaKiosk();
