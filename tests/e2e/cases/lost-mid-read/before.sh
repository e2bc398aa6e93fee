# A log whose table file is damaged in the middle: the driver reads row by row
# (StepAPI=1) and meets the damage half-way through the log. A view names the
# table, so that the script can point it at an intact copy afterwards.
python3 - "$CASE_TMP/log.db" <<'PY'
import sqlite3
import sys

path = sys.argv[1]
db = sqlite3.connect(path)
db.execute("PRAGMA page_size=4096")
columns = "(CallSign TEXT, DigiBand TEXT, QSOMode TEXT, QSOReportRecived TEXT, " \
          "DXCCPrefix TEXT, MainPrefix TEXT, Continent TEXT, Padding TEXT)"
for table in ("Damaged", "Good"):
    db.execute(f"CREATE TABLE {table} {columns}")
    for i in range(600):
        # Rows in call-sign order, so that the damaged page holds the middle calls.
        call = f"UA{i // 100}A{i % 100:02d}"
        band = ("7", "14", "21")[i % 3]
        continent = "MARKER" if i == 300 else "EU"
        db.execute(f"INSERT INTO {table} VALUES (?,?,?,?,?,?,?,?)",
                   (call, band, "CW", "599 MA", "UA1", "UA3A", continent, "x" * 60))
db.execute("CREATE INDEX DamagedCalls ON Damaged (CallSign)")
db.execute("CREATE VIEW LogView AS SELECT * FROM Damaged")
db.commit()
db.close()

data = bytearray(open(path, "rb").read())
page = data.index(b"MARKER") // 4096
# The first marker is in table Damaged (created first); wreck that page's header.
data[page * 4096:page * 4096 + 8] = b"\xff" * 8
open(path, "wb").write(bytes(data))
PY
