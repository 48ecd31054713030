-- The kiosk's shared database user at one host pattern (assemble.cmake repeats this for each):
-- the demo's account, and that of a school whose kiosks have no accounts of their own yet
-- (41-kiosk-accounts.sql makes those). Its password ships inside every copy of the program, so
-- it holds only the kiosk's role (40-kiosk-role.sql) and its rows are held to the kiosk's shape
-- (36-guard-kiosk.sql).

-- The password below is written with backslash escapes, whatever the server's sql_mode says.
SET @kalinda_sql_mode = @@SESSION.sql_mode;
SET SESSION sql_mode = REPLACE(@@SESSION.sql_mode, 'NO_BACKSLASH_ESCAPES', '');

CREATE USER IF NOT EXISTS '@KIOSK_USER@'@'@KIOSK_HOST@';
-- REQUIRE (assemble.cmake's KIOSK_REQUIRE_TLS): NONE, or TLS only, so that the password that
-- every copy of the program carries does not log in alone from a laptop on the same network.
ALTER USER '@KIOSK_USER@'@'@KIOSK_HOST@' REQUIRE @KIOSK_REQUIRE@;
ALTER USER '@KIOSK_USER@'@'@KIOSK_HOST@' IDENTIFIED BY '@KIOSK_PASSWORD@';
-- Loading again takes away whatever an older version of this file granted.
REVOKE ALL PRIVILEGES, GRANT OPTION FROM '@KIOSK_USER@'@'@KIOSK_HOST@';
-- Its rows are judged as a kiosk's; shared, it may write the heartbeat of any kiosk it names.
INSERT INTO `cashless-adm`.data_kiosk_akun (akun_nama, akun_bersama) VALUES ('@KIOSK_USER@', 1)
    ON DUPLICATE KEY UPDATE akun_bersama = 1;

-- The kiosk's rights come with its role (40-kiosk-role.sql), active from the login on.
GRANT `@KIOSK_ROLE@` TO '@KIOSK_USER@'@'@KIOSK_HOST@';
SET DEFAULT ROLE `@KIOSK_ROLE@` FOR '@KIOSK_USER@'@'@KIOSK_HOST@';

SET SESSION sql_mode = @kalinda_sql_mode;
