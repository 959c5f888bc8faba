#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The files the knowledge-base pages ask Mirelo to keep for them: the serialised knowledge
// base and the avatar picture, as opaque text in $XDG_DATA_HOME/Mirelo/. Failures throw
// std::runtime_error with a readable description.
namespace TarnStore {

std::string directory();  // without a trailing slash
std::string tarnFile();
std::string avatarFile();

// Bytes taken by the two files; a missing file counts 0.
std::int64_t usage();
void ensureDirectory();
// Replaces path's content so that a crash at any moment leaves either the old or the new
// text: a temporary file beside it, flushed to disk, renamed over it, the directory flushed.
void writeAtomically(const std::string& text, const std::string& path);
// Stores a data URL, or removes the avatar when there is none or it is empty.
void saveAvatar(const std::optional<std::string>& dataUrl);
void clear();
// A file's whole content; nothing when it is missing or unreadable.
std::optional<std::string> read(const std::string& path);

}  // namespace TarnStore
