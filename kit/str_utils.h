#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace kit {

// Word and replacement routines over strings, the reversible XOR text encoding,
// and small number, memory and rectangle helpers the kit's components share.
// Character positions are 1-based; a delimiter set is a string of characters.

// Replaces every occurrence of Pattern (searched from the left, not
// overlapping); inserted replacements are not searched again. An empty
// pattern leaves the text unchanged.
QString SubstituteAll(const QString& Text, const QString& Pattern, const QString& Replacement);

// The number of maximal runs of characters that are not in Delimiters.
int CountWords(const QString& Text, const QString& Delimiters);

// The 1-based position of the first character of word N (counting from 1), 0
// when there are fewer words.
int FindWordStart(int N, const QString& Text, const QString& Delimiters);

// Word N (counting from 1), empty when there is none.
QString PickWord(int N, const QString& Text, const QString& Delimiters);

// Each byte of Text XOR the matching byte of Key (cycled; the byte itself when
// Key is empty), as two lower-case hexadecimal digits. Text and Key are taken
// as UTF-8 bytes; the result has twice as many characters as Text has bytes.
QString XorToHex(const QString& Key, const QString& Text);

// The reverse of XorToHex: each pair of characters as a hexadecimal byte (a
// pair that is no hexadecimal number gives 32), XOR the matching key byte; an
// odd last character is ignored. Bytes that are no valid UTF-8 are read as
// Latin-1.
QString XorFromHex(const QString& Key, const QString& Hex);

// Text without leading and trailing characters of code 32 and below.
QString TrimBlanks(const QString& Text);

// UTF-8 bytes as text, or nothing when they are no valid UTF-8; a sequence
// cut off at the end is invalid too. A byte order mark stays in the text.
std::optional<QString> DecodeUtf8(const QByteArray& Bytes);

// UTF-8 bytes as text, or Latin-1 when they are no valid UTF-8.
QString DecodeText(const QByteArray& Bytes);

inline int MaxOfTwo(int A, int B) { return B < A ? A : B; }
inline int MinOfTwo(int A, int B) { return A < B ? A : B; }

// A zero-filled block of Size bytes, null for Size <= 0. Free it with FreeBlock.
void* AllocZeroedBlock(std::ptrdiff_t Size);
// Frees a block from AllocZeroedBlock and sets the reference to null.
void FreeBlock(void*& Block);
// True when the first Count bytes of A and B are equal.
bool SameBytes(const void* A, const void* B, std::size_t Count);
// The address N bytes after P.
inline const void* OffsetPointer(const void* P, std::ptrdiff_t N) { return static_cast<const char*>(P) + N; }
inline void* OffsetPointer(void* P, std::ptrdiff_t N) { return static_cast<char*>(P) + N; }
// Copies Count bytes; the areas may overlap.
void MoveBytes(void* Destination, const void* Source, std::size_t Count);

// A rectangle with exclusive right and bottom edges, as the kit's drawing
// routines take them.
struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
};
inline int RectWidth(const TRect& R) { return R.Right - R.Left; }
inline int RectHeight(const TRect& R) { return R.Bottom - R.Top; }

// A built-in text as the kit stores it: the text itself, untranslated.
// ResourceString (kit/resource_strings.h) gives its translation.
inline QString ResourceText(const QString& Text) { return Text; }

}  // namespace kit
