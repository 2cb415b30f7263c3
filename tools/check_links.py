#!/usr/bin/env python3
"""Checks that every relative link in README.md, CHANGELOG.md and docs/ leads to
a file or folder that exists (a link's #anchor aside). Links to other sites
(http:, https:, mailto:) and links inside code are not followed.

    tools/check_links.py

Prints each broken link as FILE:LINE: TARGET and exits with 1 when there is one.
"""
import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
# [text](target) and ![alt](target "title"); the target ends at a blank or ')'.
LINK = re.compile(r"!?\[[^\]]*\]\(\s*<?([^)\s>]+)>?(?:\s+\"[^\"]*\")?\s*\)")
# [label]: target, a reference definition.
DEFINITION = re.compile(r"^\s{0,3}\[[^\]]+\]:\s*<?(\S+?)>?(?:\s|$)")
CODE_SPAN = re.compile(r"`+[^`]*`+")
OTHER_SITE = re.compile(r"^[a-z][a-z0-9+.-]*:", re.IGNORECASE)


def documents():
    for name in ("README.md", "CHANGELOG.md"):
        if (ROOT / name).exists():
            yield ROOT / name
    yield from sorted((ROOT / "docs").rglob("*.md"))


def links(path):
    """(line, target) of each link outside code; a link's text may run over lines."""
    kept = []
    fenced = False
    for line in path.read_text(encoding="utf-8").splitlines():
        if line.lstrip().startswith(("```", "~~~")):
            fenced = not fenced
            kept.append("")
        else:
            kept.append("" if fenced else CODE_SPAN.sub("", line))
    text = "\n".join(kept)
    for match in LINK.finditer(text):
        yield text.count("\n", 0, match.start(1)) + 1, match.group(1)
    for number, line in enumerate(kept, 1):
        definition = DEFINITION.match(line)
        if definition:
            yield number, definition.group(1)


def main():
    if len(sys.argv) > 1:
        sys.exit(__doc__)
    broken = []
    checked = 0
    for document in documents():
        for number, target in links(document):
            if OTHER_SITE.match(target) or target.startswith("#"):
                continue
            checked += 1
            file = target.split("#", 1)[0]
            if not (document.parent / file).exists():
                broken.append(f"{document.relative_to(ROOT)}:{number}: {target}")
    for line in broken:
        print(line)
    print(f"links: {checked} relative links checked, {len(broken)} broken")
    return 1 if broken else 0


if __name__ == "__main__":
    sys.exit(main())
