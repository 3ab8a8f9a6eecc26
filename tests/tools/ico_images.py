#!/usr/bin/env python3
"""Compares the images inside ICO files, independently of the engine.

  ico_images.py same OURS THEIRS [OURS THEIRS]...
                                   exit 0 when each OURS holds its THEIRS's
                                   images, in order, byte for byte, except
                                   biSizeImage of bitmap images, which OURS
                                   must hold as 0
  ico_images.py describe FILE      prints each image as brimlet-extract --list
                                   does: "WxH, B bits, L bytes[, PNG]", read
                                   from the image's own header (IHDR for PNG)

Directory fields are not compared: ours are rebuilt from the images. Every
offset and size is checked against the file's length.
"""
import struct
import sys

PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"


def images(path):
    data = open(path, "rb").read()
    if len(data) < 6:
        raise ValueError(f"{path}: {len(data)} bytes, shorter than an ICO header")
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    if reserved != 0 or kind != 1:
        raise ValueError(f"{path}: not an ICO file (reserved {reserved}, type {kind})")
    if 6 + 16 * count > len(data):
        raise ValueError(f"{path}: directory of {count} entries does not fit")
    result = []
    for i in range(count):
        size, offset = struct.unpack_from("<II", data, 6 + 16 * i + 8)
        if offset > len(data) or size > len(data) - offset:
            raise ValueError(f"{path}: image {i + 1} at {offset}+{size} lies outside the file")
        result.append(data[offset:offset + size])
    return result


def is_png(image):
    return image.startswith(PNG_SIGNATURE)


def without_size_image(image):
    if is_png(image) or len(image) < 24:
        return image
    return image[:20] + b"\0\0\0\0" + image[24:]


def same(ours_path, theirs_path):
    ours, theirs = images(ours_path), images(theirs_path)
    if len(ours) != len(theirs):
        print(f"{ours_path}: {len(ours)} images, {theirs_path}: {len(theirs)}")
        return 1
    for i, (a, b) in enumerate(zip(ours, theirs), 1):
        if not is_png(a) and len(a) >= 24 and a[20:24] != b"\0\0\0\0":
            print(f"{ours_path}: image {i}: biSizeImage is not 0")
            return 1
        if a != without_size_image(b):
            print(f"{ours_path}: image {i} differs from {theirs_path} ({len(a)} / {len(b)} bytes)")
            return 1
    return 0


def describe(image):
    if is_png(image):
        width, height, depth, colour_type = struct.unpack_from(">IIBB", image, 16)
        channels = {2: 3, 4: 2, 6: 4}.get(colour_type, 1)
        return f"{width}x{height}, {depth * channels} bits, {len(image)} bytes, PNG"
    width, height, planes, bit_count = struct.unpack_from("<iiHH", image, 4)
    return f"{width}x{int(height / 2)}, {planes * bit_count} bits, {len(image)} bytes"


def main(argv):
    if len(argv) >= 4 and len(argv) % 2 == 0 and argv[1] == "same":
        pairs = zip(argv[2::2], argv[3::2])
        return 1 if any([same(ours, theirs) for ours, theirs in pairs]) else 0
    if len(argv) == 3 and argv[1] == "describe":
        for i, image in enumerate(images(argv[2]), 1):
            print(f"  image {i}: {describe(image)}")
        return 0
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
