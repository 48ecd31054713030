-- The audit of kiosk postings (AuditTransaksiKiosk, see README.md). Part of the load, and with
-- 36-guard-kiosk.sql the upgrade of an existing school database (assemble.cmake -DUPGRADE=ON);
-- safe to run again.
USE `cashless-adm`;

-- The audit reads days of the ledger and of the shop's copies without a scan of either.
CREATE INDEX IF NOT EXISTS idx_tanggal ON data_tabungan_trans (trans_tanggal);
CREATE INDEX IF NOT EXISTS idx_tanggal ON `aio-kirna`.data_transaksi (trans_tanggal);
CREATE INDEX IF NOT EXISTS idx_tanggal ON `aio-kirna`.data_barang_order (order_tanggal);

DELIMITER ;;

-- Lists what does not add up among the kiosk postings dated p_dari to p_sampai (NULL: no
-- bound), one row per finding, with `jenis`:
--   DEBIT_TANPA_KREDIT, KREDIT_TANPA_DEBIT: the debits ("14") and credits ("15") between the
--     same two accounts on one day for one amount are not as many; `banyak` of them lack a
--     partner, `trans_id` and `trans_id_akhir` name the group's first and last row.
--   SALINAN_TANPA_MUTASI: a copy in the kiosk's or the shop's data_transaksi without the
--     ledger debit it copies. SALINAN_GANDA: a second kiosk copy of one debit.
--   FORMAT_TIDAK_SESUAI: a kiosk row with an id, order code, kind or date the kiosk never
--     writes (or, written by the kiosk's user, a status or alias); `keterangan` names them.
--   SALDO_DI_BAWAH_MINIMUM: an account whose running total is below its minimum balance
--     (`jumlah`: by how much), whatever the period.
--   LOG_TANPA_MUTASI: a log row "TRANSAKSI BERHASIL" whose posting id no ledger row carries.
--   PESANAN_TANPA_BAYAR: a shop order no kiosk debit paid, beyond the refusals logged for its
--     account, day and amount.
--   UBAH_KARTU_PIN_BANYAK: a writer that changed cards or PINs of more than 3 accounts in one
--     minute (`banyak`: how many); every change is listed by AuditKartuPinKiosk.
--   SESI_DIAKHIRI: a session of a kiosk's account that the watchdog ended (41-kiosk-accounts.sql)
--     for holding a transaction or a statement too long; `keterangan` says which and for how
--     many seconds, `banyak` is 1, `penulis` the session's user@host, `waktu` when it was ended.
-- Kiosk rows are the ledger rows not cancelled that a kiosk's account wrote or that carry the
-- kiosk's alias ("KLD|"), a "KLD" id or status 0; `penulis` names who wrote them (the
-- trans_reg_user of 36-guard-kiosk.sql), and a debit pairs only with a credit of the same
-- writer; `waktu` is when the finding's last row was written. Rows dated after today are read
-- whatever the range. p_rekening keeps the postings from or to one account; p_skema_kiosk names
-- the kiosk's schema (NULL: its copies and log are not read). Every group is counted, never
-- joined into one text, so that the audit answers over any volume.
CREATE OR REPLACE PROCEDURE AuditTransaksiKiosk(IN p_dari DATE, IN p_sampai DATE,
                                                IN p_rekening VARCHAR(20),
                                                IN p_skema_kiosk VARCHAR(64))
    MODIFIES SQL DATA SQL SECURITY INVOKER
BEGIN
    DECLARE v_dari DATE DEFAULT COALESCE(p_dari, '1000-01-02');
    DECLARE v_sampai DATE DEFAULT COALESCE(p_sampai, '9999-12-30');
    DECLARE v_isolasi VARCHAR(30) DEFAULT @@SESSION.tx_isolation;
    DECLARE v_salinan TEXT;
    DECLARE v_tabel VARCHAR(200);
    DECLARE v_skema VARCHAR(200);
    DECLARE EXIT HANDLER FOR SQLEXCEPTION
    BEGIN
        SET SESSION tx_isolation = v_isolasi;
        RESIGNAL;
    END;

    -- Reads inside the caller's transaction would lock what they read until it ends, and the
    -- kiosks would wait to post.
    IF @@in_transaction THEN
        SIGNAL SQLSTATE '45000'
            SET MESSAGE_TEXT = 'AuditTransaksiKiosk: jalankan di luar transaksi (COMMIT dulu)';
    END IF;
    IF p_skema_kiosk IS NOT NULL AND NOT EXISTS (
            SELECT 1 FROM information_schema.TABLES
             WHERE TABLE_SCHEMA = p_skema_kiosk AND TABLE_NAME = 'data_transaksi') THEN
        SIGNAL SQLSTATE '45000'
            SET MESSAGE_TEXT = 'AuditTransaksiKiosk: skema kiosk tanpa tabel data_transaksi';
    END IF;
    SET v_skema = CONCAT('`', REPLACE(p_skema_kiosk, '`', '``'), '`');
    -- Plain reads: under REPEATABLE READ an INSERT ... SELECT locks the rows and gaps it reads,
    -- and the kiosks would wait for the audit to post today's rows.
    SET SESSION tx_isolation = 'READ-COMMITTED';

    -- Each kiosk row as one side of a movement between two accounts. Its amount is its effect
    -- on its account, so a "14" row that adds money is a negative debit and finds no partner.
    -- A day more on either side lets a posting written across midnight find its partner.
    CREATE OR REPLACE TEMPORARY TABLE tmp_audit_mutasi (
        trans_id         VARCHAR(20) NOT NULL,
        tanggal          DATE        NOT NULL,
        kode             CHAR(2)     NOT NULL,
        rekening_debit   VARCHAR(20) NOT NULL,
        rekening_kredit  VARCHAR(20) NOT NULL,
        jumlah           BIGINT      NOT NULL,
        kuitansi         VARCHAR(20) NULL,
        penulis          VARCHAR(400) NULL,
        waktu            DATETIME    NULL,
        kiosk_status     TINYINT     NULL,
        kiosk_alias      VARCHAR(60) NULL,
        KEY (kuitansi)
    ) ENGINE=Aria;
    INSERT INTO tmp_audit_mutasi
    SELECT trans_id, trans_tanggal, trans_kode,
           IF(trans_kode = '15', trans_ob_rekening, trans_rekening),
           IF(trans_kode = '15', trans_rekening, trans_ob_rekening),
           IF(trans_kode = '15', 1, -1) * (trans_jumlah_masuk - trans_jumlah_keluar),
           trans_kuitansi, trans_reg_user, trans_reg_time,
           -- Status and alias are judged only on the kiosk's user's rows.
           IF(oleh_kiosk, trans_status, NULL), IF(oleh_kiosk, trans_reg_alias, NULL)
      FROM (SELECT trans_id, trans_tanggal, trans_kode, trans_rekening, trans_ob_rekening,
                   trans_jumlah_masuk, trans_jumlah_keluar, trans_kuitansi, trans_reg_user,
                   trans_reg_time, trans_status, trans_reg_alias,
                   EXISTS (SELECT 1 FROM data_kiosk_akun
                            WHERE akun_nama = SUBSTRING_INDEX(t.trans_reg_user, '@', 1))
                       AS oleh_kiosk
              FROM data_tabungan_trans t
             WHERE trans_tanggal BETWEEN v_dari - INTERVAL 1 DAY AND v_sampai + INTERVAL 1 DAY
                OR trans_tanggal > CURDATE()) t
     WHERE trans_status IN (0, 1)
       AND (oleh_kiosk OR trans_reg_alias LIKE 'KLD|%' OR trans_id LIKE 'KLD%' OR trans_status = 0)
       AND (p_rekening IS NULL OR trans_rekening = p_rekening OR trans_ob_rekening = p_rekening);

    -- Fees and shop orders give their credits their own sequence ids: debits and credits are
    -- paired by counting them.
    CREATE OR REPLACE TEMPORARY TABLE tmp_audit_pasangan (
        tanggal          DATE        NOT NULL,
        rekening_debit   VARCHAR(20) NOT NULL,
        rekening_kredit  VARCHAR(20) NOT NULL,
        jumlah           BIGINT      NOT NULL,
        lebih            INT         NOT NULL,
        pertama          VARCHAR(20) NOT NULL,
        terakhir         VARCHAR(20) NOT NULL,
        waktu            DATETIME    NULL,
        penulis          VARCHAR(400) NULL
    ) ENGINE=Aria;
    INSERT INTO tmp_audit_pasangan
    SELECT tanggal, rekening_debit, rekening_kredit, jumlah,
           SUM(kode = '14') - SUM(kode = '15'), MIN(trans_id), MAX(trans_id), MAX(waktu), penulis
      FROM tmp_audit_mutasi
     WHERE kode IN ('14', '15')
     GROUP BY tanggal, rekening_debit, rekening_kredit, jumlah, penulis
    HAVING SUM(kode = '14') <> SUM(kode = '15');
    -- A debit left over on one day and a credit left over on the next are one posting written
    -- across midnight (the debit is always written first).
    CREATE OR REPLACE TEMPORARY TABLE tmp_audit_malam ENGINE=Aria
    SELECT d.tanggal, d.rekening_debit, d.rekening_kredit, d.jumlah, d.penulis,
           LEAST(d.lebih, -k.lebih) AS banyak
      FROM tmp_audit_pasangan d
      JOIN tmp_audit_pasangan k
        ON k.rekening_debit = d.rekening_debit AND k.rekening_kredit = d.rekening_kredit
       AND k.jumlah = d.jumlah AND k.tanggal = d.tanggal + INTERVAL 1 DAY
       AND k.penulis <=> d.penulis
     WHERE d.lebih > 0 AND k.lebih < 0;
    UPDATE tmp_audit_pasangan p
      JOIN tmp_audit_malam m
        ON m.rekening_debit = p.rekening_debit AND m.rekening_kredit = p.rekening_kredit
       AND m.jumlah = p.jumlah AND p.tanggal IN (m.tanggal, m.tanggal + INTERVAL 1 DAY)
       AND m.penulis <=> p.penulis
       SET p.lebih = p.lebih - SIGN(p.lebih) * m.banyak;

    CREATE OR REPLACE TEMPORARY TABLE tmp_audit_hasil (
        jenis            VARCHAR(30)  NOT NULL,
        tanggal          DATE         NOT NULL,
        rekening_debit   VARCHAR(20)  NULL,
        rekening_kredit  VARCHAR(20)  NULL,
        jumlah           BIGINT       NOT NULL,
        banyak           INT          NOT NULL,
        trans_id         VARCHAR(40)  NULL,
        trans_id_akhir   VARCHAR(40)  NULL,
        keterangan       VARCHAR(200) NOT NULL DEFAULT '',
        penulis          VARCHAR(400) NULL,
        waktu            DATETIME     NULL
    ) ENGINE=Aria;
    INSERT INTO tmp_audit_hasil (jenis, tanggal, rekening_debit, rekening_kredit, jumlah, banyak,
                                 trans_id, trans_id_akhir, penulis, waktu)
    SELECT IF(lebih > 0, 'DEBIT_TANPA_KREDIT', 'KREDIT_TANPA_DEBIT'), tanggal, rekening_debit,
           rekening_kredit, jumlah, ABS(lebih), pertama, NULLIF(terakhir, pertama), penulis,
           waktu
      FROM tmp_audit_pasangan
     WHERE lebih <> 0 AND (tanggal BETWEEN v_dari AND v_sampai OR tanggal > CURDATE());

    -- The kiosk's ids: a daily sequence "KLD" + yyyymmdd + 0001..9999 on any row; a random
    -- "KLD" + yymmdd + 100000..999999 on a debit, with "#" or "##" after it on a credit; shop
    -- order codes "ODR" + yymmdd + 001..999. The date is the kiosk's clock's, a day off the
    -- server's at most; the server writes today's date into every row.
    INSERT INTO tmp_audit_hasil
    SELECT 'FORMAT_TIDAK_SESUAI', tanggal, rekening_debit, rekening_kredit, jumlah, 1, trans_id,
           NULL,
           CONCAT_WS(', ', IF(BINARY kode IN ('14', '15'), NULL, 'trans_kode'),
                     IF(id_sah, NULL, 'trans_id'), IF(kuitansi_sah, NULL, 'trans_kuitansi'),
                     IF(tanggal > CURDATE(), 'trans_tanggal', NULL),
                     IF(kiosk_status <> 0, 'trans_status', NULL),
                     IF(BINARY kiosk_alias NOT LIKE 'KLD|%', 'trans_reg_alias', NULL)),
           penulis, waktu
      FROM (SELECT h.*,
                   (BINARY trans_id REGEXP '^KLD[0-9]{12}$' AND RIGHT(trans_id, 4) <> '0000'
                    AND BINARY SUBSTRING(trans_id, 4, 8) IN (kemarin, hari, besok))
                   OR (BINARY trans_id REGEXP IF(kode = '14', '^KLD[0-9]{6}[1-9][0-9]{5}$',
                                                '^KLD[0-9]{6}[1-9][0-9]{5}#{1,2}$')
                       AND BINARY SUBSTRING(trans_id, 4, 6)
                           IN (RIGHT(kemarin, 6), RIGHT(hari, 6), RIGHT(besok, 6))) AS id_sah,
                   COALESCE(kuitansi, '') = ''
                   OR (BINARY kuitansi REGEXP '^ODR[0-9]{9}$' AND RIGHT(kuitansi, 3) <> '000'
                       AND BINARY SUBSTRING(kuitansi, 4, 6)
                           IN (RIGHT(kemarin, 6), RIGHT(hari, 6), RIGHT(besok, 6)))
                       AS kuitansi_sah
              FROM (SELECT m.*, DATE_FORMAT(tanggal - INTERVAL 1 DAY, '%Y%m%d') AS kemarin,
                           DATE_FORMAT(tanggal, '%Y%m%d') AS hari,
                           DATE_FORMAT(tanggal + INTERVAL 1 DAY, '%Y%m%d') AS besok
                      FROM tmp_audit_mutasi m
                     WHERE tanggal BETWEEN v_dari AND v_sampai OR tanggal > CURDATE()) h) f
     WHERE NOT BINARY kode IN ('14', '15') OR NOT id_sah OR NOT kuitansi_sah
        OR tanggal > CURDATE() OR kiosk_status <> 0 OR BINARY kiosk_alias NOT LIKE 'KLD|%';

    -- Accounts whose running total the minimum balance no longer covers.
    INSERT INTO tmp_audit_hasil (jenis, tanggal, rekening_debit, jumlah, banyak)
    SELECT 'SALDO_DI_BAWAH_MINIMUM', CURDATE(), m.tab_rekening,
           m.tab_saldo_minimum - s.saldo_buku, 1
      FROM data_tabungan_saldo s
      JOIN data_tabungan_master m ON m.tab_rekening = s.saldo_rekening
     WHERE s.saldo_buku < m.tab_saldo_minimum
       AND (p_rekening IS NULL OR m.tab_rekening = p_rekening);

    -- Shop orders of the period that no kiosk debit paid.
    CREATE OR REPLACE TEMPORARY TABLE tmp_audit_pesanan ENGINE=Aria
    SELECT o.order_kode, o.order_rekening, DATE(o.order_tanggal) AS tanggal, o.order_harga,
           o.order_reg_user, o.order_tanggal,
           ROW_NUMBER() OVER (PARTITION BY o.order_rekening, DATE(o.order_tanggal), o.order_harga
                              ORDER BY o.order_kode) AS urutan
      FROM `aio-kirna`.data_barang_order o
     WHERE o.order_tanggal >= v_dari AND o.order_tanggal < v_sampai + INTERVAL 1 DAY
       AND (p_rekening IS NULL OR o.order_rekening = p_rekening)
       AND NOT EXISTS (SELECT 1 FROM tmp_audit_mutasi t
                        WHERE t.kuitansi = o.order_kode AND t.kode = '14'
                          AND t.rekening_debit = o.order_rekening);

    -- The kiosk's copies and log, in the schema named.
    SET v_salinan = CONCAT(
        'INSERT INTO tmp_audit_hasil ',
        '(jenis, tanggal, rekening_debit, jumlah, banyak, trans_id, keterangan, penulis, waktu) ',
        'SELECT ''SALINAN_TANPA_MUTASI'', c.trans_tanggal, c.trans_rekening, c.trans_jumlah, 1, ',
        'c.trans_id, ?, c.trans_reg_user, c.trans_reg_time FROM @TABEL@ c ',
        'WHERE c.trans_tanggal BETWEEN ? AND ? AND (? IS NULL OR c.trans_rekening = ?) ',
        'AND NOT EXISTS (SELECT 1 FROM `cashless-adm`.data_tabungan_trans t WHERE t.trans_id = ',
        'IF(c.trans_id LIKE ''%#'', LEFT(c.trans_id, CHAR_LENGTH(c.trans_id) - 1), c.trans_id) ',
        'AND t.trans_kode = ''14'' AND t.trans_rekening = c.trans_rekening ',
        'AND t.trans_jumlah_keluar = c.trans_jumlah)');
    SET v_tabel = '`aio-kirna`.data_transaksi';
    PREPARE s_salinan FROM REPLACE(v_salinan, '@TABEL@', v_tabel);
    EXECUTE s_salinan USING v_tabel, v_dari, v_sampai, p_rekening, p_rekening;
    DEALLOCATE PREPARE s_salinan;
    IF p_skema_kiosk IS NOT NULL THEN
        SET v_tabel = CONCAT(v_skema, '.data_transaksi');
        PREPARE s_salinan FROM REPLACE(v_salinan, '@TABEL@', v_tabel);
        EXECUTE s_salinan USING v_tabel, v_dari, v_sampai, p_rekening, p_rekening;
        DEALLOCATE PREPARE s_salinan;
        -- A debit copied twice: once under its id, once with the product payment's "#".
        PREPARE s_kiosk FROM REPLACE(CONCAT(
            'INSERT INTO tmp_audit_hasil (jenis, tanggal, rekening_debit, jumlah, banyak, ',
            'trans_id, trans_id_akhir, penulis, waktu) ',
            'SELECT ''SALINAN_GANDA'', c.trans_tanggal, c.trans_rekening, c.trans_jumlah, 2, ',
            'c.trans_id, d.trans_id, d.trans_reg_user, d.trans_reg_time FROM @SKEMA@.data_transaksi c ',
            'JOIN @SKEMA@.data_transaksi d ON d.trans_id = CONCAT(c.trans_id, ''#'') ',
            'WHERE c.trans_tanggal BETWEEN ? AND ? AND (? IS NULL OR c.trans_rekening = ?)'),
            '@SKEMA@', v_skema);
        EXECUTE s_kiosk USING v_dari, v_sampai, p_rekening, p_rekening;
        -- A success logged for a posting the ledger does not hold. A posting settled after its
        -- visit is logged under its id only when that is a ledger id.
        PREPARE s_kiosk FROM REPLACE(CONCAT(
            'INSERT INTO tmp_audit_hasil (jenis, tanggal, rekening_debit, jumlah, banyak, ',
            'trans_id, keterangan, waktu) ',
            'SELECT ''LOG_TANPA_MUTASI'', l.log_tanggal, l.log_rekening, ',
            'COALESCE(l.log_nominal, 0), 1, l.log_transid, l.log_transaksi, ',
            'TIMESTAMP(l.log_tanggal, l.log_time) FROM @SKEMA@.log_transaksi l ',
            'WHERE l.log_tanggal BETWEEN ? AND ? AND (? IS NULL OR l.log_rekening = ?) ',
            'AND l.log_keterangan = ''TRANSAKSI BERHASIL'' ',
            'AND NOT (l.log_transaksi LIKE ''HASIL TRANSAKSI TERTUNDA%'' ',
            '         AND COALESCE(l.log_transid, '''') NOT LIKE ''KLD%'') ',
            'AND NOT EXISTS (SELECT 1 FROM `cashless-adm`.data_tabungan_trans t ',
            '                 WHERE t.trans_id = l.log_transid)'), '@SKEMA@', v_skema);
        EXECUTE s_kiosk USING v_dari, v_sampai, p_rekening, p_rekening;
        -- Unpaid orders beyond the shop order's logged refusals of the same account, day and
        -- amount (the balance refused under the lock; the quota refused under the lock).
        PREPARE s_kiosk FROM REPLACE(CONCAT(
            'INSERT INTO tmp_audit_hasil (jenis, tanggal, rekening_debit, jumlah, banyak, ',
            'trans_id, penulis, waktu) ',
            'SELECT ''PESANAN_TANPA_BAYAR'', o.tanggal, o.order_rekening, o.order_harga, 1, ',
            'o.order_kode, o.order_reg_user, o.order_tanggal FROM tmp_audit_pesanan o ',
            'WHERE o.urutan > (SELECT COUNT(*) FROM @SKEMA@.log_transaksi l ',
            '  WHERE l.log_rekening = o.order_rekening AND l.log_tanggal = o.tanggal ',
            '    AND l.log_nominal = o.order_harga AND l.log_transaksi = ''ORDER KIRNA'' ',
            '    AND l.log_keterangan IN (''SALDO TIDAK MENCUKUPI!'', ',
            '        ''Total Harga melebihi limit belanja/jajanan!''))'), '@SKEMA@', v_skema);
        EXECUTE s_kiosk;
        DEALLOCATE PREPARE s_kiosk;
    ELSE
        INSERT INTO tmp_audit_hasil (jenis, tanggal, rekening_debit, jumlah, banyak, trans_id,
                                     penulis, waktu)
        SELECT 'PESANAN_TANPA_BAYAR', tanggal, order_rekening, order_harga, 1, order_kode,
               order_reg_user, order_tanggal
          FROM tmp_audit_pesanan;
    END IF;

    -- Writers that changed more than 3 accounts' cards or PINs in one minute.
    INSERT INTO tmp_audit_hasil (jenis, tanggal, jumlah, banyak, keterangan, penulis, waktu)
    SELECT 'UBAH_KARTU_PIN_BANYAK', DATE(menit), 0, COUNT(DISTINCT ubah_rekening),
           'rekening dengan kartu atau PIN diubah dalam satu menit', ubah_user, MAX(ubah_waktu)
      FROM (SELECT u.*, DATE_FORMAT(ubah_waktu, '%Y-%m-%d %H:%i:00') AS menit
              FROM data_tabungan_ubah_kiosk u
             WHERE ubah_waktu >= v_dari AND ubah_waktu < v_sampai + INTERVAL 1 DAY
               AND (p_rekening IS NULL OR ubah_rekening = p_rekening)) u
     GROUP BY ubah_user, menit
    HAVING COUNT(DISTINCT ubah_rekening) > 3;

    -- Sessions the watchdog ended (41-kiosk-accounts.sql, loaded with this file); they name no
    -- account, so a look at one account leaves them out.
    IF p_rekening IS NULL THEN
        INSERT INTO tmp_audit_hasil (jenis, tanggal, jumlah, banyak, keterangan, penulis, waktu)
        SELECT 'SESI_DIAKHIRI', DATE(sesi_waktu), 0, 1,
               CONCAT(sesi_alasan, ' terbuka ', sesi_detik, ' detik, server ', sesi_server),
               sesi_penulis, sesi_waktu
          FROM data_kiosk_sesi_diakhiri
         WHERE sesi_waktu >= v_dari AND sesi_waktu < v_sampai + INTERVAL 1 DAY;
    END IF;

    SET SESSION tx_isolation = v_isolasi;
    SELECT jenis, tanggal, rekening_debit, rekening_kredit, jumlah, banyak, trans_id,
           trans_id_akhir, keterangan, penulis, waktu
      FROM tmp_audit_hasil
     ORDER BY tanggal, jenis, rekening_debit, rekening_kredit, trans_id;
    DROP TEMPORARY TABLE tmp_audit_mutasi, tmp_audit_pasangan, tmp_audit_malam, tmp_audit_hasil,
        tmp_audit_pesanan;
END;;

-- Every change of a card or a PIN by a kiosk's account between p_dari and p_sampai (NULL: no
-- bound): the account, the column, the card before and after, the writer, the time, and
-- `banyak_semenit`, how many accounts that writer changed in that minute (more than 3 is
-- flagged by AuditTransaksiKiosk).
CREATE OR REPLACE PROCEDURE AuditKartuPinKiosk(IN p_dari DATE, IN p_sampai DATE)
    READS SQL DATA SQL SECURITY INVOKER
BEGIN
    SELECT u.ubah_rekening, u.ubah_kolom, u.ubah_rfid_lama, u.ubah_rfid_baru, u.ubah_user,
           u.ubah_waktu,
           (SELECT COUNT(DISTINCT v.ubah_rekening) FROM data_tabungan_ubah_kiosk v
             WHERE v.ubah_user = u.ubah_user
               AND DATE_FORMAT(v.ubah_waktu, '%Y-%m-%d %H:%i') =
                   DATE_FORMAT(u.ubah_waktu, '%Y-%m-%d %H:%i')) AS banyak_semenit
      FROM data_tabungan_ubah_kiosk u
     WHERE u.ubah_waktu >= COALESCE(p_dari, '1000-01-02')
       AND u.ubah_waktu < COALESCE(p_sampai, '9999-12-30') + INTERVAL 1 DAY
     ORDER BY u.ubah_waktu, u.ubah_id;
END;;

DELIMITER ;
