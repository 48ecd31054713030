-- The kiosk's own schema: parameters, receipt layout, its copy of postings and its logs.
-- @KIOSK_DB@ is replaced by the deployment's schema name when the files are loaded.
CREATE DATABASE IF NOT EXISTS `@KIOSK_DB@` CHARACTER SET utf8mb4 COLLATE utf8mb4_unicode_ci;
USE `@KIOSK_DB@`;

CREATE TABLE set_app (
    app_id    INT          NOT NULL AUTO_INCREMENT PRIMARY KEY,
    app_case  VARCHAR(50)  NOT NULL,
    app_text  VARCHAR(255) NOT NULL DEFAULT ''
) ENGINE=InnoDB;

CREATE TABLE set_cetakan (
    cetakan_id    INT          NOT NULL AUTO_INCREMENT PRIMARY KEY,
    cetakan_case  VARCHAR(50)  NOT NULL,
    cetakan_text  VARCHAR(255) NOT NULL DEFAULT ''
) ENGINE=InnoDB;

CREATE TABLE data_transaksi (
    trans_id             VARCHAR(20)  NOT NULL PRIMARY KEY,
    trans_tanggal        DATE         NOT NULL,
    trans_kode           CHAR(2)      NOT NULL,
    trans_kantor         CHAR(2)      NOT NULL DEFAULT '01',
    trans_rekening       VARCHAR(20)  NOT NULL,
    trans_nasabah        VARCHAR(20)  NOT NULL DEFAULT '',
    trans_nasabah_nama   VARCHAR(100) NOT NULL DEFAULT '',
    trans_nasabah_kelas  VARCHAR(30)  NOT NULL DEFAULT '',
    trans_channel        VARCHAR(20)  NOT NULL DEFAULT '',
    trans_rfid           VARCHAR(32)  NOT NULL DEFAULT '',
    trans_jumlah         BIGINT       NOT NULL DEFAULT 0,
    trans_saldo_awal     BIGINT       NOT NULL DEFAULT 0,
    trans_saldo_akhir    BIGINT       NOT NULL DEFAULT 0,
    trans_uraian         VARCHAR(300) NOT NULL DEFAULT '',
    trans_status         TINYINT      NOT NULL DEFAULT 0,
    trans_reg_date       DATE         NULL,
    trans_reg_time       DATETIME     NULL,
    trans_reg_alias      VARCHAR(50)  NOT NULL DEFAULT '',
    trans_version        VARCHAR(20)  NOT NULL DEFAULT '',
    KEY idx_tanggal (trans_tanggal)
) ENGINE=InnoDB;

CREATE TABLE log_transaksi (
    log_id          BIGINT       NOT NULL AUTO_INCREMENT PRIMARY KEY,
    log_tanggal     DATE         NOT NULL,
    log_time        TIME         NOT NULL,
    log_user        VARCHAR(50)  NOT NULL DEFAULT '',
    log_rekening    VARCHAR(20)  NOT NULL DEFAULT '',
    log_rfid        VARCHAR(32)  NOT NULL DEFAULT '',
    log_nama        VARCHAR(100) NOT NULL DEFAULT '',
    log_kelas       VARCHAR(30)  NOT NULL DEFAULT '',
    log_transaksi   VARCHAR(150) NOT NULL DEFAULT '',
    log_nominal     BIGINT       NULL,
    log_keterangan  VARCHAR(255) NOT NULL DEFAULT '',
    log_transid     VARCHAR(20)  NULL,
    KEY idx_rekening (log_rekening)
) ENGINE=InnoDB;

CREATE TABLE log_login (
    log_id          BIGINT       NOT NULL AUTO_INCREMENT PRIMARY KEY,
    log_alias       VARCHAR(50)  NOT NULL DEFAULT '',
    log_tanggal     DATETIME     NOT NULL,
    log_ipaddress   VARCHAR(45)  NOT NULL DEFAULT '',
    log_hostname    VARCHAR(255) NOT NULL DEFAULT '',
    log_macaddress  VARCHAR(64)  NOT NULL DEFAULT '',
    log_version     VARCHAR(20)  NOT NULL DEFAULT '',
    log_session     VARCHAR(20)  NOT NULL DEFAULT ''
) ENGINE=InnoDB;

CREATE TABLE data_pengguna_alias (
    user_alias       VARCHAR(50)  NOT NULL PRIMARY KEY,
    user_nama        VARCHAR(100) NOT NULL DEFAULT '',
    user_session     VARCHAR(20)  NOT NULL DEFAULT '',
    user_last_login  DATETIME     NULL
) ENGINE=InnoDB;

-- Wrong PINs in a row, per account number or per "REG:" + registration id, shared by all
-- kiosks. Only counted while set_app holds "PinMaxAttempts".
CREATE TABLE data_pin_salah (
    pin_kunci     VARCHAR(60)  NOT NULL PRIMARY KEY,
    pin_jumlah    INT          NOT NULL DEFAULT 0,
    pin_terakhir  DATETIME     NULL
) ENGINE=InnoDB;

-- The block form names these without a schema; they answer from the central schema.
DELIMITER ;;

CREATE FUNCTION GetNasabahNama(p_nasabah VARCHAR(20)) RETURNS VARCHAR(100)
    READS SQL DATA SQL SECURITY INVOKER
BEGIN
    RETURN `cashless-adm`.GetNasabahNama(p_nasabah);
END;;

CREATE FUNCTION GetNasabahAlamat(p_nasabah VARCHAR(20)) RETURNS VARCHAR(200)
    READS SQL DATA SQL SECURITY INVOKER
BEGIN
    RETURN `cashless-adm`.GetNasabahAlamat(p_nasabah);
END;;

CREATE FUNCTION GetNasabahKelas(p_nasabah VARCHAR(20)) RETURNS VARCHAR(30)
    READS SQL DATA SQL SECURITY INVOKER
BEGIN
    RETURN `cashless-adm`.GetNasabahKelas(p_nasabah);
END;;

-- The administration's unlock of a PIN locked by too many wrong attempts.
CREATE PROCEDURE BukaKunciPin(p_kunci VARCHAR(60))
    MODIFIES SQL DATA
BEGIN
    UPDATE data_pin_salah SET pin_jumlah = 0 WHERE pin_kunci = p_kunci;
END;;

DELIMITER ;
