.read log-schema.sql
INSERT INTO Log (CallSign, DigiBand, QSOMode, QSOReportRecived, DXCCPrefix, MainPrefix, Continent)
VALUES ('UA3AAA', '14', 'CW', '599 MA', 'UA1', 'UA3A', 'eu'),
       ('UA3AAA', '14', 'CW', '599 MA', 'UA1', 'UA3A', 'eu'),
       ('UA9ABC', '7', 'SSB', '59 cb', 'UA9', 'UA9A', 'AS'),
       ('DL1XX', '14', 'CW', '599 001', 'DL', 'DL', 'EU'),
       ('dl1xx', '14', 'CW', '599 002', 'DL', 'DL', 'EU');
