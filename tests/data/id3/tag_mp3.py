#!/usr/bin/python3
"""Writes an ID3v2 tag with mutagen, an independent writer, for the tag reader's tests.

tag_mp3.py IN OUT --version 3|4 [--encoder TEXT] [--cover JPEG] [--padding N]

OUT is IN with a tag in front: TENC holds the encoder text, APIC the cover as
"image/jpeg", picture type 3 (front cover) and an empty description, in Latin-1.
"""
import argparse
import shutil

from mutagen.id3 import ID3, APIC, TENC, TIT2

p = argparse.ArgumentParser()
p.add_argument("src")
p.add_argument("dst")
p.add_argument("--version", type=int, default=3)
p.add_argument("--encoder")
p.add_argument("--cover")
p.add_argument("--title")
p.add_argument("--padding", type=int, default=0)
a = p.parse_args()

shutil.copyfile(a.src, a.dst)
tags = ID3()
if a.title:
    tags.add(TIT2(encoding=0, text=a.title))
if a.encoder:
    tags.add(TENC(encoding=0, text=a.encoder))
if a.cover:
    with open(a.cover, "rb") as f:
        tags.add(APIC(encoding=0, mime="image/jpeg", type=3, desc="", data=f.read()))
tags.save(a.dst, v2_version=a.version, padding=lambda info: a.padding)
