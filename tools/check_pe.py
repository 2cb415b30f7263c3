#!/usr/bin/env python3
"""Checks facts about a Windows PE executable without running it.

CI cross-builds the 32-bit launcher with MinGW but has no Windows to run it on, so this looks
inside the file instead: machine type, subsystem, the DLLs it imports (to prove the C++ runtime
is linked statically) and the resources windres compiled in (string table, icon, bitmap, dialog
and its controls' styles, version information, manifest).

The string table is held to the resource script it was compiled from (rc_strings.py reads it),
so that every id is checked against the one place its text is written.

pefile (Debian's python3-pefile) reads the container, the imports, the string table and the
version block; what it does not decode (icon groups, bitmap headers, dialog templates) is read
here from the resource's bytes.

Every check is optional and runs only when asked for. Exit status: 0 if all requested checks
pass, 1 if any fails (one line per failure), 2 on a usage error or a file that cannot be read
or is not a valid PE image.
"""

from __future__ import annotations

import argparse
import re
import struct
import sys
from dataclasses import dataclass
from typing import Optional, Union

try:
    import pefile
except ImportError:
    print(f"{sys.argv[0]} needs pefile: install python3-pefile (tools/bootstrap does)",
          file=sys.stderr)
    sys.exit(2)

from rc_strings import ScriptError, string_table

MACHINES = {"i386": pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_I386"],
            "x86-64": pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_AMD64"]}
MACHINE_NAMES = {number: name for name, number in MACHINES.items()}
GUI = pefile.SUBSYSTEM_TYPE["IMAGE_SUBSYSTEM_WINDOWS_GUI"]

RT = pefile.RESOURCE_TYPE
DS_SETFONT = 0x40
PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"
PNG_CHANNELS = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}  # By PNG colour type.

# A resource is identified either by a number or by an (upper-case) name.
ResId = Union[int, str]


class BadResource(Exception):
    """A resource exists but its contents are not in the expected format (a check failure)."""


def fields(fmt: str, data: bytes, offset: int, what: str) -> tuple:
    try:
        return struct.unpack_from(fmt, data, offset)
    except struct.error:
        raise BadResource(f"is truncated: its {what} runs past the end") from None


def show(text: str) -> str:
    """Quotes a text for a one-line message, escaping line feeds as C does."""
    escaped = text.replace("\\", "\\\\").replace("\n", "\\n")
    escaped = "".join(c if c >= " " else f"\\x{ord(c):02x}" for c in escaped)
    return f'"{escaped}"'


def show_id(res_id: ResId) -> str:
    return str(res_id) if isinstance(res_id, int) else f'"{res_id}"'


def entry_id(entry) -> ResId:
    # Resource names are case-insensitive (rc stores them upper-case).
    return entry.id if entry.name is None else str(entry.name).upper()


@dataclass(frozen=True)
class Resource:
    name: ResId
    data: bytes


def find_resources(pe: pefile.PE, type_id: int, name: Optional[ResId] = None) -> list[Resource]:
    """Resources of one type (and id), one per language, in the order of the file."""
    found = []
    root = getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)
    for kind in root.entries if root else []:
        if entry_id(kind) != type_id:
            continue
        for named in kind.directory.entries:
            if name is not None and entry_id(named) != name:
                continue
            for language in named.directory.entries:
                data = pe.get_data(language.data.struct.OffsetToData, language.data.struct.Size)
                found.append(Resource(entry_id(named), data))
    return found


def find_resource(pe: pefile.PE, type_id: int, name: ResId) -> Optional[Resource]:
    found = find_resources(pe, type_id, name)
    return found[0] if found else None


@dataclass(frozen=True)
class ImageFormat:
    width: int
    height: int
    bits: int

    def __str__(self) -> str:
        return f"{self.width}x{self.height}x{self.bits}"


def icon_group(data: bytes) -> list[tuple[ImageFormat, int]]:
    """The images a GRPICONDIR lists: like an .ico header, but each entry names the RT_ICON
    resource that holds the image instead of giving a file offset."""
    _, kind, count = fields("<HHH", data, 0, "GRPICONDIR")
    if kind != 1:
        raise BadResource(f"is not an icon group (type {kind})")
    entries = []
    for i in range(count):
        width, height, _, _, _, bits, _, icon_id = fields("<BBBBHHIH", data, 6 + 14 * i,
                                                          "GRPICONDIR entry")
        # A width or height of 0 means 256.
        entries.append((ImageFormat(width or 256, height or 256, bits), icon_id))
    return entries


def dib_header(data: bytes) -> tuple[int, ImageFormat, int]:
    """Header size, format (height signed: negative is top-down) and colours used of the
    BITMAPINFOHEADER (or old BITMAPCOREHEADER) at the start of a DIB."""
    (size,) = fields("<I", data, 0, "bitmap header")
    if size == 12:
        _, width, height, _, bits = fields("<IHHHH", data, 0, "BITMAPCOREHEADER")
        return size, ImageFormat(width, height, bits), 0
    if size < 40:
        raise BadResource(f"has an unknown bitmap header of {size} bytes")
    _, width, height, _, bits, _, _, _, _, used = fields("<IiiHHIIiiI", data, 0,
                                                         "BITMAPINFOHEADER")
    return size, ImageFormat(width, height, bits), used


def icon_image_format(data: bytes) -> ImageFormat:
    """An RT_ICON image is a PNG or a DIB whose height counts the XOR and AND masks together,
    i.e. twice the icon's height."""
    if data.startswith(PNG_SIGNATURE):
        width, height, depth, colour_type = fields(">IIBB", data, 16, "PNG IHDR")
        return ImageFormat(width, height, depth * PNG_CHANNELS.get(colour_type, 1))
    _, image, _ = dib_header(data)
    return ImageFormat(image.width, abs(image.height) // 2, image.bits)


def align4(offset: int) -> int:
    return (offset + 3) & ~3


def skip_sz_or_ord(data: bytes, offset: int, what: str) -> int:
    """The offset after a menu, class or title field: 0xFFFF and an ordinal, or a
    NUL-terminated UTF-16 string (empty: just the NUL)."""
    if fields("<H", data, offset, what) == (0xFFFF,):
        return offset + 4
    while fields("<H", data, offset, what) != (0,):
        offset += 2
    return offset + 2


def dialog_ex(data: bytes) -> tuple[int, int, int, int, list[int]]:
    """Style, exStyle, cx, cy and the controls' styles of a DLGTEMPLATEEX; a plain
    DLGTEMPLATE does not start with 1, 0xFFFF."""
    if fields("<HH", data, 0, "dialog template") != (1, 0xFFFF):
        raise BadResource("is a plain DIALOG template, not DIALOGEX")
    _, _, _, ex_style, style, items, _, _, cx, cy = fields("<HHIIIHhhhh", data, 0,
                                                           "DLGTEMPLATEEX")
    offset = 26
    for what in ("menu", "window class", "title"):
        offset = skip_sz_or_ord(data, offset, f"dialog {what}")
    if style & DS_SETFONT:
        offset = skip_sz_or_ord(data, offset + 6, "dialog typeface")
    control_styles = []
    for _ in range(items):
        offset = align4(offset)
        (control_style,) = fields("<8xI", data, offset, "DLGITEMTEMPLATEEX")
        offset += 24
        for what in ("control class", "control text"):
            offset = skip_sz_or_ord(data, offset, what)
        (extra,) = fields("<H", data, offset, "control creation data")
        offset += 2 + extra
        control_styles.append(control_style)
    return style, ex_style, cx, cy, control_styles


def dotted(version: tuple[int, ...]) -> str:
    return ".".join(map(str, version))


def split_version(most: int, least: int) -> tuple[int, int, int, int]:
    return most >> 16, most & 0xFFFF, least >> 16, least & 0xFFFF


class Report:
    """Collects the outcome of every check, so that one run reports all failures at once."""

    def __init__(self):
        self.failures: list[str] = []
        self.passed: list[str] = []

    def fail(self, message: str) -> None:
        self.failures.append(message)

    def ok(self, description: str) -> None:
        self.passed.append(description)


# --- Checks ----------------------------------------------------------------------------------


def check_machine(pe: pefile.PE, expected: str, report: Report) -> None:
    machine = pe.FILE_HEADER.Machine
    if machine == MACHINES[expected]:
        report.ok(f"machine {expected}")
    else:
        # pefile's tables map both ways: a number gives its IMAGE_FILE_MACHINE_ name.
        other = pefile.MACHINE_TYPE.get(machine, f"{machine:#x}")
        actual = MACHINE_NAMES.get(machine, other.removeprefix("IMAGE_FILE_MACHINE_").lower())
        report.fail(f"machine is {actual}, expected {expected}")


def check_gui(pe: pefile.PE, report: Report) -> None:
    subsystem = pe.OPTIONAL_HEADER.Subsystem
    if subsystem == GUI:
        report.ok("GUI subsystem")
    else:
        name = pefile.SUBSYSTEM_TYPE.get(subsystem, "unknown").removeprefix("IMAGE_SUBSYSTEM_")
        report.fail(f"subsystem is {subsystem} ({name}), expected 2 (WINDOWS_GUI)")


def check_dlls(pe: pefile.PE, allowed: set[str], report: Report) -> None:
    # A delay-loaded DLL is just as much a dependency that must ship with the program.
    entries = getattr(pe, "DIRECTORY_ENTRY_IMPORT", []) + \
        getattr(pe, "DIRECTORY_ENTRY_DELAY_IMPORT", [])
    dlls = list(dict.fromkeys(entry.dll.decode("ascii", "replace") for entry in entries))
    unexpected = [dll for dll in dlls if dll.lower() not in allowed]
    for dll in unexpected:
        report.fail(f"imports {dll}, which is not in the allowed list")
    if not unexpected:
        report.ok(f"imports only allowed DLLs ({', '.join(dlls) or 'none'})")


def string_resources(pe: pefile.PE) -> dict[int, str]:
    """Every string of the table by id. Strings are stored in blocks of 16 (block id = string
    id / 16 + 1); like LoadString, take each block's first language, where an absent string
    has length 0."""
    strings: dict[int, str] = {}
    blocks = {block.name: block for block in reversed(find_resources(pe, RT["RT_STRING"]))}
    for block_id, block in blocks.items():
        if isinstance(block_id, int) and block_id > 0:
            pefile.parse_strings(block.data, (block_id - 1) * 16, strings)
    return strings


def check_strings(pe: pefile.PE, expected: list[tuple[int, str]], report: Report) -> None:
    """The string table holds exactly the expected texts."""
    strings = string_resources(pe)
    for string_id in sorted(strings.keys() - {string_id for string_id, _ in expected}):
        report.fail(f"has string {string_id} {show(strings[string_id])}, which the resource "
                    f"script does not define")
    matched = []
    for string_id, text in expected:
        actual = strings.get(string_id)
        if actual is None:
            report.fail(f"has no string {string_id}")
            continue
        # Some resource compilers append a terminating NUL; it is not part of the text.
        actual = actual.rstrip("\0")
        if actual != text:
            report.fail(f"string {string_id} is {show(actual)}, expected {show(text)}")
        else:
            matched.append(str(string_id))
    if matched:
        report.ok(f"string{'s' if len(matched) > 1 else ''} {', '.join(matched)}")


def check_icon(pe: pefile.PE, icon_id: ResId, expected: Optional[ImageFormat],
               report: Report) -> None:
    name = f"icon {show_id(icon_id)}"
    group = find_resource(pe, RT["RT_GROUP_ICON"], icon_id)
    if group is None:
        report.fail(f"has no {name}")
        return
    try:
        entries = icon_group(group.data)
        listed = ", ".join(str(image) for image, _ in entries) or "no images"
        if expected is None:
            report.ok(f"{name} ({listed})")
            return
        if len(entries) != 1:
            report.fail(f"{name} has {len(entries)} images ({listed}), expected one {expected}")
            return
        listed_format, image_id = entries[0]
        image = find_resource(pe, RT["RT_ICON"], image_id)
        if image is None:
            report.fail(f"{name} refers to missing image {image_id}")
            return
        actual = icon_image_format(image.data)
    except BadResource as error:
        report.fail(f"{name} {error}")
        return
    if actual != expected:
        report.fail(f"{name}'s image is {actual}, expected {expected}")
    elif listed_format.bits and listed_format != actual:
        # The group entry is what Windows uses to pick an image, so it must agree with it.
        report.fail(f"{name} lists its image as {listed_format}, but the image is {actual}")
    else:
        report.ok(f"{name} ({listed})")


def check_bitmap(pe: pefile.PE, bitmap_id: ResId, expected: Optional[ImageFormat],
                 report: Report) -> None:
    name = f"bitmap {show_id(bitmap_id)}"
    bitmap = find_resource(pe, RT["RT_BITMAP"], bitmap_id)
    if bitmap is None:
        report.fail(f"has no {name}")
        return
    if expected is None:
        report.ok(name)
        return
    try:
        header_size, actual, colours_used = dib_header(bitmap.data)
    except BadResource as error:
        report.fail(f"{name} {error}")
        return
    if actual != expected:
        # A negative height means a top-down DIB; say so, since it is easy to miss.
        top_down = " (top-down)" if actual.height < 0 else ""
        report.fail(f"{name} is {actual}{top_down}, expected {expected}")
    elif actual.bits == 8 and colours_used not in (0, 256):
        report.fail(f"{name} has a colour table of {colours_used} entries, expected 256")
    elif actual.bits == 8 and len(bitmap.data) < header_size + 256 * 4:
        report.fail(f"{name} is too short to hold its 256-entry colour table")
    else:
        report.ok(f"{name} ({actual})")


def check_dialog(pe: pefile.PE, dialog_id: ResId, extended: bool,
                 control_styles: Optional[list[int]], report: Report) -> None:
    name = f"dialog {show_id(dialog_id)}"
    dialog = find_resource(pe, RT["RT_DIALOG"], dialog_id)
    if dialog is None:
        report.fail(f"has no {name}")
        return
    if not extended:
        report.ok(name)
        return
    try:
        style, ex_style, cx, cy, styles = dialog_ex(dialog.data)
    except BadResource as error:
        report.fail(f"{name} {error}")
        return
    report.ok(f"{name} (DIALOGEX, style {style:#010x}, exStyle {ex_style:#010x}, "
              f"cx {cx}, cy {cy})")
    if control_styles is not None:
        found = ", ".join(f"{style:#010x}" for style in styles)
        if styles != control_styles:
            expected = ", ".join(f"{style:#010x}" for style in control_styles)
            report.fail(f"{name} has controls of style {found or 'none'}, expected {expected}")
        else:
            report.ok(f"{name} controls of style {found}")


def check_version(pe: pefile.PE, expected: Optional[tuple[int, ...]],
                  expected_strings: list[tuple[str, str]], report: Report) -> None:
    if not find_resources(pe, RT["RT_VERSION"]):
        report.fail("has no VERSIONINFO resource")
        return
    fixed = getattr(pe, "VS_FIXEDFILEINFO", None)
    if not fixed:
        report.fail("VERSIONINFO has no VS_FIXEDFILEINFO")
        return
    if expected:
        good = True
        for what, most, least in (("FileVersion", "FileVersionMS", "FileVersionLS"),
                                  ("ProductVersion", "ProductVersionMS", "ProductVersionLS")):
            actual = split_version(getattr(fixed[0], most), getattr(fixed[0], least))
            if actual != expected:
                report.fail(f"{what} is {dotted(actual)}, expected {dotted(expected)}")
                good = False
        if good:
            report.ok(f"version {dotted(expected)}")

    # (key, value) for each string of every StringFileInfo table (one a language), in order.
    strings = [(key.decode("utf-8", "replace"), value.decode("utf-8", "replace"))
               for info in (pe.FileInfo[0] if getattr(pe, "FileInfo", None) else [])
               if info.Key == b"StringFileInfo"
               for table in info.StringTable for key, value in table.entries.items()]
    matched = []
    for key, text in expected_strings:
        values = [value for name, value in strings if name == key]
        if not values:
            report.fail(f"version information has no {key}")
        # Every language's table must carry the right text, not just one of them.
        elif any(value != text for value in values):
            wrong = next(value for value in values if value != text)
            report.fail(f"version {key} is {show(wrong)}, expected {show(text)}")
        else:
            matched.append(key)
    if matched:
        report.ok(f"version strings {', '.join(matched)}")


def check_manifest(pe: pefile.PE, report: Report) -> None:
    manifests = find_resources(pe, RT["RT_MANIFEST"])
    if manifests:
        report.ok(f"manifest {', '.join(show_id(m.name) for m in manifests)}")
    else:
        report.fail("has no manifest resource")


def run_checks(pe: pefile.PE, args: argparse.Namespace) -> Report:
    report = Report()
    if args.machine:
        check_machine(pe, args.machine, report)
    if args.gui:
        check_gui(pe, report)
    if args.allowed_dlls is not None:
        check_dlls(pe, args.allowed_dlls, report)
    if args.strings_from:
        check_strings(pe, args.strings_from, report)
    if args.icon is not None:
        check_icon(pe, args.icon, args.icon_format, report)
    for bitmap_id, expected in args.bitmap or []:
        check_bitmap(pe, bitmap_id, expected, report)
    if args.dialog is not None:
        check_dialog(pe, args.dialog, args.dialog_ex, args.control_styles, report)
    if args.version or args.version_string:
        check_version(pe, args.version, args.version_string or [], report)
    if args.manifest:
        check_manifest(pe, report)
    return report


# --- Command line ----------------------------------------------------------------------------


def parse_res_id(text: str) -> ResId:
    """A resource id: a number (decimal or 0x hex) or a name."""
    try:
        number = int(text, 16) if text.lower().startswith("0x") else int(text)
    except ValueError:
        if not text or text[0].isdigit():
            raise argparse.ArgumentTypeError(f"bad resource id {text!r}")
        return text.upper()
    if not 0 <= number <= 0xFFFF:
        raise argparse.ArgumentTypeError(f"resource id {text} is out of range")
    return number


def parse_format(text: str) -> ImageFormat:
    match = re.fullmatch(r"(\d+)x(\d+)x(\d+)", text)
    if not match:
        raise argparse.ArgumentTypeError(f"bad image format {text!r}, expected e.g. 32x32x4")
    return ImageFormat(*map(int, match.groups()))


def read_string_table(path: str) -> list[tuple[int, str]]:
    try:
        return string_table(path)
    except ScriptError as error:
        raise argparse.ArgumentTypeError(str(error)) from None


def parse_bitmap_option(text: str) -> tuple[ResId, Optional[ImageFormat]]:
    bitmap_id, sep, image_format = text.partition("=")
    return parse_res_id(bitmap_id), parse_format(image_format) if sep else None


def parse_version(text: str) -> tuple[int, ...]:
    parts = text.split(".")
    if len(parts) != 4 or not all(p.isdigit() and int(p) <= 0xFFFF for p in parts):
        raise argparse.ArgumentTypeError(f"expected a version A.B.C.D, got {text!r}")
    return tuple(map(int, parts))


def parse_key_value(text: str) -> tuple[str, str]:
    key, sep, value = text.partition("=")
    if not sep or not key:
        raise argparse.ArgumentTypeError(f"expected KEY=VALUE, got {text!r}")
    return key, value


def parse_dll_list(text: str) -> set[str]:
    return {name.strip().lower() for name in text.split(",") if name.strip()}


def build_parser() -> argparse.ArgumentParser:
    parser = argparse.ArgumentParser(
        description="Check facts about a Windows PE executable without running it. "
                    "Exit status: 0 all checks pass, 1 a check failed, 2 usage error or "
                    "unreadable/non-PE file.")
    parser.add_argument("file", help="the .exe or .dll to inspect")
    parser.add_argument("--machine", choices=sorted(MACHINES), help="COFF machine type")
    parser.add_argument("--gui", action="store_true", help="the subsystem is WINDOWS_GUI")
    parser.add_argument("--allowed-dlls", metavar="LIST", type=parse_dll_list,
                        help="comma-separated DLLs (any case) that may be imported; any other "
                             "import fails")
    parser.add_argument("--strings-from", metavar="RC", type=read_string_table,
                        help="the string table holds exactly the STRINGTABLE of this resource "
                             "script, its ids and texts taken through the headers it includes")
    parser.add_argument("--icon", metavar="ID", type=parse_res_id,
                        help="an icon group with this id exists (its images are reported)")
    parser.add_argument("--icon-format", metavar="WxHxBPP", type=parse_format,
                        help="with --icon: the group has one image, of this format")
    parser.add_argument("--bitmap", metavar="ID[=WxHxBPP]", action="append",
                        type=parse_bitmap_option,
                        help="a bitmap with this id exists, bottom-up with this format if "
                             "given (8 bpp: with a 256-colour table); repeatable")
    parser.add_argument("--dialog", metavar="ID", type=parse_res_id,
                        help="a dialog template with this id exists")
    parser.add_argument("--dialog-ex", action="store_true",
                        help="with --dialog: it is a DIALOGEX template (style, exStyle and "
                             "size are reported)")
    parser.add_argument("--control-styles", metavar="STYLE[,STYLE...]",
                        type=lambda text: [int(style, 0) for style in text.split(",")],
                        help="with --dialog-ex: the dialog's controls, in order, have these "
                             "styles (e.g. 0x50021A0E)")
    parser.add_argument("--version", metavar="A.B.C.D", type=parse_version,
                        help="FileVersion and ProductVersion of the VERSIONINFO")
    parser.add_argument("--version-string", metavar="KEY=VALUE", action="append",
                        type=parse_key_value,
                        help="the VERSIONINFO's StringFileInfo has KEY with VALUE; repeatable")
    parser.add_argument("--manifest", action="store_true", help="a manifest resource exists")
    return parser


def main(argv: Optional[list[str]] = None) -> int:
    parser = build_parser()
    args = parser.parse_args(argv)  # Exits with status 2 on usage errors.
    if args.icon_format and args.icon is None:
        parser.error("--icon-format needs --icon")
    if args.dialog_ex and args.dialog is None:
        parser.error("--dialog-ex needs --dialog")
    if args.control_styles is not None and not args.dialog_ex:
        parser.error("--control-styles needs --dialog-ex")

    try:
        with open(args.file, "rb") as file:
            data = file.read()
    except OSError as error:
        print(f"{args.file}: cannot read: {error.strerror}", file=sys.stderr)
        return 2

    try:
        pe = pefile.PE(data=data, fast_load=True)
        # pefile reads a cut-off file as far as it goes; a check would then fail for a missing
        # resource, when what is wrong is the file.
        stored = [("the headers", pe.OPTIONAL_HEADER.SizeOfHeaders)] + [
            ("section " + section.Name.rstrip(b"\0").decode("ascii", "replace"),
             section.PointerToRawData + section.SizeOfRawData) for section in pe.sections]
        for what, end in stored:
            if end > len(data):
                raise pefile.PEFormatError(f"the file is cut off: {what} would end at "
                                           f"{end:#x}, the file ends at {len(data):#x}")
        pe.parse_data_directories(directories=[
            pefile.DIRECTORY_ENTRY[f"IMAGE_DIRECTORY_ENTRY_{name}"]
            for name in ("IMPORT", "DELAY_IMPORT", "RESOURCE")])
        report = run_checks(pe, args)
    except (pefile.PEFormatError, struct.error, IndexError, ValueError, AttributeError,
            RecursionError) as error:
        # Whatever pefile cannot make sense of is a damaged file to report, not a crash to
        # show CI a traceback for.
        print(f"{args.file}: not a valid PE image ({error})", file=sys.stderr)
        return 2

    for failure in report.failures:
        print(f"{args.file}: {failure}", file=sys.stderr)
    if report.failures:
        return 1
    checked = "; ".join(report.passed) or "nothing else requested"
    image = "PE32+" if pe.OPTIONAL_HEADER.Magic == pefile.OPTIONAL_HEADER_MAGIC_PE_PLUS else "PE32"
    print(f"{args.file}: OK: {image} image; {checked}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
