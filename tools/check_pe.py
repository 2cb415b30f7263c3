#!/usr/bin/env python3
"""Checks facts about a Windows PE executable without running it.

CI cross-builds the 32-bit launcher with MinGW but has no Windows to run it on, so this looks
inside the file instead: machine type, subsystem, the DLLs it imports (to prove the C++ runtime
is linked statically) and the resources windres compiled in (string table, icon, bitmap, dialog,
version information, manifest).

Every check is optional and runs only when asked for. Exit status: 0 if all requested checks
pass, 1 if any fails (one line per failure), 2 on a usage error or a file that cannot be read
or is not a valid PE image. Standard library only, so it runs on any CI image with Python 3.
"""

from __future__ import annotations

import argparse
import re
import struct
import sys
from dataclasses import dataclass, field
from typing import Iterator, Optional, Union

MACHINES = {"i386": 0x14C, "x86-64": 0x8664}
MACHINE_NAMES = {0x14C: "i386", 0x8664: "x86-64", 0x1C4: "arm", 0xAA64: "arm64"}

SUBSYSTEM_WINDOWS_GUI = 2
SUBSYSTEM_NAMES = {1: "NATIVE", 2: "WINDOWS_GUI", 3: "WINDOWS_CUI", 10: "EFI_APPLICATION"}

PE32_MAGIC = 0x10B
PE32_PLUS_MAGIC = 0x20B

DIR_IMPORT = 1
DIR_RESOURCE = 2
DIR_DELAY_IMPORT = 13

RT_BITMAP = 2
RT_ICON = 3
RT_DIALOG = 5
DS_SETFONT = 0x40
RT_STRING = 6
RT_GROUP_ICON = 14
RT_VERSION = 16
RT_MANIFEST = 24

VS_FIXEDFILEINFO_SIGNATURE = 0xFEEF04BD
PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"

# A resource is identified either by a number or by an (upper-case) name.
ResId = Union[int, str]


class PeError(Exception):
    """The file is not a PE image we can read: truncated, damaged or something else entirely."""


class BadResource(Exception):
    """A resource exists but its contents are not in the expected format (a check failure)."""


def unpack(fmt: str, buf: bytes, offset: int, what: str, error=PeError) -> tuple:
    """struct.unpack_from that reports running off the end of `buf` as `error`, not a crash."""
    size = struct.calcsize(fmt)
    if offset < 0 or offset + size > len(buf):
        raise error(f"{what} at offset {offset:#x} runs past the end of the data "
                    f"({len(buf)} bytes)")
    return struct.unpack_from(fmt, buf, offset)


def show(text: str) -> str:
    """Quotes a text for a one-line message, escaping line feeds the way the options take them."""
    escaped = text.replace("\\", "\\\\").replace("\n", "\\n")
    escaped = "".join(c if c >= " " else f"\\x{ord(c):02x}" for c in escaped)
    return f'"{escaped}"'


def show_id(res_id: ResId) -> str:
    return str(res_id) if isinstance(res_id, int) else f'"{res_id}"'


# --- The PE container ------------------------------------------------------------------------


@dataclass(frozen=True)
class Section:
    name: str
    virtual_address: int
    virtual_size: int
    raw_offset: int
    raw_size: int

    def contains(self, rva: int) -> bool:
        # Some linkers leave VirtualSize zero; the raw size still tells where the section ends.
        return self.virtual_address <= rva < self.virtual_address + max(self.virtual_size,
                                                                        self.raw_size)


@dataclass(frozen=True)
class Resource:
    type: ResId
    name: ResId
    language: int
    data: bytes


class PeImage:
    """The headers of a PE file, parsed eagerly; imports and resources are read on demand."""

    def __init__(self, data: bytes):
        self.data = data
        if len(data) < 0x40 or data[:2] != b"MZ":
            raise PeError("not a PE file (no MZ header)")
        (pe_offset,) = unpack("<I", data, 0x3C, "e_lfanew")
        if data[pe_offset:pe_offset + 4] != b"PE\0\0":
            raise PeError("not a PE file (no PE signature where e_lfanew points)")

        coff = pe_offset + 4
        (self.machine, section_count, _, _, _, optional_size, _) = unpack(
            "<HHIIIHH", data, coff, "COFF header")

        optional = coff + 20
        (self.magic,) = unpack("<H", data, optional, "optional header")
        if self.magic == PE32_MAGIC:
            (self.image_base,) = unpack("<I", data, optional + 28, "optional header")
            dirs_at, min_optional_size = 92, 96
        elif self.magic == PE32_PLUS_MAGIC:
            (self.image_base,) = unpack("<Q", data, optional + 24, "optional header")
            dirs_at, min_optional_size = 108, 112
        else:
            raise PeError(f"unknown optional header magic {self.magic:#x}")
        if optional_size < min_optional_size:
            raise PeError(f"optional header is only {optional_size} bytes")
        (self.size_of_headers,) = unpack("<I", data, optional + 60, "optional header")
        (self.subsystem,) = unpack("<H", data, optional + 68, "optional header")

        # The count is what the file claims; never read directories beyond the header's size.
        (dir_count,) = unpack("<I", data, optional + dirs_at, "optional header")
        dir_count = min(dir_count, (optional_size - dirs_at - 4) // 8)
        self.data_dirs = [unpack("<II", data, optional + dirs_at + 4 + 8 * i, "data directory")
                          for i in range(dir_count)]

        table = optional + optional_size
        self.sections = []
        for i in range(section_count):
            fields = unpack("<8sIIII", data, table + 40 * i, "section table")
            name = fields[0].rstrip(b"\0").decode("ascii", "replace")
            self.sections.append(Section(name, fields[2], fields[1], fields[4], fields[3]))

        self._resources: Optional[list[Resource]] = None

    @property
    def format_name(self) -> str:
        return "PE32+" if self.magic == PE32_PLUS_MAGIC else "PE32"

    def data_dir(self, index: int) -> tuple[int, int]:
        return self.data_dirs[index] if index < len(self.data_dirs) else (0, 0)

    def rva_to_offset(self, rva: int, length: int, what: str) -> int:
        """Maps `length` bytes at `rva` to a file offset, refusing anything not stored in the
        file (beyond a section's raw data, or past the end of the file)."""
        if rva < 0:
            raise PeError(f"{what} has an impossible address ({rva:#x})")
        if rva < self.size_of_headers:
            offset = rva  # The headers are mapped at the start of the image unchanged.
        else:
            section = next((s for s in self.sections if s.contains(rva)), None)
            if section is None:
                raise PeError(f"{what} at RVA {rva:#x} is not inside any section")
            delta = rva - section.virtual_address
            if delta + length > section.raw_size:
                raise PeError(f"{what} at RVA {rva:#x} (+{length} bytes) lies beyond the data "
                              f"stored for section {section.name}")
            offset = section.raw_offset + delta
        if offset + length > len(self.data):
            raise PeError(f"{what} at RVA {rva:#x} (+{length} bytes) lies beyond the end of "
                          f"the file (truncated?)")
        return offset

    def read(self, rva: int, length: int, what: str) -> bytes:
        offset = self.rva_to_offset(rva, length, what)
        return self.data[offset:offset + length]

    def unpack_at(self, fmt: str, rva: int, what: str) -> tuple:
        """struct.unpack of the bytes at `rva`, which must all be stored in the file."""
        return struct.unpack(fmt, self.read(rva, struct.calcsize(fmt), what))

    def c_string(self, rva: int, what: str) -> str:
        offset = self.rva_to_offset(rva, 1, what)
        end = self.data.find(b"\0", offset, offset + 1024)
        if end < 0:
            raise PeError(f"{what} at RVA {rva:#x} is not terminated")
        return self.data[offset:end].decode("ascii", "replace")

    # --- Imports ---

    def imported_dlls(self) -> list[str]:
        """Every DLL the image needs, from the import table and the delay-load table (a
        delay-loaded DLL is just as much a dependency that must ship with the program)."""
        names = []
        rva, _ = self.data_dir(DIR_IMPORT)
        while rva:
            # IMAGE_IMPORT_DESCRIPTOR; the table ends with an all-zero entry.
            _, _, _, name_rva, _ = self.unpack_at("<5I", rva, "import descriptor")
            if name_rva == 0:
                break
            names.append(self.c_string(name_rva, "imported DLL name"))
            rva += 20

        rva, _ = self.data_dir(DIR_DELAY_IMPORT)
        while rva:
            attributes, name_rva, *_ = self.unpack_at("<8I", rva, "delay-load descriptor")
            if name_rva == 0:
                break
            if not attributes & 1:
                name_rva -= self.image_base  # Old-style descriptors hold VAs, not RVAs.
            names.append(self.c_string(name_rva, "delay-loaded DLL name"))
            rva += 32
        return names

    # --- Resources ---

    def resources(self) -> list[Resource]:
        """All resources, read from the three-level tree: type -> name -> language -> data."""
        if self._resources is None:
            self._resources = []
            root, _ = self.data_dir(DIR_RESOURCE)
            if root:
                for type_id, names in self._directory(root, 0, True):
                    for name, languages in self._directory(root, names, True):
                        for language, leaf in self._directory(root, languages, False):
                            # IMAGE_RESOURCE_DATA_ENTRY: its OffsetToData is an RVA.
                            data_rva, size, _, _ = self.unpack_at("<4I", root + leaf,
                                                                  "resource data entry")
                            data = self.read(data_rva, size, "resource data")
                            self._resources.append(Resource(type_id, name, language, data))
        return self._resources

    def _directory(self, root: int, offset: int,
                   want_subdirectories: bool) -> Iterator[tuple[ResId, int]]:
        """Yields (id or name, child offset) for each entry of the resource directory at
        `offset` (relative to the resource root, like every offset inside the tree)."""
        named, numbered = self.unpack_at("<12xHH", root + offset, "resource directory")
        for i in range(named + numbered):
            key, child = self.unpack_at("<II", root + offset + 16 + 8 * i, "resource entry")
            if bool(child & 0x80000000) != want_subdirectories:
                raise PeError("malformed resource directory (unexpected leaf or subdirectory)")
            if key & 0x80000000:
                name_rva = root + (key & 0x7FFFFFFF)
                (length,) = self.unpack_at("<H", name_rva, "resource name")
                name = self.read(name_rva + 2, 2 * length, "resource name")
                res_id: ResId = name.decode("utf-16-le", "replace")
            else:
                res_id = key & 0xFFFF
            yield res_id, child & 0x7FFFFFFF

    def find_resources(self, type_id: int, name: Optional[ResId] = None) -> list[Resource]:
        return [r for r in self.resources()
                if r.type == type_id and (name is None or same_id(r.name, name))]

    def find_resource(self, type_id: int, name: ResId) -> Optional[Resource]:
        """The resource of that type and id, in whichever language comes first."""
        found = self.find_resources(type_id, name)
        return found[0] if found else None


def same_id(a: ResId, b: ResId) -> bool:
    # Resource names are case-insensitive (rc stores them upper-case).
    if isinstance(a, str) and isinstance(b, str):
        return a.upper() == b.upper()
    return a == b


# --- Resource contents -----------------------------------------------------------------------


def string_table_entry(pe: PeImage, string_id: int) -> Optional[str]:
    """The text of string `string_id`, or None if there is none. Strings are stored in blocks
    of 16 (block id = string id / 16 + 1), each a UTF-16 length followed by that many units;
    an absent string has length 0, which is also how LoadString treats it."""
    block = pe.find_resource(RT_STRING, string_id // 16 + 1)
    if block is None:
        return None
    offset = 0
    for index in range(string_id % 16 + 1):
        (length,) = unpack("<H", block.data, offset, "string table block", BadResource)
        text = block.data[offset + 2:offset + 2 + 2 * length]
        if len(text) < 2 * length:
            raise BadResource(f"string table block {string_id // 16 + 1} is truncated")
        offset += 2 + 2 * length
    if length == 0:
        return None
    # Some resource compilers append a terminating NUL; it is not part of the text.
    return text.decode("utf-16-le", "replace").rstrip("\0")


@dataclass(frozen=True)
class ImageFormat:
    width: int
    height: int
    bits: int

    def __str__(self) -> str:
        return f"{self.width}x{self.height}x{self.bits}"


@dataclass(frozen=True)
class IconEntry:
    format: ImageFormat
    icon_id: int


def parse_icon_group(data: bytes) -> list[IconEntry]:
    """The images listed in a GRPICONDIR: like an .ico header, but each entry names the RT_ICON
    resource holding the image instead of giving a file offset."""
    _, kind, count = unpack("<HHH", data, 0, "GRPICONDIR", BadResource)
    if kind != 1:
        raise BadResource(f"is not an icon group (type {kind})")
    entries = []
    for i in range(count):
        width, height, _, _, _, bits, _, icon_id = unpack("<BBBBHHIH", data, 6 + 14 * i,
                                                          "GRPICONDIR entry", BadResource)
        # A width or height of 0 means 256.
        entries.append(IconEntry(ImageFormat(width or 256, height or 256, bits), icon_id))
    return entries


PNG_CHANNELS = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}  # By PNG colour type.


def icon_image_format(data: bytes) -> ImageFormat:
    """Size and bits per pixel of an RT_ICON image, which is either a PNG or a DIB whose
    height counts the XOR and AND masks together, i.e. twice the icon's height."""
    if data.startswith(PNG_SIGNATURE):
        width, height, depth, colour_type = unpack(">IIBB", data, 16, "PNG IHDR", BadResource)
        return ImageFormat(width, height, depth * PNG_CHANNELS.get(colour_type, 1))
    header = parse_dib_header(data)
    return ImageFormat(header.width, abs(header.height) // 2, header.bit_count)


@dataclass(frozen=True)
class DibHeader:
    size: int
    width: int
    height: int
    bit_count: int
    colours_used: int


def parse_dib_header(data: bytes) -> DibHeader:
    """The BITMAPINFOHEADER (or old BITMAPCOREHEADER) at the start of a DIB."""
    (size,) = unpack("<I", data, 0, "bitmap header", BadResource)
    if size == 12:
        _, width, height, _, bits = unpack("<IHHHH", data, 0, "BITMAPCOREHEADER", BadResource)
        return DibHeader(size, width, height, bits, 0)
    if size < 40:
        raise BadResource(f"has an unknown bitmap header of {size} bytes")
    _, width, height, _, bits, _, _, _, _, used, _ = unpack("<IiiHHIIiiII", data, 0,
                                                            "BITMAPINFOHEADER", BadResource)
    return DibHeader(size, width, height, bits, used)


@dataclass(frozen=True)
class DialogEx:
    style: int
    ex_style: int
    cx: int
    cy: int
    control_styles: tuple[int, ...]


def skip_sz_or_ord(data: bytes, offset: int, what: str) -> int:
    """The offset after a menu, class or title field: 0, 0xFFFF and an ordinal, or a
    NUL-terminated UTF-16 string."""
    (first,) = unpack("<H", data, offset, what, BadResource)
    if first == 0xFFFF:
        return offset + 4
    while first != 0:
        offset += 2
        (first,) = unpack("<H", data, offset, what, BadResource)
    return offset + 2


def parse_dialog_ex(data: bytes) -> DialogEx:
    """The fixed part of a DLGTEMPLATEEX; a plain DLGTEMPLATE does not start with 1, 0xFFFF."""
    version, signature = unpack("<HH", data, 0, "dialog template", BadResource)
    if (version, signature) != (1, 0xFFFF):
        raise BadResource("is a plain DIALOG template, not DIALOGEX")
    _, _, _, ex_style, style, items, _, _, cx, cy = unpack("<HHIIIHhhhh", data, 0,
                                                           "DLGTEMPLATEEX", BadResource)
    offset = 26
    for what in ("menu", "window class", "title"):
        offset = skip_sz_or_ord(data, offset, f"dialog {what}")
    if style & DS_SETFONT:
        offset = skip_sz_or_ord(data, offset + 6, "dialog typeface")
    control_styles = []
    for _ in range(items):
        offset = align4(offset)
        _, _, control_style = unpack("<III", data, offset, "DLGITEMTEMPLATEEX", BadResource)
        offset += 24
        for what in ("control class", "control text"):
            offset = skip_sz_or_ord(data, offset, what)
        (extra,) = unpack("<H", data, offset, "control creation data", BadResource)
        offset += 2 + extra
        control_styles.append(control_style)
    return DialogEx(style, ex_style, cx, cy, tuple(control_styles))


@dataclass
class VersionInfo:
    file_version: tuple[int, int, int, int]
    product_version: tuple[int, int, int, int]
    # (key, value) for each string of every StringFileInfo table, in file order.
    strings: list[tuple[str, str]] = field(default_factory=list)


@dataclass
class VersionBlock:
    key: str
    value: bytes
    children: list[VersionBlock]


def parse_version_block(data: bytes, offset: int) -> tuple[VersionBlock, int]:
    """One node of the VS_VERSIONINFO tree: wLength, wValueLength, wType, a NUL-terminated
    UTF-16 key, the value and the child blocks, each part aligned to 4 bytes. Returns the
    block and the offset just past it."""
    length, value_length, value_type = unpack("<HHH", data, offset, "version block",
                                              BadResource)
    end = offset + length
    if length < 6 or end > len(data):
        raise BadResource("has a damaged version block")

    key_end = offset + 6
    while key_end + 1 < end and data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = data[offset + 6:key_end].decode("utf-16-le", "replace")

    value_start = align4(key_end + 2)
    if value_type == 1 and value_length:
        # A text value. Compilers disagree whether wValueLength counts characters or bytes, so
        # take everything up to the terminating NUL (a String block never has children).
        # Container blocks are marked as text too, but have no value: they fall through.
        return VersionBlock(key, data[value_start:end], []), align4(end)

    value = data[value_start:value_start + value_length]
    children = []
    child = align4(value_start + value_length)
    while child + 6 <= end:
        block, child = parse_version_block(data, child)
        children.append(block)
    return VersionBlock(key, value, children), align4(end)


def align4(offset: int) -> int:
    return (offset + 3) & ~3


def parse_version_info(data: bytes) -> VersionInfo:
    root, _ = parse_version_block(data, 0)
    if len(root.value) < 52:
        raise BadResource("has no VS_FIXEDFILEINFO")
    signature, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<6I",
                                                                                root.value)
    if signature != VS_FIXEDFILEINFO_SIGNATURE:
        raise BadResource(f"has a bad VS_FIXEDFILEINFO signature {signature:#x}")
    info = VersionInfo(split_version(file_ms, file_ls), split_version(product_ms, product_ls))
    for child in root.children:
        if child.key == "StringFileInfo":
            for table in child.children:  # One per language/code page, e.g. "040904b0".
                for string in table.children:
                    text = string.value.decode("utf-16-le", "replace").split("\0", 1)[0]
                    info.strings.append((string.key, text))
    return info


def split_version(most: int, least: int) -> tuple[int, int, int, int]:
    return most >> 16, most & 0xFFFF, least >> 16, least & 0xFFFF


def dotted(version: tuple[int, ...]) -> str:
    return ".".join(map(str, version))


# --- Checks ----------------------------------------------------------------------------------


class Report:
    """Collects the outcome of every check, so that one run reports all failures at once."""

    def __init__(self):
        self.failures: list[str] = []
        self.passed: list[str] = []

    def fail(self, message: str) -> None:
        self.failures.append(message)

    def ok(self, description: str) -> None:
        self.passed.append(description)


def check_machine(pe: PeImage, expected: str, report: Report) -> None:
    actual = MACHINE_NAMES.get(pe.machine, f"{pe.machine:#x}")
    if pe.machine == MACHINES[expected]:
        report.ok(f"machine {expected}")
    else:
        report.fail(f"machine is {actual}, expected {expected}")


def check_gui(pe: PeImage, report: Report) -> None:
    if pe.subsystem == SUBSYSTEM_WINDOWS_GUI:
        report.ok("GUI subsystem")
    else:
        name = SUBSYSTEM_NAMES.get(pe.subsystem, "unknown")
        report.fail(f"subsystem is {pe.subsystem} ({name}), expected 2 (WINDOWS_GUI)")


def check_dlls(pe: PeImage, allowed: set[str], report: Report) -> None:
    dlls = list(dict.fromkeys(pe.imported_dlls()))  # Unique, in import order.
    unexpected = [dll for dll in dlls if dll.lower() not in allowed]
    for dll in unexpected:
        report.fail(f"imports {dll}, which is not in the allowed list")
    if not unexpected:
        report.ok(f"imports only allowed DLLs ({', '.join(dlls) or 'none'})")


def check_strings(pe: PeImage, expected: list[tuple[int, str]], report: Report) -> None:
    matched = []
    for string_id, text in expected:
        try:
            actual = string_table_entry(pe, string_id)
        except BadResource as error:
            report.fail(f"string {string_id}: {error}")
            continue
        if actual is None:
            report.fail(f"has no string {string_id}")
        elif actual != text:
            report.fail(f"string {string_id} is {show(actual)}, expected {show(text)}")
        else:
            matched.append(str(string_id))
    if matched:
        report.ok(f"string{'s' if len(matched) > 1 else ''} {', '.join(matched)}")


def check_icon(pe: PeImage, icon_id: ResId, expected: Optional[ImageFormat],
               report: Report) -> None:
    group = pe.find_resource(RT_GROUP_ICON, icon_id)
    if group is None:
        report.fail(f"has no icon {show_id(icon_id)}")
        return
    try:
        entries = parse_icon_group(group.data)
    except BadResource as error:
        report.fail(f"icon {show_id(icon_id)} {error}")
        return
    listed = ", ".join(str(entry.format) for entry in entries) or "no images"
    description = f"icon {show_id(icon_id)} ({listed})"
    if expected is None:
        report.ok(description)
        return

    if len(entries) != 1:
        report.fail(f"icon {show_id(icon_id)} has {len(entries)} images ({listed}), "
                    f"expected one {expected}")
        return
    entry = entries[0]
    image = pe.find_resource(RT_ICON, entry.icon_id)
    if image is None:
        report.fail(f"icon {show_id(icon_id)} refers to missing image {entry.icon_id}")
        return
    try:
        actual = icon_image_format(image.data)
    except BadResource as error:
        report.fail(f"icon {show_id(icon_id)}'s image {entry.icon_id} {error}")
        return
    if actual != expected:
        report.fail(f"icon {show_id(icon_id)}'s image is {actual}, expected {expected}")
    elif entry.format.bits and entry.format != actual:
        # The group entry is what Windows uses to pick an image, so it must agree with it.
        report.fail(f"icon {show_id(icon_id)} lists its image as {entry.format}, "
                    f"but the image is {actual}")
    else:
        report.ok(description)


def check_bitmap(pe: PeImage, bitmap_id: ResId, expected: Optional[ImageFormat],
                 report: Report) -> None:
    bitmap = pe.find_resource(RT_BITMAP, bitmap_id)
    name = f"bitmap {show_id(bitmap_id)}"
    if bitmap is None:
        report.fail(f"has no {name}")
        return
    if expected is None:
        report.ok(name)
        return
    try:
        header = parse_dib_header(bitmap.data)
    except BadResource as error:
        report.fail(f"{name} {error}")
        return
    actual = ImageFormat(header.width, header.height, header.bit_count)
    if actual != expected:
        # A negative height means a top-down DIB; say so, since it is easy to miss.
        top_down = " (top-down)" if header.height < 0 else ""
        report.fail(f"{name} is {actual}{top_down}, expected {expected}")
        return
    if header.bit_count == 8:
        if header.colours_used not in (0, 256):
            report.fail(f"{name} has a colour table of {header.colours_used} entries, "
                        f"expected 256")
            return
        if len(bitmap.data) < header.size + 256 * 4:
            report.fail(f"{name} is too short to hold its 256-entry colour table")
            return
    report.ok(f"{name} ({actual})")


def check_dialog(pe: PeImage, dialog_id: ResId, extended: bool,
                 control_styles: Optional[list[int]], report: Report) -> None:
    dialog = pe.find_resource(RT_DIALOG, dialog_id)
    name = f"dialog {show_id(dialog_id)}"
    if dialog is None:
        report.fail(f"has no {name}")
        return
    if not extended:
        report.ok(name)
        return
    try:
        template = parse_dialog_ex(dialog.data)
    except BadResource as error:
        report.fail(f"{name} {error}")
        return
    report.ok(f"{name} (DIALOGEX, style {template.style:#010x}, exStyle "
              f"{template.ex_style:#010x}, cx {template.cx}, cy {template.cy})")
    if control_styles is not None:
        found = ", ".join(f"{style:#010x}" for style in template.control_styles)
        if list(template.control_styles) != control_styles:
            expected = ", ".join(f"{style:#010x}" for style in control_styles)
            report.fail(f"{name} has controls of style {found or 'none'}, expected {expected}")
        else:
            report.ok(f"{name} controls of style {found}")


def load_version_info(pe: PeImage, report: Report) -> Optional[VersionInfo]:
    found = pe.find_resources(RT_VERSION)
    if not found:
        report.fail("has no VERSIONINFO resource")
        return None
    try:
        return parse_version_info(found[0].data)
    except BadResource as error:
        report.fail(f"VERSIONINFO {error}")
        return None


def check_version(info: VersionInfo, expected: tuple[int, ...], report: Report) -> None:
    good = True
    for what, actual in (("FileVersion", info.file_version),
                         ("ProductVersion", info.product_version)):
        if actual != expected:
            report.fail(f"{what} is {dotted(actual)}, expected {dotted(expected)}")
            good = False
    if good:
        report.ok(f"version {dotted(expected)}")


def check_version_strings(info: VersionInfo, expected: list[tuple[str, str]],
                          report: Report) -> None:
    matched = []
    for key, text in expected:
        values = [value for name, value in info.strings if name == key]
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


def check_manifest(pe: PeImage, report: Report) -> None:
    manifests = pe.find_resources(RT_MANIFEST)
    if manifests:
        report.ok(f"manifest {', '.join(show_id(m.name) for m in manifests)}")
    else:
        report.fail("has no manifest resource")


def run_checks(pe: PeImage, args: argparse.Namespace) -> Report:
    report = Report()
    if args.machine:
        check_machine(pe, args.machine, report)
    if args.gui:
        check_gui(pe, report)
    if args.allowed_dlls is not None:
        check_dlls(pe, args.allowed_dlls, report)
    if args.string:
        check_strings(pe, args.string, report)
    if args.icon is not None:
        check_icon(pe, args.icon, args.icon_format, report)
    for bitmap_id, expected in args.bitmap or []:
        check_bitmap(pe, bitmap_id, expected, report)
    if args.dialog is not None:
        check_dialog(pe, args.dialog, args.dialog_ex, args.control_styles, report)
    if args.version or args.version_string:
        info = load_version_info(pe, report)
        if info and args.version:
            check_version(info, args.version, report)
        if info and args.version_string:
            check_version_strings(info, args.version_string, report)
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


def unescape(text: str) -> str:
    """Turns \\n into a line feed and \\\\ into a backslash; any other escape is a mistake."""
    out = []
    chars = iter(text)
    for c in chars:
        if c == "\\":
            escaped = next(chars, "")
            if escaped not in ("n", "\\"):
                raise argparse.ArgumentTypeError(
                    f"unknown escape '\\{escaped}' in {text!r} (only \\n and \\\\ are understood)")
            c = "\n" if escaped == "n" else "\\"
        out.append(c)
    return "".join(out)


def parse_string_option(text: str) -> tuple[int, str]:
    string_id, sep, value = text.partition("=")
    if not sep or not string_id.isdigit() or int(string_id) > 0xFFFF:
        raise argparse.ArgumentTypeError(f"expected ID=TEXT with a numeric ID, got {text!r}")
    return int(string_id), unescape(value)


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
    parser.add_argument("--machine", choices=sorted(MACHINES),
                        help="COFF machine type")
    parser.add_argument("--gui", action="store_true",
                        help="the subsystem is WINDOWS_GUI")
    parser.add_argument("--allowed-dlls", metavar="LIST", type=parse_dll_list,
                        help="comma-separated DLLs (any case) that may be imported; any other "
                             "import fails")
    parser.add_argument("--string", metavar="ID=TEXT", action="append",
                        type=parse_string_option,
                        help="string table entry ID is TEXT (\\n is a line feed, \\\\ a "
                             "backslash); repeatable")
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
    parser.add_argument("--manifest", action="store_true",
                        help="a manifest resource exists")
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
        pe = PeImage(data)
        report = run_checks(pe, args)
    except PeError as error:
        print(f"{args.file}: {error}", file=sys.stderr)
        return 2
    except (struct.error, IndexError, ValueError, RecursionError) as error:
        # The bounded readers should catch all damage; should one slip through, it is still a
        # damaged file to report, not a crash to show CI a traceback for.
        print(f"{args.file}: damaged PE file ({error})", file=sys.stderr)
        return 2

    for failure in report.failures:
        print(f"{args.file}: {failure}", file=sys.stderr)
    if report.failures:
        return 1
    checked = "; ".join(report.passed) or "nothing else requested"
    print(f"{args.file}: OK: {pe.format_name} image; {checked}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
