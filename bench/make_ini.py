#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes a large INI file for timing varnel.

usage: make_ini.py SIZE_MB OUTPUT
Sections, options with "=" and ":", inline comments, quoted values holding
";", comment lines, commented-out options and blank lines, in a varied mix.
"""
import random
import sys

size = int(float(sys.argv[1]) * 1024 * 1024)
path = sys.argv[2]
rng = random.Random(11)
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
            line = "[%s]\n" % word()
        elif kind == 1:
            line = "; %s settings\n" % word()
        elif kind == 2:
            line = "%s = %s ; %s\n" % (word(), word(), word())
        elif kind == 3:
            line = "%s: %s\n" % (word(), word())
        elif kind == 4:
            line = "#%s=%s\n" % (word(), word())
        elif kind == 5:
            line = "%s = \"%s;%s\"\n" % (word(), word(), word())
        elif kind == 6:
            line = "# %s <%s & %s>\n" % (word(), word(), word())
        elif kind == 7:
            line = "\n"
        else:
            line = "%s = %s\n" % (word(), word())
        out.write(line)
        written += len(line)
