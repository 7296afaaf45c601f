# SPDX-License-Identifier: MIT
import os

example = "[main]\ncolor = red ; note\n"
reader = (
    "; Settings\n"
    "[main]\n"
    "[main\n"
    "[]\n"
    "x [other]\n"
    "color = red ; note\n"
    "path: /usr/bin\n"
    "url: a=b\n"
    "key =\n"
    "=value\n"
    "key\n"
    "title = \"a;b\"\n"
    "#size=10\n"
    "#size=12 ; old\n"
    "# a comment\n"
    ";;x=1\n"
    "#\n"
    "  # note\n"
    "  # a=1\n"
    "\n"
    "[main]\n"
    "quoted = 'it''s' & <more>\n"
)
regen = "[main]\ncolor=red\n#size=10\n; note\n"
long_value = "x" * 120000

def binary(n):
    # Bytes of every value, spread by a linear congruential generator.
    x, out = 12345, bytearray()
    for _ in range(n):
        x = (x * 1103515245 + 12345) % 2**31
        out.append(x >> 16 & 0xFF)
    return bytes(out)
nul_lines = b"[ma\0in]\ncol\0or = r\0ed ; no\0te\n\0\n#si\0ze=10\n\0"
bad_utf8 = b"[caf\xe9]\nname = \xff\xfevalue\ncut = \xe2\x82\n# \xc0\xaf overlong\n"
CASES = [
    ("example", "setup.ini", {"setup.ini": example}, None),
    ("example-expand", "-expand setup.ini", {"setup.ini": example}, None),
    ("example-light", "-light setup.ini", {"setup.ini": example}, None),
    ("expand-light", "-expand -light setup.ini", {"setup.ini": example}, None),
    ("light-expand", "-light -expand setup.ini", {"setup.ini": example}, None),
    ("reader-lines", "-expand setup.ini", {"setup.ini": reader}, None),
    ("reader-lines-default", "setup.ini", {"setup.ini": reader}, None),
    ("regenerated", "setup.ini", {"setup.ini": regen}, None),
    ("regenerated-expand", "-expand setup.ini", {"setup.ini": regen}, None),
    ("empty-source", "-expand setup.ini", {"setup.ini": ""}, None),
    ("no-final-line-feed", "-expand setup.ini", {"setup.ini": "[a]\nb = c"}, None),
    ("crlf-line-ends", "-expand setup.ini", {"setup.ini": example.replace("\n", "\r\n")}, None),
    ("byte-order-mark", "-expand setup.ini", {"setup.ini": "\xef\xbb\xbf[main]\nk = v\n".encode("latin-1")}, None),
    ("long-line", "-expand setup.ini", {"setup.ini": "[big]\nvalue = " + long_value + "\nafter = 1\n"}, None),
    ("explicit-target", "setup.ini out.xml", {"setup.ini": example}, None),
    ("explicit-target-extra-ignored", "setup.ini out.xml extra", {"setup.ini": example}, None),
    ("switch-after-source-is-a-name", "setup.ini -light", {"setup.ini": example}, None),
    ("unknown-switch-expanded", "-expanded setup.ini", {"setup.ini": example}, None),
    ("switch-case-matters", "-Light setup.ini", {"setup.ini": example}, None),
    ("last-dot-decides", "a.b.ini", {"a.b.ini": example}, None),
    ("name-without-dot", "conf", {"conf": example}, None),
    ("dot-in-directory", "dir.d/conf", {"dir.d/conf": example}, None),
    ("usage-no-arguments", "", None, None),
    ("usage-four-arguments", "-light a b c", {"a": example}, None),
    ("usage-switches-only", "-light -expand", None, None),
    ("usage-derived-target-is-source", "setup.xml", {"setup.xml": example}, None),
    ("usage-target-equal-ignoring-case", "SETUP.INI setup.ini", {"SETUP.INI": example}, None),
    ("missing-source", "missing.ini", None, None),
    ("directory-source", "dir.ini", None, "mkdir dir.ini\n"),
    ("target-in-missing-directory", "setup.ini nodir/out.xml", {"setup.ini": example}, None),
    ("target-full-device", "setup.ini /dev/full", {"setup.ini": example}, None),
    ("intermediate-unwritable", "setup.ini", {"setup.ini": example}, "mkdir setup.tmp\n"),
    ("target-is-source-by-link", "setup.ini link.xml", {"setup.ini": example}, "ln -s setup.ini link.xml\n"),
    ("target-is-source-by-path", "setup.ini ./setup.ini", {"setup.ini": example}, None),
    ("intermediate-is-source", "setup.tmp", {"setup.tmp": example}, None),
    ("binary-source", "-expand data.bin", {"data.bin": binary(4096)}, None),
    ("nul-bytes-in-line", "-expand setup.ini", {"setup.ini": nul_lines}, None),
    ("nul-bytes-in-line-default", "setup.ini", {"setup.ini": nul_lines}, None),
    ("invalid-utf8", "-expand setup.ini", {"setup.ini": bad_utf8}, None),
    ("cr-only-line-ends", "-expand setup.ini", {"setup.ini": example.replace("\n", "\r")}, None),
]
CASES += [
    ("kept-line-replaces-target", "setup.ini", {"setup.ini": "[]", "setup.xml": "<stale />\n"}, None),
]

# Lines no rule takes are kept as "line" elements, and in the default mode
# keys and section names become XML names through _xHHHH_ escapes.
packager = (
    "# Options for the package tool\n"
    "no-debsig\n"
    "log /var/log/pkg.log\n"
    "  # an indented comment\n"
    "[metadata]\n"
    "name = sample\n"
    "classifiers =\n"
    "    Programming Language :: Python\n"
    "    License :: OSI Approved\n"
    "a;b=c;d\n"
    "#a;b=c\n"
    "\"quoted\"\n"
    "[\n"
)
desktop = (
    "[Desktop Entry]\n"
    "Name=Viewer\n"
    "Name[de]=Betrachter\n"
    "Exec=viewer %U\n"
    "[testenv:py37]\n"
    "deps = pytest\n"
    "[D-BUS Service]\n"
    "1.2.3.4 = address\n"
    "max_xfer = 10\n"
)
collisions = (
    "[caf\u00e9]\n"
    "active = yes\n"
    "ACTIVE = false ; old\n"
    "comment = c ; note\n"
    "#comment = c ; gone\n"
    "xmlns = x\n"
    "[blank]\n"
    "[line]\n"
    "=value\n"
    "key_x0041_ = escape-shaped\n"
).encode() + b"bad\xffbyte = 1\n"
CASES += [
    ("kept-lines", "pkg.cfg", {"pkg.cfg": packager}, None),
    ("escaped-names", "viewer.desktop", {"viewer.desktop": desktop}, None),
    ("name-collisions", "c.ini", {"c.ini": collisions}, None),
    ("escaped-names-expand", "-expand viewer.desktop", {"viewer.desktop": desktop}, None),
    ("name-collisions-light", "-light c.ini", {"c.ini": collisions}, None),
    # "-document" in front of the source is not counted among the arguments.
    ("document", "-document -expand pkg.cfg out.xml", {"pkg.cfg": packager}, None),
    ("document-light-filter", "-document -light - -", None, None, {"stdin": desktop}),
]

# Sources in the encodings either program detects.
exec(open(os.path.join(os.path.dirname(__file__), "encodings.py")).read())
CASES += encoding_cases("-expand", "setup.ini")

# "-" names standard input as the source and standard output as the target;
# a filter run writes no intermediate file, and its messages go to
# standard error.
warned = "[G\u00e9n\u00e9ral]\nbad key = 1\nbell = a\x07b\n".encode("cp1252")
CASES += [
    ("filter-expand", "-expand - -", None, None, {"stdin": example}),
    ("filter-light", "-light - -", None, None, {"stdin": example}),
    ("filter-warnings-and-notes", "-", None, None, {"stdin": warned}),
    ("filter-empty-input", "- -", None, None),
    ("named-source-to-stdout", "setup.ini -", {"setup.ini": example}, None),
    ("missing-source-to-stdout", "missing.ini -", None, None),
    ("stdin-into-named-target", "- out.xml", None, None, {"stdin": example}),
    ("help-before-other-rules", "setup.ini --help", {"setup.ini": example}, None),
    ("version-before-argument-count", "-light a b c --version --help", None, None),
]
