.read log-schema.sql
INSERT INTO Log (CallSign, DigiBand, QSOMode, QSOReportRecived, DXCCPrefix, MainPrefix, Continent)
VALUES ('UA3AAA', '28', 'CW', '599 MA', 'UA1', 'UA3A', 'EU'),
       ('UA3AAA', '7', 'SSB', '59 MA', 'UA1', 'UA3A', 'EU'),
       ('DL1XX', '28', 'CW', '599 001', 'DL', 'DL', 'EU'),
       ('OK1AA', '28', 'CW', '599 002', 'OK', 'OK1', 'EU');
