# Worked codes are drawn pure blue; with none worked on the band, nothing is.
for shot in first none worked; do
    echo "blue	$shot	$(python3 "$CASE_DIR/../../bmp-colours.py" "$shot.bmp" 0 0 255 | awk '{print ($1 > 0) ? "yes" : "no"}')"
done
# The list paints its whole background: no black band below its last row
# (pure black is only in the few pixels of the codes drawn black).
for shot in first none worked; do
    echo "black band	$shot	$(python3 "$CASE_DIR/../../bmp-colours.py" "$shot.bmp" 0 0 0 --from-x 372 | awk '{print ($1 > 2000) ? "yes" : "no"}')"
done
