-- A log of 1,000 contacts in call-sign order (UA0001 ... UA1000) on three
-- bands, and two views over it that fail in the middle of a result read in
-- call-sign order: Damaged raises an error at UA0301, Cut ends its own
-- connection there. The function is STABLE and CallSign indexed, so that the
-- rows stream from the index in order and the function meets UA0301 only when
-- the reader gets that far (the database also refuses explicit sorts).
DROP VIEW IF EXISTS Damaged;
DROP VIEW IF EXISTS Cut;
DROP TABLE IF EXISTS Calls;
CREATE TABLE Calls (ID INTEGER PRIMARY KEY, CallSign VARCHAR(32), DigiBand VARCHAR(8),
                    QSOMode VARCHAR(8), QSOReportRecived VARCHAR(64), DXCCPrefix VARCHAR(16),
                    MainPrefix VARCHAR(16), Continent VARCHAR(4));
INSERT INTO Calls
SELECT i, 'UA' || lpad(i::text, 4, '0'), (ARRAY['7', '14', '21'])[i % 3 + 1], 'CW', '599 MA',
       'UA1', 'UA3A', 'EU'
FROM generate_series(1, 1000) AS i;
CREATE INDEX CallsCallSign ON Calls (CallSign);
ANALYZE Calls;

CREATE OR REPLACE FUNCTION damaged_at(call text, bad text) RETURNS text
LANGUAGE plpgsql STABLE AS $$
BEGIN
    IF call = bad THEN
        RAISE EXCEPTION 'log row % is damaged', call;
    END IF;
    RETURN call;
END $$;

CREATE OR REPLACE FUNCTION cut_at(call text, bad text) RETURNS text
LANGUAGE plpgsql STABLE AS $$
BEGIN
    IF call = bad THEN
        PERFORM pg_terminate_backend(pg_backend_pid());
    END IF;
    RETURN call;
END $$;

CREATE VIEW Damaged AS
SELECT ID, CallSign, DigiBand, QSOMode, QSOReportRecived, DXCCPrefix, MainPrefix, Continent,
       damaged_at(CallSign, 'UA0301') AS Probe
FROM Calls;
CREATE VIEW Cut AS
SELECT ID, CallSign, DigiBand, QSOMode, QSOReportRecived, DXCCPrefix, MainPrefix, Continent,
       cut_at(CallSign, 'UA0301') AS Probe
FROM Calls;
