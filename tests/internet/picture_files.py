"""Pictures of one grey colour in the formats a page may show, made here
byte by byte (no imaging library), small on the wire however large they
say they are: the decoder has to do the work, the network does not.

    png(w, h)                 8-bit RGB, rows in order
    png(w, h, interlaced=True)  8-bit RGB, Adam7 (Qt decodes it whole, then scales)
    png(w, h, depth=16)       16-bit RGB (Qt decodes it whole, 64 bits a pixel)
    bmp(w, h)                 8-bit palette, RLE8-compressed
    gif(w, h)                 8-bit palette, LZW-compressed
    jpeg(w, h)                baseline, three components (Qt decodes it scaled)
    jpeg(w, h, progressive=True)  progressive: every coefficient is kept until
                              the last scan (decoded as if whole)
    jpeg(w, h, components=4)  CMYK, with Adobe's marker (decoded as if whole)

Run as a script, writes one: picture_files.py KIND W H OUT
"""
import struct
import sys
import zlib

GREY = 0x80


def _png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xffffffff)


# Adam7: where each pass starts and how far its pixels lie apart (x0, y0, dx, dy).
_ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]


def png(width, height, interlaced=False, depth=8):
    pixel = bytes([GREY] * (3 * depth // 8))
    packer = zlib.compressobj(9)
    parts = []
    passes = _ADAM7 if interlaced else [(0, 0, 1, 1)]
    for x0, y0, dx, dy in passes:
        columns = (width - x0 + dx - 1) // dx if width > x0 else 0
        rows = (height - y0 + dy - 1) // dy if height > y0 else 0
        if columns == 0:
            continue
        row = b"\0" + pixel * columns
        parts.extend(packer.compress(row) for _ in range(rows))
    body = b"".join(parts) + packer.flush()
    header = struct.pack(">IIBBBBB", width, height, depth, 2, 0, 0, 1 if interlaced else 0)
    return b"\x89PNG\r\n\x1a\n" + _png_chunk(b"IHDR", header) + _png_chunk(b"IDAT", body) + _png_chunk(b"IEND", b"")


def bmp(width, height):
    line = b""
    left = width
    while left > 0:
        run = min(255, left)
        line += bytes([run, 0])
        left -= run
    pixels = (line + b"\0\0") * height + b"\0\1"
    palette = bytes([GREY, GREY, GREY, 0]) * 256
    offset = 14 + 40 + len(palette)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 1, len(pixels), 2835, 2835, 256, 0)
    return b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset) + info + palette + pixels


class _Bits:
    def __init__(self):
        self.out = bytearray()
        self.value = 0
        self.count = 0

    def put(self, code, width):
        self.value |= code << self.count
        self.count += width
        while self.count >= 8:
            self.out.append(self.value & 0xff)
            self.value >>= 8
            self.count -= 8

    def done(self):
        if self.count:
            self.out.append(self.value & 0xff)
        return bytes(self.out)


def gif(width, height):
    # One colour (index 0): the LZW strings are runs that grow by one pixel
    # a code, so the codes follow from the run lengths without a table.
    clear, end = 256, 257
    bits = _Bits()
    code_width, next_code = 9, 258
    bits.put(clear, code_width)
    left = width * height
    run = 1
    while left > 0:
        taken = min(run, left)
        bits.put(0 if taken == 1 else 256 + taken, code_width)
        left -= taken
        if next_code == 4096:
            bits.put(clear, code_width)
            code_width, next_code, run = 9, 258, 1
            continue
        if next_code >= (1 << code_width) and code_width < 12:
            code_width += 1
        next_code += 1
        run += 1
    bits.put(end, code_width)
    data = bits.done()
    blocks = b"".join(bytes([len(data[i:i + 255])]) + data[i:i + 255] for i in range(0, len(data), 255))
    palette = bytes([GREY, GREY, GREY]) * 256
    screen = struct.pack("<HHBBB", width, height, 0xf7, 0, 0)
    image = b"\x2c" + struct.pack("<HHHHB", 0, 0, width, height, 0)
    return b"GIF89a" + screen + palette + image + b"\x08" + blocks + b"\0\x3b"


def _jpeg_segment(marker, data):
    return b"\xff" + bytes([marker]) + struct.pack(">H", len(data) + 2) + data


def _jpeg_scan(component_ids, spectral_start, spectral_end, bits):
    # Every block codes as all-zero bits (category 0, or end of block); the
    # last byte is filled with ones as the standard asks.
    header = bytes([len(component_ids)]) + b"".join(bytes([i, 0]) for i in component_ids)
    header += bytes([spectral_start, spectral_end, 0])
    data = bytearray(bits // 8)
    if bits % 8:
        data.append((1 << (8 - bits % 8)) - 1)
    return _jpeg_segment(0xDA, header) + bytes(data)


def jpeg(width, height, progressive=False, components=3):
    # Mid grey is a DC coefficient of 0 after the level shift: every block
    # is "no difference, no AC coefficients", whatever its size.
    ids = list(range(1, components + 1))
    blocks = ((width + 7) // 8) * ((height + 7) // 8)
    out = b"\xff\xd8"
    if components == 4:
        out += _jpeg_segment(0xEE, b"Adobe" + struct.pack(">HHHB", 100, 0, 0, 0))
    out += _jpeg_segment(0xDB, b"\0" + b"\1" * 64)
    frame = struct.pack(">BHHB", 8, height, width, components) + b"".join(bytes([i, 0x11, 0]) for i in ids)
    out += _jpeg_segment(0xC2 if progressive else 0xC0, frame)
    # One code each, of one bit: DC category 0, and AC end of block.
    one_code = bytes([1] + [0] * 15) + b"\0"
    out += _jpeg_segment(0xC4, b"\x00" + one_code + b"\x10" + one_code)
    if progressive:
        out += _jpeg_scan(ids, 0, 0, blocks * components)
        for i in ids:
            out += _jpeg_scan([i], 1, 63, blocks)
    else:
        out += _jpeg_scan(ids, 0, 63, blocks * components * 2)
    return out + b"\xff\xd9"


KINDS = ("png", "png-interlaced", "png16", "bmp", "gif", "jpeg", "jpeg-progressive", "jpeg-cmyk")


def make(kind, width, height):
    """A picture by its name in a .mode file (KINDS)."""
    if kind == "png":
        return png(width, height)
    if kind == "png-interlaced":
        return png(width, height, interlaced=True)
    if kind == "png16":
        return png(width, height, depth=16)
    if kind == "bmp":
        return bmp(width, height)
    if kind == "gif":
        return gif(width, height)
    if kind == "jpeg":
        return jpeg(width, height)
    if kind == "jpeg-progressive":
        return jpeg(width, height, progressive=True)
    if kind == "jpeg-cmyk":
        return jpeg(width, height, components=4)
    raise ValueError(kind)


if __name__ == "__main__":
    with open(sys.argv[4], "wb") as f:
        f.write(make(sys.argv[1], int(sys.argv[2]), int(sys.argv[3])))
