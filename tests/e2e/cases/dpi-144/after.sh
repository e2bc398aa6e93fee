# The picture holds both windows side by side: 1.5 times their 96-dpi size.
python3 - <<'PY'
import struct
data = open("dpi144.bmp", "rb").read()
width, height = struct.unpack_from("<ii", data, 18)
print("picture\twider than 750\t%s" % ("yes" if width > 750 else "no"))
print("picture\ttaller than 250\t%s" % ("yes" if abs(height) > 250 else "no"))
PY
echo "blue	$(python3 "$CASE_DIR/../../bmp-colours.py" dpi144.bmp 0 0 255 | awk '{print ($1 > 0) ? "yes" : "no"}')"
