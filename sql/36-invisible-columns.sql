-- The columns the kiosk's scripts add to the tables of the central administration and the shop
-- are INVISIBLE, so that the office's programs (positional INSERT ... VALUES, SELECT *) see those
-- tables as before. A load before that added trans_reg_user visible: hidden here in place with
-- ALGORITHM=INSTANT, which changes only the table's definition, however long the ledger. A
-- server that could only copy the table for it leaves the column visible and says so, rather
-- than copying a large ledger while the kiosks post. Part of the load and the upgrade; safe to
-- run again (a hidden column is left alone).
DELIMITER ;;
BEGIN NOT ATOMIC
    FOR c IN (SELECT TABLE_SCHEMA AS s, TABLE_NAME AS t FROM information_schema.COLUMNS
               WHERE COLUMN_NAME = 'trans_reg_user' AND EXTRA NOT LIKE '%INVISIBLE%'
                 AND (TABLE_SCHEMA, TABLE_NAME) IN (('cashless-adm', 'data_tabungan_trans'),
                     ('aio-kirna', 'data_transaksi'), ('@KIOSK_DB@', 'data_transaksi'))) DO
        BEGIN
            -- 1845, 1846: the server cannot do it instantly.
            DECLARE EXIT HANDLER FOR 1845, 1846
                SELECT CONCAT('`', c.s, '`.', c.t, '.trans_reg_user: tetap terlihat, server hanya ',
                              'bisa menyalin tabel (ALGORITHM=COPY)') AS trans_reg_user;
            EXECUTE IMMEDIATE CONCAT('ALTER TABLE `', c.s, '`.', c.t, ' MODIFY trans_reg_user ',
                                     'VARCHAR(400) NULL INVISIBLE, ALGORITHM=INSTANT');
            SELECT CONCAT('`', c.s, '`.', c.t, '.trans_reg_user: INVISIBLE, seketika ',
                          '(ALGORITHM=INSTANT)') AS trans_reg_user;
        END;
    END FOR;
END;;
DELIMITER ;
