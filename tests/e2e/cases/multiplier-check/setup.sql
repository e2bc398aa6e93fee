.read log-schema.sql
INSERT INTO Log (CallSign, DigiBand, QSOMode, QSOReportRecived, DXCCPrefix, MainPrefix, Continent)
VALUES ('UA9AAA', '7', 'CW', '599 CB', 'UA9', 'UA9A', 'AS'),
       ('UA9AAA', '7', 'CW', '599 CB', 'UA9', 'UA9A', 'AS'),
       ('DL1XX', '14', 'SSB', '59 001', 'DL', 'DL', 'EU');
