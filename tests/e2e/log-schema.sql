CREATE TABLE Log (
    ID INTEGER PRIMARY KEY,
    QSODateTime TEXT,
    CallSign TEXT,
    Frequency TEXT,
    DigiBand TEXT,
    QSOMode TEXT,
    RSTSent TEXT,
    RSTRecived TEXT,
    QSOReportRecived TEXT,
    DXCCPrefix TEXT,
    MainPrefix TEXT,
    Continent TEXT
);
