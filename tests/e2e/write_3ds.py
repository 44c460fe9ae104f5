#!/usr/bin/env python3
"""write_3ds.py: small 3D Studio scenes whose pictures are known in advance.

  write_3ds.py sphere OUT              a sphere of radius 60 (2208 faces) centred on the origin:
                                       however the demo spins it, its picture is a disc centred
                                       on the frame, about 230 of the frame's 512 pixels across
  write_3ds.py blocks OUT              a bar 120 long along X with a cube standing on one end
                                       (24 faces): no turn about the vertical or tilt leaves its
                                       picture as it was
  write_3ds.py screen-faces OUT COUNT  one mesh of COUNT copies of one large triangle square to
                                       the demo camera's axis, each covering the whole view in
                                       the demo's first frames: the slowest file a size allows
  write_3ds.py thin-faces OUT COUNT    one mesh of COUNT copies of a triangle 2000 tall and 1 wide
                                       (half of them facing each way): in the fit view every one
                                       spans every row of the frame and hardly any column
  write_3ds.py empty-meshes OUT COUNT  one object of COUNT meshes without vertices or faces: six
                                       bytes of file each and nothing to draw

Positions are in the file's axes (Z up); faces wind counter-clockwise seen from the side they
show, as 3D Studio writes them.
"""
import math
import struct
import sys


def chunk(chunk_id, payload):
    return struct.pack("<HI", chunk_id, 6 + len(payload)) + payload


def scene(name, points, faces):
    vertices = struct.pack("<H", len(points)) + b"".join(struct.pack("<3f", *p) for p in points)
    triangles = struct.pack("<H", len(faces)) + b"".join(struct.pack("<4H", *f, 0) for f in faces)
    mesh = chunk(0x4100, chunk(0x4110, vertices) + chunk(0x4120, triangles))
    named_object = chunk(0x4000, name.encode() + b"\0" + mesh)
    return chunk(0x4D4D, chunk(0x3D3D, named_object))


def sphere(radius=60.0, stacks=24, slices=48):
    points = [(0.0, 0.0, radius)]
    for stack in range(1, stacks):
        polar = math.pi * stack / stacks
        for piece in range(slices):
            around = 2 * math.pi * piece / slices
            points.append((radius * math.sin(polar) * math.cos(around),
                           radius * math.sin(polar) * math.sin(around), radius * math.cos(polar)))
    points.append((0.0, 0.0, -radius))
    bottom = len(points) - 1

    def ring(stack, piece):
        return 1 + (stack - 1) * slices + piece % slices

    faces = []
    for piece in range(slices):
        faces.append((0, ring(1, piece), ring(1, piece + 1)))
        faces.append((bottom, ring(stacks - 1, piece + 1), ring(stacks - 1, piece)))
    for stack in range(1, stacks - 1):
        for piece in range(slices):
            a, b = ring(stack, piece), ring(stack, piece + 1)
            c, d = ring(stack + 1, piece), ring(stack + 1, piece + 1)
            faces += [(a, c, d), (a, d, b)]
    return scene("Sphere", points, faces)


def blocks():
    points, faces = [], []

    def box(centre, half):
        first = len(points)
        for corner in range(8):
            points.append(tuple(centre[i] + (half[i] if corner >> i & 1 else -half[i])
                                for i in range(3)))
        # Corners are numbered by their bits: 1 is +X, 2 is +Y, 4 is +Z. Each side's four corners
        # in counter-clockwise order seen from outside.
        for a, b, c, d in ((0, 2, 3, 1), (4, 5, 7, 6), (0, 1, 5, 4), (2, 6, 7, 3), (0, 4, 6, 2),
                           (1, 3, 7, 5)):
            faces.extend([(first + a, first + b, first + c), (first + a, first + c, first + d)])

    box((0.0, 0.0, 0.0), (60.0, 15.0, 10.0))
    box((45.0, 0.0, 30.0), (15.0, 15.0, 20.0))
    return scene("Blocks", points, faces)


def screen_faces(count):
    # The demo camera looks at the origin from 30 degrees above the horizontal; (0, cos, -sin)
    # is its axis in file axes. An equilateral triangle square to it with its incircle ten
    # times the view's width at that distance stays over the whole view while the spin is small.
    tilt = math.radians(30)
    across = (1.0, 0.0, 0.0)
    up = (0.0, math.sin(tilt), math.cos(tilt))
    inner = 3000.0

    def point(a, u):
        return tuple(a * across[i] + u * up[i] for i in range(3))

    top = point(0.0, 2 * inner)
    left = point(-math.sqrt(3) * inner, -inner)
    right = point(math.sqrt(3) * inner, -inner)
    return scene("Screen", [top, left, right], [(0, 1, 2)] * count)


def thin_faces(count):
    points = [(0.0, 0.0, -1000.0), (1.0, 0.0, 1000.0), (0.0, 0.0, 1000.0)]
    return scene("Thin", points, [(0, 1, 2) if i % 2 else (0, 2, 1) for i in range(count)])


def empty_meshes(count):
    return chunk(0x4D4D, chunk(0x3D3D, chunk(0x4000, b"Empty\0" + chunk(0x4100, b"") * count)))


def main(argv):
    if len(argv) == 3 and argv[1] == "sphere":
        data = sphere()
    elif len(argv) == 3 and argv[1] == "blocks":
        data = blocks()
    elif len(argv) == 4 and argv[1] == "screen-faces" and 1 <= int(argv[3]) <= 65535:
        data = screen_faces(int(argv[3]))
    elif len(argv) == 4 and argv[1] == "thin-faces" and 1 <= int(argv[3]) <= 65535:
        data = thin_faces(int(argv[3]))
    elif len(argv) == 4 and argv[1] == "empty-meshes" and int(argv[3]) >= 0:
        data = empty_meshes(int(argv[3]))
    else:
        sys.stderr.write(__doc__)
        return 2
    with open(argv[2], "wb") as out:
        out.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
