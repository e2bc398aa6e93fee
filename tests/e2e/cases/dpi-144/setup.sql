.read log-schema.sql
INSERT INTO Log (CallSign, DigiBand, QSOMode, QSOReportRecived, DXCCPrefix, MainPrefix, Continent)
VALUES ('UA3AAA', '14', 'CW', '599 MA', 'UA1', 'UA3A', 'EU'),
       ('UA1AAA', '7', 'CW', '599 SP', 'UA1', 'UA1A', 'EU'),
       ('UA9AAA', '50', 'CW', '599 CB', 'UA9', 'UA9A', 'AS');
