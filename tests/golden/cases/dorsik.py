# SPDX-License-Identifier: MIT
import os

example = "[General]\n# main settings\nname = Demo\nlist = a, b ; two items\n"
edge = (
    "[ Network ]\n[Network\n[]\n#[Old]\n#\n#note\n"
    "key: value\nurl: a=b\na=\n=x\npath = \"c;d\"\nx = <1 & 2>\nv = 'quoted'\n"
    "a=b;\na=b ;c\n# a -- b\n#a=b\n;k=v\nlist = 1,\n   2\n \t \n"
    "no rule here\nname:\n"
)
mended = (
    "first = 1\nx;y=1\nafter = 2\n"
    "v = it's\n[ 'x ]\nw = 'a\nq = 'ok'\n"
    "end = 1,"
)
long_value = ",".join("v%05d" % i for i in range(20000))  # ~120,000 bytes

def binary(n):
    # Bytes of every value, spread by a linear congruential generator.
    x, out = 12345, bytearray()
    for _ in range(n):
        x = (x * 1103515245 + 12345) % 2**31
        out.append(x >> 16 & 0xFF)
    return bytes(out)
nul_lines = b"[Gen\0eral]\nna\0me = De\0mo\0\nlist = a\0\0, b ; two\0 items\n\0\0\n\0"
bad_utf8 = b"[Caf\xe9]\nname = \xff\xfevalue\ncut = \xe2\x82\n# \xc0\xaf overlong\n"
CASES = [
    ("example-xml", "-xml conf.txt", {"conf.txt": example}, None),
    ("example-light", "-light conf.txt", {"conf.txt": example}, None),
    ("example-default-extension", "conf.txt", {"conf.txt": example}, None),
    ("edge-lines", "-xml edge.txt", {"edge.txt": edge}, None),
    ("edge-lines-light", "-light edge.txt", {"edge.txt": edge}, None),
    ("empty-source", "-xml empty.txt", {"empty.txt": ""}, None),
    ("empty-source-light", "-light empty.txt", {"empty.txt": ""}, None),
    ("mended-lines", "-xml m.txt", {"m.txt": mended}, None),
    ("crlf-line-ends", "-xml conf.txt", {"conf.txt": example.replace("\n", "\r\n")}, None),
    ("byte-order-mark", "-xml conf.txt", {"conf.txt": "\xef\xbb\xbf[First]\nk = v\n".encode('latin-1')}, None),
    ("long-line", "-xml long.txt", {"long.txt": "[Big]\nlist = " + long_value + "\nafter = 1\n"}, None),
    ("usage-no-arguments", "", None, None),
    ("usage-four-arguments", "-light -xml a b", {"a": example}, None),
    ("usage-switches-only", "-light", None, None),
    ("usage-unknown-switch-only", "-x", None, None),
    ("usage-derived-target-is-source", "conf.uc", {"conf.uc": example}, None),
    ("usage-target-equal-ignoring-case", "CONF.TXT conf.txt", {"CONF.TXT": example}, None),
    ("light-then-xml", "-light -xml conf.txt", {"conf.txt": example}, None),
    ("xml-then-light", "-xml -light conf.txt", {"conf.txt": example}, None),
    ("name-without-dot", "conf", {"conf": example}, None),
    ("last-dot-decides", "a.b.c", {"a.b.c": example}, None),
    ("dot-in-directory", "dir.old/conf", {"dir.old/conf": example}, None),
    ("explicit-target-extra-ignored", "a b c", {"a": example}, None),
    ("unknown-switch-dropped", "-LIGHT conf.txt", {"conf.txt": example}, None),
    ("switch-after-source-is-a-name", "conf.txt -xml", {"conf.txt": example}, None),
    ("missing-source", "none.txt", None, None),
    ("directory-source", "dir.d out.xml", None, "mkdir dir.d\n"),
    ("target-in-missing-directory", "conf.txt nodir/out.xml", {"conf.txt": example}, None),
    ("target-full-device", "conf.txt /dev/full", {"conf.txt": example}, None),
    ("target-is-source-by-link", "conf.txt link.xml", {"conf.txt": example}, "ln -s conf.txt link.xml\n"),
    ("target-is-source-by-path", "conf.txt ./conf.txt", {"conf.txt": example}, None),
    ("binary-source", "-xml data.bin", {"data.bin": binary(4096)}, None),
    ("nul-bytes-in-line", "-xml conf.txt", {"conf.txt": nul_lines}, None),
    ("invalid-utf8", "-xml conf.txt", {"conf.txt": bad_utf8}, None),
    ("cr-only-line-ends", "-xml conf.txt", {"conf.txt": example.replace("\n", "\r")}, None),
]

# A non-blank line no rule takes is kept as a "line" element; the XML form
# writes a tab or carriage return in a value as a reference.
kept = "[General]\n#\n#note\n;\nx;y=1\nno-debsig\nkey = a\tb ; c\td\n[x\ty]\n# 'q' & \"r\" -- s\nsplit = 1,\n  2\nrest -- 'x'\n"
CASES += [
    ("kept-lines", "-xml kept.conf", {"kept.conf": kept}, None),
    ("kept-lines-light", "-light kept.conf", {"kept.conf": kept}, None),
]

# Sources in the encodings either program detects.
exec(open(os.path.join(os.path.dirname(__file__), "encodings.py")).read())
CASES += encoding_cases("-xml", "conf.txt")
CASES += [
    ("control-characters-light", "-light conf.txt", {"conf.txt": controls}, None),
]

# "-" names standard input as the source and standard output as the target;
# the document then goes alone to standard output, every message to
# standard error, the closing line last.
wide_bell = "\ufeff[General]\r\nbell = a\x07b\r\n".encode("utf-16-le")
CASES += [
    ("stdin-into-named-target", "- conf.txt", {"conf.txt": "earlier\n"}, None, {"stdin": example}),
    ("filter", "-xml - -", None, None, {"stdin": example}),
    ("filter-light-target-implied", "-light -", None, None, {"stdin": example}),
    ("named-source-to-stdout", "conf.txt -", {"conf.txt": example}, None),
    ("filter-notes-before-closing-line", "- -", None, None, {"stdin": wide_bell}),
    ("filter-empty-input", "- -", None, None),
    ("help-before-other-rules", "conf.txt --help --version", {"conf.txt": example}, None),
    ("version-before-argument-count", "-x a b c --version --help", None, None),
]
