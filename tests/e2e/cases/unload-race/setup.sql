.read log-schema.sql
INSERT INTO Log (CallSign, DigiBand, QSOMode, QSOReportRecived, DXCCPrefix, MainPrefix, Continent)
VALUES ('UA3AAA', '14', 'CW', '599 MA', 'UA1', 'UA3A', 'EU'),
       ('DL1XX', '7', 'CW', '599 001', 'DL', 'DL', 'EU');
