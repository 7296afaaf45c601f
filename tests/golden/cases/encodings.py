# SPDX-License-Identifier: MIT
# Sources as Windows and Linux tools write them, for both programs' lists:
# each is read in the encoding its first bytes tell and converted to UTF-8.
accented = "[G\u00e9n\u00e9ral]\nprice = 5 \u20ac\nquote = \u201chi\u201d\nname = M\u00fcller\n"
latin = "[Stra\u00dfe]\nname = M\u00fcller\nsign = \u00b1\u00bd\n"
wide = "\ufeff[General]\r\nname = Zo\u00eb \U0001F600\r\n"
controls = "[General]\nbell = a\x07b\nvtab = x\x0by\x0b\nfeed = \x0cz\n"
later_bad = b"[Caf\xc3\xa9]\nname = ok\ncut = a\xff b\n"


def encoding_cases(switch, source):
    """The cases of one program, run as `switch source`."""
    args = switch + " " + source
    return [
        ("windows-1252", args, {source: accented.encode("cp1252")}, None),
        ("latin-1", args, {source: latin.encode("latin-1")}, None),
        ("utf-16le", args, {source: wide.encode("utf-16-le")}, None),
        ("utf-16be", args, {source: wide.encode("utf-16-be")}, None),
        ("control-characters", args, {source: controls}, None),
        ("invalid-utf8-later-line", args, {source: later_bad}, None),
    ]
