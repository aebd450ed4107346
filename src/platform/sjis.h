// Shift_JIS (code page 932) text helpers: conversion to and from UTF-8 and the
// double-byte-aware searches the program uses on its 8-bit texts.
#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quorvel::sjis {

// True when b opens a double-byte character (its next byte may be 0x5C).
bool IsLeadByte(unsigned char b);

// CP932 -> UTF-8. Invalid bytes become U+FFFD; never fails.
std::string ToUtf8(std::string_view sjis);

// UTF-8 -> CP932. Empty optional when a character cannot be held by Shift_JIS
// or the input is not valid UTF-8.
std::optional<std::string> FromUtf8(std::string_view utf8);

// UTF-8 -> CP932, dropping what Shift_JIS cannot hold.
std::string FromUtf8Lossy(std::string_view utf8);

// Position of the last '\' or '/' that is not the second byte of a
// double-byte character; npos when none.
std::size_t FindLastSeparator(std::string_view text);

// First occurrence of needle that starts at a character boundary; npos if none.
std::size_t FindAtBoundary(std::string_view text, std::string_view needle);

// The length of the UTF-8 sequence that starts at pos (by its first byte,
// cut at the text's end); how far a lossy conversion skips a bad one.
std::size_t Utf8SequenceLength(std::string_view utf8, std::size_t pos);

// Longest prefix of at most maxBytes bytes that does not split a character.
std::string_view TruncateAtChar(std::string_view text, std::size_t maxBytes);

}  // namespace quorvel::sjis
