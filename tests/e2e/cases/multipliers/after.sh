# Worked codes are drawn pure blue; with none worked on the band, nothing is.
for shot in first none worked; do
    echo "blue	$shot	$(python3 "$CASE_DIR/../../bmp-colours.py" "$shot.bmp" 0 0 255 | awk '{print ($1 > 0) ? "yes" : "no"}')"
done
