# The emphasised band's needed cells against the white of the others: the two
# colours are found in the picture and their contrast computed (WCAG).
python3 - <<'PY'
from PIL import Image

def luminance(c):
    def channel(v):
        v /= 255
        return v / 12.92 if v <= 0.03928 else ((v + 0.055) / 1.055) ** 2.4
    r, g, b = (channel(v) for v in c)
    return 0.2126 * r + 0.7152 * g + 0.0722 * b

with Image.open("new.bmp") as picture:
    rgb = picture.convert("RGB")
counts = dict((c, n) for n, c in rgb.getcolors(maxcolors=rgb.size[0] * rgb.size[1] + 1))
white = (255, 255, 255)
# The needed cells of the emphasised band: the most frequent strong colour
# that is neither the worked blue nor grey, white or black.
def strong(c):
    return max(c) - min(c) > 100 and c != (0, 0, 255)
needed = max((c for c in counts if strong(c)), key=lambda c: counts[c])
print("needed cells\t%s" % ("found" if counts[needed] > 500 else "too few"))
print("empty cells\t%s" % ("found" if counts.get(white, 0) > 500 else "too few"))
lighter, darker = sorted((luminance(needed), luminance(white)), reverse=True)
ratio = (lighter + 0.05) / (darker + 0.05)
print("contrast at least 3:1\t%s" % ("yes" if ratio >= 3 else "no (%.2f)" % ratio))
PY
