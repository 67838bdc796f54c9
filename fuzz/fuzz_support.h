#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What the fuzz programs share: cutting one input into the several texts a routine takes, turning
// bytes into text the way the program does, and stopping loudly when a property does not hold.

namespace tarvisk::fuzz {

/// The input cut at NUL bytes into at most `count` pieces; the last piece keeps any further NUL
/// bytes, and pieces the input does not reach are empty.
std::vector<std::string> Pieces(const std::uint8_t* data, std::size_t size, std::size_t count);

/// The input of a program that matches two patterns (or markers) against a page: a first byte saying how
/// to read the rest, then the two pattern texts and the page text, NUL between them.
struct PatternsAndPage {
    std::uint8_t mode = 0;
    std::u16string first;
    std::u16string second;
    std::u16string page;
};
/// None for an empty input; the texts are read as PageText reads them.
std::optional<PatternsAndPage> ReadPatternsAndPage(const std::uint8_t* data, std::size_t size);

/// Page bytes as a request routine turns them into text: in the charset the page declares, else UTF-8.
std::u16string PageText(const std::string& bytes);

/// Bytes read as UTF-16LE code units, lone surrogates and all; an odd last byte is left out.
std::u16string RawUnits(const std::string& bytes);

/// Stops the run (abort, so the fuzzer keeps the input) when a property of the code under test fails.
void Check(bool holds, const char* property);

/// True when `part` occurs in `whole` (the empty text occurs everywhere).
bool Contains(const std::u16string& whole, const std::u16string& part);

} // namespace tarvisk::fuzz
