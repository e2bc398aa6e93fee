.read log-schema.sql
INSERT INTO Log (CallSign, DigiBand, QSOMode, QSOReportRecived, DXCCPrefix)
VALUES ('UA3AAA', '14', 'CW', '599 MA', 'UA1');
