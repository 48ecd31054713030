-- Demo data: a small boarding school with twenty students and the institution accounts that
-- receive their payments. Dates are relative to the day the data is loaded.

USE `cashless-adm`;

INSERT INTO data_nasabah (nasabah_id, nasabah_nama, nasabah_alamat, nasabah_kelas) VALUES
('240100001', 'Ahmad Fauzi',          'Jl. Merdeka No. 12, Bandung',        '7A'),
('240100002', 'Siti Aminah',          'Jl. Cempaka No. 3, Garut',           '7A'),
('240100003', 'Muhammad Ma''ruf',     'Kp. Sukamaju RT 02/05, Tasikmalaya', '7B'),
('240100004', 'Imam Syafi''i',        'Jl. Pesantren No. 8, Cianjur',       '8A'),
('240100005', 'Nur Aisyah',           'Jl. Melati No. 21, Sumedang',        '8A'),
('240100006', 'Rizky Ramadhan',       'Perum Griya Asri B-4, Bekasi',       '8B'),
('240100007', 'Dewi Lestari',         'Jl. Kenanga No. 7, Subang',          '9A'),
('240100008', 'Fajar Nugroho',        'Jl. Diponegoro No. 45, Cirebon',     '9A'),
('240100009', 'Annisa Rahma',         'Jl. Anggrek No. 2, Purwakarta',      '9B'),
('240100010', 'Budi Santoso',         'Jl. Sudirman No. 100, Bogor',        '10 IPA 1'),
('240100011', 'Zahra Khairunnisa',    'Jl. Mawar No. 9, Depok',             '10 IPA 1'),
('240100012', 'Hasan Basri',          'Jl. Veteran No. 17, Karawang',       '10 IPS 1'),
('240100013', 'Fatimah Azzahra',      'Jl. Flamboyan No. 5, Sukabumi',      '11 IPA 1'),
('240100014', 'Yusuf Habibie',        'Jl. Pahlawan No. 30, Majalengka',    '11 IPS 1'),
('240100015', 'Khadijah Putri',       'Jl. Dahlia No. 11, Kuningan',        '12 IPA 1'),
('240100016', 'Abdul Qodir Jailani',  'Jl. Masjid No. 1, Indramayu',        '12 IPA 1'),
('240100017', 'Rahmat Hidayat',       'Jl. Raya Barat No. 88, Serang',      '12 IPS 1'),
('240100018', 'Maryam Ulfa',          'Jl. Kamboja No. 14, Cimahi',         '7B'),
('240100019', 'Ilham Maulana',        'Jl. Teratai No. 6, Banjar',          '8B'),
('240100020', 'Laila Nur''aini',      'Jl. Seroja No. 19, Pangandaran',     '9B'),
('LBG000001', 'Bendahara SPP',        'Kantor Pondok',                      ''),
('LBG000002', 'Dapur Umum',           'Kantor Pondok',                      ''),
('LBG000003', 'Kantin Pondok',        'Kantor Pondok',                      ''),
('LBG000004', 'Laundry Pondok',       'Kantor Pondok',                      ''),
('LBG000010', 'Infaq Pondok',         'Kantor Pondok',                      ''),
('LBG000011', 'Wakaf Pondok',         'Kantor Pondok',                      ''),
('LBG000099', 'Koperasi KIRNA',       'Kantor Pondok',                      '');

-- Students: account, card, holder, limits, status, PIN, registration id.
-- 010100000015 is not active; 010100000016 was blocked (card prefixed with "#", reset PIN).
INSERT INTO data_tabungan_master
    (tab_rekening, tab_rfid, tab_nasabah, tab_jenis, tab_saldo_minimum, tab_limit_jajan,
     tab_limit_transfer, tab_status, tab_pin, tab_alternatif) VALUES
('010100000001', '0004417001', '240100001', 1,     0,  50000, 100000, 1, '123456', 'SPD2024001'),
('010100000002', '0004417002', '240100002', 1,     0,  50000, 100000, 1, '234567', 'SPD2024002'),
('010100000003', '0004417003', '240100003', 1,  5000,  40000,  50000, 1, '345678', 'SPD2024003'),
('010100000004', '0004417004', '240100004', 1,     0,  40000,  50000, 1, '456789', 'SPD2024004'),
('010100000005', '0004417005', '240100005', 1,     0,  30000,  50000, 1, '567890', 'SPD2024005'),
('010100000006', '0004417006', '240100006', 1, 10000,  50000, 100000, 1, '111111', 'SPD2024006'),
('010100000007', '0004417007', '240100007', 1,     0,  50000, 100000, 1, '222222', 'SPD2024007'),
('010100000008', '0004417008', '240100008', 1,     0,  25000,  25000, 1, '333333', 'SPD2024008'),
('010100000009', '0004417009', '240100009', 1,     0,  50000, 100000, 1, '444444', 'SPD2024009'),
('010100000010', '0004417010', '240100010', 1,     0, 100000, 200000, 1, '555555', 'SPD2024010'),
('010100000011', '0004417011', '240100011', 1,     0, 100000, 200000, 1, '666666', 'SPD2024011'),
('010100000012', '0004417012', '240100012', 1,     0,  75000, 150000, 1, '777777', 'SPD2024012'),
('010100000013', '0004417013', '240100013', 1,     0,  75000, 150000, 1, '888888', 'SPD2024013'),
('010100000014', '0004417014', '240100014', 1,     0,  75000, 150000, 1, '999999', 'SPD2024014'),
('010100000015', '0004417015', '240100015', 1,     0,  75000, 150000, 0, '121212', 'SPD2024015'),
('010100000016', '#0004417016','240100016', 1,     0,  75000, 150000, 1, '582931', 'SPD2024016'),
('010100000017', '0004417017', '240100017', 1,     0,  75000, 150000, 1, '131313', 'SPD2024017'),
('010100000018', '0004417018', '240100018', 1,     0,  50000, 100000, 1, '141414', 'SPD2024018'),
('010100000019', '0004417019', '240100019', 1,     0,  50000, 100000, 1, '151515', 'SPD2024019'),
('010100000020', '0004417020', '240100020', 1,     0,  50000, 100000, 1, '161616', 'SPD2024020'),
('020100000001', '',           'LBG000001', 2,     0,      0,      0, 1, '',       ''),
('020100000002', '',           'LBG000002', 2,     0,      0,      0, 1, '',       ''),
('020100000003', '',           'LBG000003', 2,     0,      0,      0, 1, '',       ''),
('020100000004', '',           'LBG000004', 2,     0,      0,      0, 1, '',       ''),
('020100000010', '',           'LBG000010', 2,     0,      0,      0, 1, '',       ''),
('020100000011', '',           'LBG000011', 2,     0,      0,      0, 1, '',       ''),
('020100000099', '',           'LBG000099', 2,     0,      0,      0, 1, '',       '');

INSERT INTO data_kalinda_produk
    (kalinda_kode, kalinda_nama, kalinda_rekening, kalinda_nominal, kalinda_otomatis, kalinda_status) VALUES
('001', 'Uang Sekolah (SPP)', '020100000001',     0, '0', 1),
('002', 'Uang Makan',         '020100000002',     0, '0', 1),
('003', 'Jajan Kantin',       '020100000003',     0, '0', 1),
('004', 'Laundry Bulanan',    '020100000004', 75000, '1', 1),
('005', 'Potong Rambut',      '020100000003', 10000, '1', 1),
('006', 'Kartu Ujian',        '020100000001', 15000, '1', 1),
('007', 'Fotokopi',           '020100000003',   500, '1', 0),
('010', 'Infaq',              '020100000010',     0, '0', 1),
('011', 'Wakaf',              '020100000011',     0, '0', 1);

INSERT INTO app_info (info_key, info_value) VALUES
('TanggalMigrasi', DATE_FORMAT(CURDATE() - INTERVAL 180 DAY, '%Y-%m-%d')),
('NamaLembaga', 'PONDOK PESANTREN KALINDA');

-- Ledger: deposits (confirmed by the office) and some earlier spending.
INSERT INTO data_tabungan_trans
    (trans_id, trans_tanggal, trans_kode, trans_kantor, trans_rekening, trans_nasabah, trans_channel,
     trans_jumlah_masuk, trans_jumlah_keluar, trans_ob_jenis, trans_ob_rekening, trans_uraian,
     trans_status, trans_reg_date, trans_reg_time, trans_reg_alias) VALUES
('ADM0000000001', CURDATE() - INTERVAL 200 DAY, '15', '01', '010100000001', '240100001', 'TELLER', 100000, 0, 0, '', 'Setoran awal (sebelum migrasi)', 1, CURDATE() - INTERVAL 200 DAY, NOW() - INTERVAL 200 DAY, 'ADM|teller'),
('ADM0000000002', CURDATE() - INTERVAL 30 DAY,  '15', '01', '010100000001', '240100001', 'TELLER', 250000, 0, 0, '', 'Setoran tunai', 1, CURDATE() - INTERVAL 30 DAY, NOW() - INTERVAL 30 DAY, 'ADM|teller'),
('ADM0000000003', CURDATE() - INTERVAL 20 DAY,  '14', '01', '010100000001', '240100001', 'KLD01',  0, 50000, 1, '020100000003', 'Jajan Kantin', 1, CURDATE() - INTERVAL 20 DAY, NOW() - INTERVAL 20 DAY, 'KLD|'),
('ADM0000000004', CURDATE() - INTERVAL 20 DAY,  '15', '01', '020100000003', '240100001', 'KLD01',  50000, 0, 1, '010100000001', 'Jajan Kantin', 1, CURDATE() - INTERVAL 20 DAY, NOW() - INTERVAL 20 DAY, 'KLD|'),
('ADM0000000005', CURDATE() - INTERVAL 10 DAY,  '15', '01', '010100000001', '240100001', 'TELLER',  20000, 0, 0, '', 'Kiriman orang tua', 1, CURDATE() - INTERVAL 10 DAY, NOW() - INTERVAL 10 DAY, 'ADM|teller'),
('ADM0000000006', CURDATE() - INTERVAL 40 DAY,  '15', '01', '010100000002', '240100002', 'TELLER', 150000, 0, 0, '', 'Setoran tunai', 1, CURDATE() - INTERVAL 40 DAY, NOW() - INTERVAL 40 DAY, 'ADM|teller'),
('ADM0000000007', CURDATE() - INTERVAL 40 DAY,  '15', '01', '010100000003', '240100003', 'TELLER', 120000, 0, 0, '', 'Setoran tunai', 1, CURDATE() - INTERVAL 40 DAY, NOW() - INTERVAL 40 DAY, 'ADM|teller'),
('ADM0000000008', CURDATE() - INTERVAL 40 DAY,  '15', '01', '010100000004', '240100004', 'TELLER', 200000, 0, 0, '', 'Setoran tunai', 1, CURDATE() - INTERVAL 40 DAY, NOW() - INTERVAL 40 DAY, 'ADM|teller'),
('ADM0000000009', CURDATE() - INTERVAL 40 DAY,  '15', '01', '010100000005', '240100005', 'TELLER',  15000, 0, 0, '', 'Setoran tunai', 1, CURDATE() - INTERVAL 40 DAY, NOW() - INTERVAL 40 DAY, 'ADM|teller'),
('ADM0000000010', CURDATE() - INTERVAL 40 DAY,  '15', '01', '010100000006', '240100006', 'TELLER', 300000, 0, 0, '', 'Setoran tunai', 1, CURDATE() - INTERVAL 40 DAY, NOW() - INTERVAL 40 DAY, 'ADM|teller'),
('ADM0000000011', CURDATE() - INTERVAL 40 DAY,  '15', '01', '010100000007', '240100007', 'TELLER',  80000, 0, 0, '', 'Setoran tunai', 1, CURDATE() - INTERVAL 40 DAY, NOW() - INTERVAL 40 DAY, 'ADM|teller'),
('ADM0000000012', CURDATE() - INTERVAL 40 DAY,  '15', '01', '010100000008', '240100008', 'TELLER', 500000, 0, 0, '', 'Setoran tunai', 1, CURDATE() - INTERVAL 40 DAY, NOW() - INTERVAL 40 DAY, 'ADM|teller'),
('ADM0000000013', CURDATE() - INTERVAL 40 DAY,  '15', '01', '010100000009', '240100009', 'TELLER',  60000, 0, 0, '', 'Setoran tunai', 1, CURDATE() - INTERVAL 40 DAY, NOW() - INTERVAL 40 DAY, 'ADM|teller'),
('ADM0000000014', CURDATE() - INTERVAL 40 DAY,  '15', '01', '010100000010', '240100010', 'TELLER', 1250000, 0, 0, '', 'Setoran tunai', 1, CURDATE() - INTERVAL 40 DAY, NOW() - INTERVAL 40 DAY, 'ADM|teller'),
('ADM0000000015', CURDATE() - INTERVAL 40 DAY,  '15', '01', '010100000011', '240100011', 'TELLER', 175000, 0, 0, '', 'Setoran tunai', 1, CURDATE() - INTERVAL 40 DAY, NOW() - INTERVAL 40 DAY, 'ADM|teller'),
('ADM0000000016', CURDATE() - INTERVAL 40 DAY,  '15', '01', '010100000012', '240100012', 'TELLER',  90000, 0, 0, '', 'Setoran tunai', 1, CURDATE() - INTERVAL 40 DAY, NOW() - INTERVAL 40 DAY, 'ADM|teller'),
('ADM0000000017', CURDATE() - INTERVAL 40 DAY,  '15', '01', '010100000013', '240100013', 'TELLER', 410000, 0, 0, '', 'Setoran tunai', 1, CURDATE() - INTERVAL 40 DAY, NOW() - INTERVAL 40 DAY, 'ADM|teller'),
('ADM0000000018', CURDATE() - INTERVAL 40 DAY,  '15', '01', '010100000014', '240100014', 'TELLER',  45000, 0, 0, '', 'Setoran tunai', 1, CURDATE() - INTERVAL 40 DAY, NOW() - INTERVAL 40 DAY, 'ADM|teller'),
('ADM0000000019', CURDATE() - INTERVAL 40 DAY,  '15', '01', '010100000015', '240100015', 'TELLER',  70000, 0, 0, '', 'Setoran tunai', 1, CURDATE() - INTERVAL 40 DAY, NOW() - INTERVAL 40 DAY, 'ADM|teller'),
('ADM0000000020', CURDATE() - INTERVAL 40 DAY,  '15', '01', '010100000016', '240100016', 'TELLER',  55000, 0, 0, '', 'Setoran tunai', 1, CURDATE() - INTERVAL 40 DAY, NOW() - INTERVAL 40 DAY, 'ADM|teller'),
('ADM0000000021', CURDATE() - INTERVAL 40 DAY,  '15', '01', '010100000017', '240100017', 'TELLER', 135000, 0, 0, '', 'Setoran tunai', 1, CURDATE() - INTERVAL 40 DAY, NOW() - INTERVAL 40 DAY, 'ADM|teller'),
('ADM0000000022', CURDATE() - INTERVAL 40 DAY,  '15', '01', '010100000018', '240100018', 'TELLER', 100000, 0, 0, '', 'Setoran tunai', 1, CURDATE() - INTERVAL 40 DAY, NOW() - INTERVAL 40 DAY, 'ADM|teller'),
('ADM0000000023', CURDATE() - INTERVAL 40 DAY,  '15', '01', '010100000019', '240100019', 'TELLER',  25000, 0, 0, '', 'Setoran tunai', 1, CURDATE() - INTERVAL 40 DAY, NOW() - INTERVAL 40 DAY, 'ADM|teller'),
('ADM0000000024', CURDATE() - INTERVAL 40 DAY,  '15', '01', '010100000020', '240100020', 'TELLER', 220000, 0, 0, '', 'Setoran tunai', 1, CURDATE() - INTERVAL 40 DAY, NOW() - INTERVAL 40 DAY, 'ADM|teller'),
-- Fees paid at the office: SPP and meals of Ahmad, Siti and Budi.
('ADM0000000025', CURDATE() - INTERVAL 25 DAY,  '14', '01', '010100000010', '240100010', 'TELLER', 0, 700000, 1, '020100000001', 'Uang Sekolah (SPP)', 1, CURDATE() - INTERVAL 25 DAY, NOW() - INTERVAL 25 DAY, 'ADM|teller'),
('ADM0000000026', CURDATE() - INTERVAL 25 DAY,  '15', '01', '020100000001', '240100010', 'TELLER', 700000, 0, 1, '010100000010', 'Uang Sekolah (SPP)', 1, CURDATE() - INTERVAL 25 DAY, NOW() - INTERVAL 25 DAY, 'ADM|teller'),
('ADM0000000027', CURDATE() - INTERVAL 25 DAY,  '14', '01', '010100000010', '240100010', 'TELLER', 0, 300000, 1, '020100000002', 'Uang Makan', 1, CURDATE() - INTERVAL 25 DAY, NOW() - INTERVAL 25 DAY, 'ADM|teller'),
('ADM0000000028', CURDATE() - INTERVAL 25 DAY,  '15', '01', '020100000002', '240100010', 'TELLER', 300000, 0, 1, '010100000010', 'Uang Makan', 1, CURDATE() - INTERVAL 25 DAY, NOW() - INTERVAL 25 DAY, 'ADM|teller');

-- Opening balances of the institution accounts.
INSERT INTO data_tabungan_trans
    (trans_id, trans_tanggal, trans_kode, trans_kantor, trans_rekening, trans_nasabah, trans_channel,
     trans_jumlah_masuk, trans_uraian, trans_status, trans_reg_date, trans_reg_time, trans_reg_alias)
SELECT CONCAT('ADMOPEN', RIGHT(tab_rekening, 6)), CURDATE() - INTERVAL 60 DAY, '15', '01', tab_rekening,
       tab_nasabah, 'TELLER', 1000000, 'Saldo awal', 1, CURDATE() - INTERVAL 60 DAY,
       NOW() - INTERVAL 60 DAY, 'ADM|teller'
  FROM data_tabungan_master WHERE tab_jenis = 2;

UPDATE data_tabungan_master m
   SET m.tab_saldo_efektif = (SELECT COALESCE(SUM(t.trans_jumlah_masuk) - SUM(t.trans_jumlah_keluar), 0)
                                FROM data_tabungan_trans t
                               WHERE t.trans_rekening = m.tab_rekening AND t.trans_status IN (0, 1));

-- Monthly fees from the start of the school year: five months back.
INSERT INTO data_spp_setting (spp_tabungan, spp_mulai, spp_biaya_spp, spp_biaya_makan)
SELECT tab_rekening, DATE_SUB(CURDATE() - INTERVAL 4 MONTH, INTERVAL DAYOFMONTH(CURDATE()) - 1 DAY),
       350000, 300000
  FROM data_tabungan_master WHERE tab_jenis = 1;

CALL HitungSppMakan('010100000001');
CALL HitungSppMakan('010100000002');
CALL HitungSppMakan('010100000010');

USE `aio-kirna`;

INSERT INTO set_app (app_case, app_text) VALUES
('NamaToko', 'KIRNA'),
('NoRekening', '020100000099');

INSERT INTO data_barang_master (barang_kode, barang_nama, barang_harga) VALUES
('K001', 'Air Mineral 600ml', 3500),
('K002', 'Roti Coklat', 5000),
('K003', 'Mie Instan', 3500),
('K004', 'Sabun Mandi', 4500),
('K005', 'Pasta Gigi', 9000),
('K006', 'Buku Tulis', 4000),
('K007', 'Pulpen', 2500),
('K008', 'Susu UHT', 6000),
('K009', 'Biskuit', 2500),
('K010', 'Kertas: A4 1 rim', 55000),
('K011', 'Sampel Gratis', 0);

USE `@KIOSK_DB@`;

INSERT INTO set_app (app_case, app_text) VALUES
('AppName', 'KalindaApp'),
('Url', 'https://kalinda.invalid'),
('Version', '1.0'),
('Channel', 'KLD01'),
('NoRekening', ''),
('LembagaNama', 'PONDOK PESANTREN KALINDA'),
('LembagaAlamat', 'Jl. Pesantren No. 1, Bandung'),
('VersionReal', '1.0.1'),
('MutasiFontSize', '10'),
('SelfOrder', '1'),
('pinLogout', '246810');

INSERT INTO set_cetakan (cetakan_case, cetakan_text) VALUES
('StrukPanjangKertas', '32'),
('StrukTabKiri', '2'),
('StrukHeader1', 'PONDOK PESANTREN KALINDA'),
('StrukHeader2', 'Jl. Pesantren No. 1'),
('StrukHeader3', 'Bandung'),
('StrukHeader4', 'Telp. (022) 555-0100'),
('StrukFooterText', 'Terima kasih'),
('StrukTabBawah', '4');

-- The kiosk has no operator sign-in: its alias is the empty text, and this row is where the
-- kiosk's session numbers of the day are kept.
INSERT INTO data_pengguna_alias (user_alias, user_nama, user_session, user_last_login) VALUES
('', 'Kiosk', '', NULL);
