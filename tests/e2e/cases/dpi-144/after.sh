# The picture holds both windows side by side: 1.5 times their 96-dpi size.
python3 - <<'PY'
from PIL import Image
with Image.open("dpi144.bmp") as picture:
    width, height = picture.size
    print("picture\twider than 750\t%s" % ("yes" if width > 750 else "no"))
    print("picture\ttaller than 250\t%s" % ("yes" if height > 250 else "no"))
PY
echo "blue	$(python3 "$CASE_DIR/../../bmp-colours.py" dpi144.bmp 0 0 255 | awk '{print ($1 > 0) ? "yes" : "no"}')"
# The list paints its whole background: no black band below its last row
# (pure black is only in the few pixels of the codes drawn black).
echo "black band	$(python3 "$CASE_DIR/../../bmp-colours.py" dpi144.bmp 0 0 0 --from-x 560 | awk '{print ($1 > 3000) ? "yes" : "no"}')"
