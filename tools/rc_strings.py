"""Reads the string table of a resource script the way the resource compiler sees it.

The texts are written once, as macros of a header that the resource script and the C++ code
both include; a checker that took them from anywhere else could drift from what the program
shows. So this follows the script's #include "..." lines (relative to the including file),
keeps every object-like #define, and expands the STRINGTABLE's entries through them: an id is
a number or a macro naming one, a text one or more string literals (adjacent ones joined, as
in C) or macros naming them.

Only what such a script and header need is understood; anything else in a STRINGTABLE (an id
computed by an expression, a macro with arguments) is an error rather than a guess.
"""

from __future__ import annotations

import os
import re

# A string literal (optionally wide), a number, a name or any other single character.
TOKEN = re.compile(r'L?"(?:[^"\\\n]|\\.)*"|0[xX][0-9a-fA-F]+|\d+|[A-Za-z_]\w*|\S')
COMMENT_OR_STRING = re.compile(r'/\*.*?\*/|//[^\n]*|"(?:[^"\\\n]|\\.)*"', re.S)
ESCAPE = re.compile(r'\\(x[0-9a-fA-F]+|[0-7]{1,3}|.)', re.S)
SIMPLE_ESCAPES = {"n": "\n", "t": "\t", "r": "\r", "a": "\a", "b": "\b", "f": "\f", "v": "\v"}
STRINGTABLE = re.compile(r"^\s*STRINGTABLE\b[^\n]*$", re.M)


class ScriptError(Exception):
    """The resource script cannot be read, or its string table not understood."""


def without_comments(text: str) -> str:
    # Keeps string literals whole, so that "//" inside a text is not taken for a comment.
    return COMMENT_OR_STRING.sub(lambda m: m[0] if m[0].startswith('"') else " ", text)


def unescape(literal: str) -> str:
    """The text of a C string literal, quotes and L prefix included."""
    def one(match: re.Match) -> str:
        code = match[1]
        if code[0] == "x":
            return chr(int(code[1:], 16))
        if code[0] in "01234567":
            return chr(int(code, 8))
        return SIMPLE_ESCAPES.get(code, code)
    return ESCAPE.sub(one, literal[literal.index('"') + 1:-1])


def read_source(path: str, defines: dict[str, list[str]], seen: set[str]) -> str:
    """The file's text without comments, after its includes and defines were taken in."""
    path = os.path.normpath(path)
    try:
        with open(path, encoding="utf-8", errors="replace") as file:
            text = without_comments(file.read().replace("\\\n", " "))
    except OSError as error:
        raise ScriptError(f"{path}: cannot read: {error.strerror}") from None
    seen.add(path)
    for line in text.splitlines():
        include = re.match(r'\s*#\s*include\s*"([^"]+)"', line)
        define = re.match(r"\s*#\s*define\s+([A-Za-z_]\w*)\b(?!\()(.*)", line)
        if include:
            # A header generated into the build tree (the version) holds no texts: one that
            # is not beside the script is left out.
            target = os.path.join(os.path.dirname(path), include[1])
            if os.path.isfile(target) and os.path.normpath(target) not in seen:
                read_source(target, defines, seen)
        elif define:
            defines[define[1]] = TOKEN.findall(define[2])
    return text


def expand(tokens: list[str], defines: dict[str, list[str]], depth: int = 0) -> list[str]:
    if depth > 32:
        raise ScriptError("a macro expands into itself")
    expanded = []
    for token in tokens:
        if token in defines:
            expanded += expand(defines[token], defines, depth + 1)
        else:
            expanded.append(token)
    return expanded


def table_tokens(text: str) -> list[str]:
    """The tokens between BEGIN (or {) and END (or }) of every STRINGTABLE, one list."""
    tokens = []
    for match in STRINGTABLE.finditer(text):
        rest = TOKEN.findall(text[match.end():])
        starts = [i for i, token in enumerate(rest) if token in ("BEGIN", "{")]
        if not starts:
            raise ScriptError("a STRINGTABLE has no BEGIN")
        body = rest[starts[0] + 1:]
        ends = [i for i, token in enumerate(body) if token in ("END", "}")]
        if not ends:
            raise ScriptError("a STRINGTABLE has no END")
        tokens += body[:ends[0]]
    return tokens


def string_table(script: str) -> list[tuple[int, str]]:
    """Every (id, text) of the resource script's string tables, in the script's order."""
    defines: dict[str, list[str]] = {}
    tokens = table_tokens(read_source(script, defines, set()))
    entries: list[tuple[int, str]] = []
    # Before expansion each entry is ID [,] TEXT...; after it, a number starts each entry.
    for token in expand(tokens, defines):
        if token == ",":
            continue
        if token.startswith(('"', 'L"')):
            if not entries:
                raise ScriptError(f"the string table starts with a text, not an id: {token}")
            string_id, text = entries[-1]
            entries[-1] = (string_id, text + unescape(token))
        elif re.fullmatch(r"0[xX][0-9a-fA-F]+|\d+", token):
            entries.append((int(token, 16 if token[1:2] in "xX" else 10), ""))
        else:
            raise ScriptError(f"cannot read the string table entry at {token!r} (not a "
                              f"number, a text, or a macro defined as one)")
    if not entries:
        raise ScriptError(f"{script}: no STRINGTABLE entries")
    return entries
