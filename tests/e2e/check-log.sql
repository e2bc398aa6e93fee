-- The small log the multiplier check's cases start from: 28 MHz worked, an
-- oblast (MA) on 28 and 7 MHz, three DXCC prefixes.
.read log-schema.sql
INSERT INTO Log (CallSign, DigiBand, QSOMode, QSOReportRecived, DXCCPrefix, MainPrefix, Continent)
VALUES ('UA3AAA', '28', 'CW', '599 MA', 'UA1', 'UA3A', 'EU'),
       ('UA3AAA', '7', 'SSB', '59 MA', 'UA1', 'UA3A', 'EU'),
       ('DL1XX', '28', 'CW', '599 001', 'DL', 'DL', 'EU'),
       ('OK1AA', '28', 'CW', '599 002', 'OK', 'OK1', 'EU');
