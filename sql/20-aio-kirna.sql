-- The school shop: catalogue, orders and the shop's copy of paid orders.
CREATE DATABASE IF NOT EXISTS `aio-kirna` CHARACTER SET utf8mb4 COLLATE utf8mb4_unicode_ci;
USE `aio-kirna`;

CREATE TABLE set_app (
    app_id    INT          NOT NULL AUTO_INCREMENT PRIMARY KEY,
    app_case  VARCHAR(50)  NOT NULL,
    app_text  VARCHAR(255) NOT NULL DEFAULT ''
) ENGINE=InnoDB;

CREATE TABLE data_barang_master (
    barang_kode   VARCHAR(10)  NOT NULL PRIMARY KEY,
    barang_nama   VARCHAR(100) NOT NULL,
    barang_harga  BIGINT       NOT NULL DEFAULT 0
) ENGINE=InnoDB;

CREATE TABLE data_barang_order (
    order_kode       VARCHAR(20)  NOT NULL PRIMARY KEY,
    order_tanggal    DATETIME     NOT NULL,
    order_rekening   VARCHAR(20)  NOT NULL,
    order_nama       VARCHAR(100) NOT NULL DEFAULT '',
    order_kelas      VARCHAR(30)  NOT NULL DEFAULT '',
    order_harga      BIGINT       NOT NULL DEFAULT 0,
    order_kirim      VARCHAR(10)  NOT NULL DEFAULT '',
    order_status     TINYINT      NOT NULL DEFAULT 1,
    order_reg_date   DATETIME     NULL,
    order_reg_alias  VARCHAR(50)  NOT NULL DEFAULT ''
) ENGINE=InnoDB;

CREATE TABLE data_barang_order_list (
    list_id           BIGINT       NOT NULL AUTO_INCREMENT PRIMARY KEY,
    list_order        VARCHAR(20)  NOT NULL,
    list_barang       VARCHAR(10)  NOT NULL,
    list_barang_nama  VARCHAR(100) NOT NULL DEFAULT '',
    list_harga        BIGINT       NOT NULL DEFAULT 0,
    list_qty          INT          NOT NULL DEFAULT 0,
    list_jumlah       BIGINT       NOT NULL DEFAULT 0,
    list_status       TINYINT      NOT NULL DEFAULT 1,
    list_reg_date     DATETIME     NULL,
    list_reg_alias    VARCHAR(50)  NOT NULL DEFAULT '',
    KEY idx_order (list_order)
) ENGINE=InnoDB;

CREATE TABLE data_transaksi (
    trans_id             VARCHAR(20)  NOT NULL PRIMARY KEY,
    trans_tanggal        DATE         NOT NULL,
    trans_kode           CHAR(2)      NOT NULL,
    trans_kantor         CHAR(2)      NOT NULL DEFAULT '01',
    trans_rekening       VARCHAR(20)  NOT NULL,
    trans_nasabah        VARCHAR(20)  NOT NULL DEFAULT '',
    trans_order          VARCHAR(20)  NOT NULL DEFAULT '',
    trans_nasabah_nama   VARCHAR(100) NOT NULL DEFAULT '',
    trans_nasabah_kelas  VARCHAR(30)  NOT NULL DEFAULT '',
    trans_channel        VARCHAR(20)  NOT NULL DEFAULT '',
    trans_rfid           VARCHAR(32)  NOT NULL DEFAULT '',
    trans_jumlah         BIGINT       NOT NULL DEFAULT 0,
    trans_saldo_awal     BIGINT       NOT NULL DEFAULT 0,
    trans_saldo_akhir    BIGINT       NOT NULL DEFAULT 0,
    trans_uraian         VARCHAR(300) NOT NULL DEFAULT '',
    trans_kirim          VARCHAR(10)  NOT NULL DEFAULT '',
    trans_status         TINYINT      NOT NULL DEFAULT 0,
    trans_reg_date       DATE         NULL,
    trans_reg_time       DATETIME     NULL,
    trans_reg_alias      VARCHAR(50)  NOT NULL DEFAULT '',
    trans_version        VARCHAR(20)  NOT NULL DEFAULT '',
    KEY idx_order (trans_order)
) ENGINE=InnoDB;
