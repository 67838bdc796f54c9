#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

// The windows remember their input fields in Setting.ini, section 配置. Users carry their program
// folder (and its Setting.ini) between machines, and those files were written by the Windows
// private-profile functions, so the file keeps their rules: text in code page 936, section and key
// names compared without regard to ASCII letter case, blanks around names and values trimmed, a value
// wholly enclosed in a matching pair of double or single quotes read without them, lines starting
// with ";" ignored, the first of two equal keys winning, and at most 1023 bytes of a value read.
//
// The windows write a field on every keystroke, and a rewrite of the file (flushed to disk, on a slow
// disk or a network folder) would stall the typing: WriteSetting keeps the change in memory and returns,
// and a writer thread puts the changes into the file kSettingsWriteDelay after the last one, in one
// rewrite; FlushSettings writes them at once (the programs call it as they end). A read sees the
// changes not yet written; every other read opens the file afresh. A rewrite replaces the file
// atomically (temporary file in the same folder, flushed to disk, renamed over the old one), so a
// crash or a full disk leaves either the old or the new file, never a half-written one. Each rewrite
// reads, changes and replaces the file under an advisory lock (the file ".Setting.ini.lock" beside
// it), so programs sharing the folder (tarvisk and tarvix) keep each other's keys. A change that
// could not be written stays waiting, and the next rewrite tries it again.
//
// A Setting.ini the program cannot read (no read permission, not a plain file, binary, UTF-16,
// larger than 1 MiB) is never replaced: it is left as it is, and reads and writes use Setting.ini of
// the per-user configuration folder instead, until the file can be read again.

namespace tarvisk {

/// The section every window uses.
inline constexpr char16_t kSettingsSection[] = u"配置";
/// The file every window uses.
inline constexpr char16_t kSettingsFileName[] = u"Setting.ini";
/// A read returns at most this many bytes (in code page 936) of a value.
inline constexpr std::size_t kSettingValueMaxBytes = 1023;
/// The changes reach the file this long after the last one, unless SetSettingsWriteDelay says otherwise.
inline constexpr std::chrono::milliseconds kSettingsWriteDelay{500};

/// True when files can be created in `folder` (it exists and a file can be made and removed there).
bool FolderIsWritable(const std::filesystem::path& folder);

/// The per-user configuration folder: $XDG_CONFIG_HOME/Tarvisk, else ~/.config/Tarvisk.
std::filesystem::path UserConfigFolder();

/// Where Setting.ini lives: `programFolder` when `writable` says files can be made there (portable
/// use), else the per-user configuration folder. An installed program (InstalledDataFolder) always uses the
/// per-user folder: its folder belongs to the system's package manager, even when root could write there.
std::filesystem::path
ResolveSettingsFolder(const std::filesystem::path& programFolder,
                      const std::function<bool(const std::filesystem::path&)>& writable = FolderIsWritable);

/// The folder of the running program (empty when the system cannot tell).
std::filesystem::path ProgramFolder();

/// Uses `folder` for every later read and write, once the changes made so far are written to their
/// file; an empty path goes back to the default, ResolveSettingsFolder(ProgramFolder()), decided on
/// first use.
void SetSettingsFolder(const std::filesystem::path& folder);
std::filesystem::path SettingsFolder();

/// The value stored under `key` in `section` (empty: 配置) of Setting.ini in the settings folder (or
/// in the per-user folder, when the settings folder's file cannot be read), a change not yet written
/// included; the empty text when the file, the section or the key is missing. A longer value is cut to 1023 bytes of
/// code page 936, at a character boundary: a two-byte character that would straddle the limit is left out whole, so the
/// result is then 1022 bytes.
std::u16string ReadSetting(const std::u16string& key, const std::u16string& section = {});

/// Stores `value` under `key` in `section` (empty: 配置) of Setting.ini, in memory at once and in the
/// file shortly after: replaces the key's line where it is, else appends "key=value" to the section,
/// creating the section at the end of the file. An empty value is stored as an empty value, not as a
/// deletion. Line breaks in the value are stored as blanks (they would otherwise start new lines of the
/// file), and a value with blanks at either end or wholly enclosed in quotes is written inside double
/// quotes, so that it reads back unchanged. Returns false, keeping nothing, when the key or section is
/// not a valid name (empty; a key with "=" or starting with ";" or "["; a section with "]"; either with a
/// line break) or, at the first change since the folder's file was last written, when the folder cannot
/// be made or its files cannot be read; the windows carry on then. When the settings folder's file cannot
/// be read, the value goes into Setting.ini of the per-user configuration folder and the unreadable file
/// stays as it is.
bool WriteSetting(const std::u16string& key, const std::u16string& value, const std::u16string& section = {});

/// Writes every change WriteSetting kept to its file now; true when all are written (a change that could
/// not be written stays waiting for the next try).
bool FlushSettings();

/// How long after the last change the changes are written to the file (kSettingsWriteDelay at start).
void SetSettingsWriteDelay(std::chrono::milliseconds delay);

/// A change of one setting: the value to store for the value stored now (empty when missing), or none to leave it.
using SettingChange = std::function<std::optional<std::u16string>(const std::u16string& stored)>;

/// Reads `key` and stores what `change` makes of it, both under the folder's lock, so that of the programs sharing
/// the folder (tarvisk and tarvix) only one makes a change that depends on the value (two that would both see the
/// old value change it one after the other). The changes of the folder not yet written are read and written with
/// it, in the same rewrite. True when `change` gave a value and it was stored.
bool ChangeSetting(const std::u16string& key, const SettingChange& change, const std::u16string& section = {});

} // namespace tarvisk
