"""Pillow's Lanczos enlargement of a BMP, as a user would script it: pil_resize.py IN W H OUT"""
import sys

from PIL import Image

image = Image.open(sys.argv[1])
image.resize((int(sys.argv[2]), int(sys.argv[3])), Image.LANCZOS).save(sys.argv[4])
