// Files and programs in folders whose names the ANSI code page lacks: the
// tests reach them through the system's own characters (UTF-16).
#pragma once

#include <windows.h>

#include <map>
#include <string>

namespace srdw::gui {

// ANSI (the code page) to the system's characters.
std::wstring Wide(const std::string& ansi);
// The ANSI form the launcher shows: "?" for each character the code page lacks.
std::string Shown(const std::wstring& wide);
// Whether the code page holds every character of `wide`.
bool CodePageHolds(const std::wstring& wide);

// Writes the bytes, making the folders on the way.
void WriteBytes(const std::wstring& path, const std::string& bytes);
void CopyInto(const std::string& file, const std::wstring& target);
// The folder's files by relative path, with their bytes.
std::map<std::wstring, std::string> WideSnapshot(const std::wstring& folder);
void RemoveTree(const std::wstring& path);

}  // namespace srdw::gui
