#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes a large configuration file for timing dorsik.

usage: make_conf.py SIZE_MB OUTPUT [LONG_LINE_KB]
Titles, properties with "=" and ":", comma lists, continuation lines,
comment lines, trailing comments and quoted values, in a repeating but
varied mix. With LONG_LINE_KB, every 1000th property carries a value list of
about that many kilobytes.
"""
import random
import sys

size = int(float(sys.argv[1]) * 1024 * 1024)
path = sys.argv[2]
long_kb = int(sys.argv[3]) if len(sys.argv) > 3 else 0
rng = random.Random(7)
words = ["alpha", "beta", "gamma", "delta", "host", "port", "path", "user", "mode", "level"]

def word():
    return rng.choice(words) + str(rng.randrange(1000))

written = 0
n = 0
with open(path, "w") as out:
    while written < size:
        n += 1
        kind = n % 10
        if kind == 0:
            line = "[%s]\n" % word().capitalize()
        elif kind == 1:
            line = "# %s -- %s settings\n" % (word(), word())
        elif kind == 2:
            line = "%s = %s, %s, %s ; %s\n" % (word(), word(), word(), word(), word())
        elif kind == 3:
            line = "%s: %s\n" % (word(), word())
        elif kind == 4:
            line = "%s = %s,\n    %s,\n    %s\n" % (word(), word(), word(), word())
        elif kind == 5:
            line = "%s = \"%s;%s\"\n" % (word(), word(), word())
        elif kind == 6:
            line = "%s = '%s'\n" % (word(), word())
        elif kind == 7:
            line = "; %s <%s & %s>\n" % (word(), word(), word())
        elif kind == 8:
            line = "\n"
        else:
            line = "%s = %s\n" % (word(), word())
        if long_kb and n % 1000 == 5:
            line = "%s = %s\n" % (word(), ", ".join(word() for _ in range(long_kb * 1024 // 10)))
        out.write(line)
        written += len(line)
