-- The log the Pascal host opens: two bands, a duplicate (RA3DX 21 SSB twice),
-- a call that differs only in case (ra3dx), exchanges with and without an
-- oblast code, and the same prefix and oblast more than once on a band.
.read ../e2e/log-schema.sql
INSERT INTO Log (CallSign, DigiBand, QSOMode, QSOReportRecived, DXCCPrefix, MainPrefix, Continent)
VALUES ('RA3DX', '21', 'SSB', '59 ma', 'UA1', 'RA3D', 'EU'),
       ('RA3DX', '21', 'SSB', '59 MA', 'UA1', 'RA3D', 'EU'),
       ('RA3DX', '21', 'CW', '599 TV', 'UA1', 'RA3D', 'EU'),
       ('ra3dx', '21', 'SSB', '59 TV', 'UA1', 'RA3D', 'eu'),
       ('UA9ABC', '7', 'CW', '599 CB', 'UA9', 'UA9A', 'AS'),
       ('DL1XX', '7', 'CW', '599 001', 'DL', 'DL', 'EU'),
       ('OH2BH', '21', 'CW', '599 015', 'OH', 'OH', 'EU');
