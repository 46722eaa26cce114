#!/usr/bin/env python3
"""Writes an mp3 of a sine tone as recording programs do, with LAME through libsndfile
(ctypes; no Python package needed): make_mp3.py OUT.mp3 SECONDS [RATE]"""
import ctypes
import ctypes.util
import math
import sys

SFM_WRITE = 0x20
SF_FORMAT_MPEG = 0x230000
SF_FORMAT_MPEG_LAYER_III = 0x0082


class SF_INFO(ctypes.Structure):
    _fields_ = [("frames", ctypes.c_int64), ("samplerate", ctypes.c_int), ("channels", ctypes.c_int),
                ("format", ctypes.c_int), ("sections", ctypes.c_int), ("seekable", ctypes.c_int)]


def main():
    out, seconds = sys.argv[1], float(sys.argv[2])
    rate = int(sys.argv[3]) if len(sys.argv) > 3 else 22050
    lib = ctypes.CDLL(ctypes.util.find_library("sndfile") or "libsndfile.so.1")
    lib.sf_open.restype = ctypes.c_void_p
    lib.sf_open.argtypes = [ctypes.c_char_p, ctypes.c_int, ctypes.POINTER(SF_INFO)]
    lib.sf_writef_short.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_short), ctypes.c_int64]
    lib.sf_writef_short.restype = ctypes.c_int64
    lib.sf_close.argtypes = [ctypes.c_void_p]
    lib.sf_strerror.restype = ctypes.c_char_p
    lib.sf_strerror.argtypes = [ctypes.c_void_p]
    info = SF_INFO(0, rate, 1, SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 0, 0)
    f = lib.sf_open(out.encode(), SFM_WRITE, ctypes.byref(info))
    if not f:
        sys.exit("libsndfile cannot write mp3: %s" % lib.sf_strerror(None).decode())
    n = int(rate * seconds)
    samples = (ctypes.c_short * n)(*[int(8000 * math.sin(2 * math.pi * 440 * i / rate)) for i in range(n)])
    written = lib.sf_writef_short(f, samples, n)
    lib.sf_close(f)
    if written != n:
        sys.exit("short write")


if __name__ == "__main__":
    main()
