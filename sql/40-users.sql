-- The kiosk's database user: it reads, writes new rows, updates and calls routines.
-- It never deletes and never changes the schema.
CREATE USER IF NOT EXISTS '@KIOSK_USER@'@'localhost' IDENTIFIED BY '@KIOSK_PASSWORD@';
CREATE USER IF NOT EXISTS '@KIOSK_USER@'@'127.0.0.1' IDENTIFIED BY '@KIOSK_PASSWORD@';
GRANT SELECT, INSERT, UPDATE, EXECUTE ON `cashless-adm`.* TO '@KIOSK_USER@'@'localhost';
GRANT SELECT, INSERT, UPDATE, EXECUTE ON `aio-kirna`.* TO '@KIOSK_USER@'@'localhost';
GRANT SELECT, INSERT, UPDATE, EXECUTE ON `@KIOSK_DB@`.* TO '@KIOSK_USER@'@'localhost';
GRANT SELECT, INSERT, UPDATE, EXECUTE ON `cashless-adm`.* TO '@KIOSK_USER@'@'127.0.0.1';
GRANT SELECT, INSERT, UPDATE, EXECUTE ON `aio-kirna`.* TO '@KIOSK_USER@'@'127.0.0.1';
GRANT SELECT, INSERT, UPDATE, EXECUTE ON `@KIOSK_DB@`.* TO '@KIOSK_USER@'@'127.0.0.1';
