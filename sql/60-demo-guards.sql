-- The kiosk's guards as the demo runs them: a visit left alone ends after 60 s, five wrong
-- PINs lock an account, the printer is checked and a receipt can be printed again.
-- Loaded by scripts/db only; the tests switch each guard on themselves.
USE `@KIOSK_DB@`;

INSERT INTO set_app (app_case, app_text) VALUES
('IdleTimeout', '60'),
('PinMaxAttempts', '5'),
('PrinterCheck', '1'),
('ReprintLast', '1');
