#!/usr/bin/python3
"""Writes the sample maps' PGM images (200 x 200 pixels at 0.05 m: 10 m x 10 m).

The images are committed; run this again only after changing a layout below:
    tools/make_sample_maps.py maps/
Pixel (column, row) counts rows from the image's top edge, as map_server reads it:
map y = origin y + resolution * (height - row).
"""
import sys
from pathlib import Path

SIZE = 200
FREE, OCCUPIED = 254, 0


def blank():
    return [[FREE] * SIZE for _ in range(SIZE)]


def fill(image, col0, row0, col1, row1, value=OCCUPIED):
    """Fills the pixels of columns col0..col1-1 and rows row0..row1-1."""
    for row in range(row0, row1):
        for col in range(col0, col1):
            image[row][col] = value


def outer_walls(image):
    fill(image, 0, 0, SIZE, 3)
    fill(image, 0, SIZE - 3, SIZE, SIZE)
    fill(image, 0, 0, 3, SIZE)
    fill(image, SIZE - 3, 0, SIZE, SIZE)


def warehouse_a():
    """A hall split by a wall at map y = 6 m with a 1 m doorway at x = 4..5 m, and a pallet."""
    image = outer_walls_image()
    fill(image, 0, 78, 80, 82)       # dividing wall left of the doorway
    fill(image, 100, 78, SIZE, 82)   # dividing wall right of the doorway
    fill(image, 145, 145, 155, 155)  # pallet around map (7.5, 2.5)
    return image


def warehouse_b():
    """The same hall rebuilt: a wall at map x = 6 m with a doorway at y = 4.5..5.5 m."""
    image = outer_walls_image()
    fill(image, 118, 0, 122, 90)     # dividing wall above the doorway
    fill(image, 118, 110, 122, SIZE)  # dividing wall below the doorway
    fill(image, 40, 40, 50, 50)      # rack around map (2.25, 7.75)
    return image


def outer_walls_image():
    image = blank()
    outer_walls(image)
    return image


def write_pgm(path, image):
    header = f"P5\n# quorvane_nav2_gridmap_demo sample map\n{SIZE} {SIZE}\n255\n".encode()
    path.write_bytes(header + bytes(value for row in image for value in row))


def main():
    root = Path(sys.argv[1] if len(sys.argv) > 1 else "maps")
    write_pgm(root / "warehouse_a" / "map.pgm", warehouse_a())
    write_pgm(root / "warehouse_b" / "map.pgm", warehouse_b())


if __name__ == "__main__":
    main()
