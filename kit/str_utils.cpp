#include "kit/str_utils.h"

#include <QStringDecoder>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "platform/hex_digit.h"

namespace kit {

QString SubstituteAll(const QString& Text, const QString& Pattern, const QString& Replacement) {
    if (Pattern.isEmpty()) {
        return Text;
    }
    QString result;
    qsizetype from = 0;
    for (qsizetype at = Text.indexOf(Pattern, from); at >= 0; at = Text.indexOf(Pattern, from)) {
        result += Text.mid(from, at - from);
        result += Replacement;
        from = at + Pattern.size();
    }
    result += Text.mid(from);
    return result;
}

namespace {

// The 0-based index of the first character of word N, or -1.
qsizetype WordStartIndex(int N, const QString& Text, const QString& Delimiters) {
    int count = 0;
    bool inWord = false;
    for (qsizetype i = 0; i < Text.size(); ++i) {
        const bool delimiter = Delimiters.contains(Text[i]);
        if (!delimiter && !inWord && ++count == N) {
            return i;
        }
        inWord = !delimiter;
    }
    return -1;
}

int HexDigit(QChar C) { return platform::HexDigitValue(C.toLatin1()); }

}  // namespace

QString TrimBlanks(const QString& Text) {
    qsizetype first = 0;
    qsizetype last = Text.size();
    while (first < last && Text[first].unicode() <= 32) {
        ++first;
    }
    while (last > first && Text[last - 1].unicode() <= 32) {
        --last;
    }
    return Text.mid(first, last - first);
}

std::optional<QString> DecodeUtf8(const QByteArray& Bytes) {
    // Stateless, so that an unfinished last sequence counts as an error
    // instead of being held back for more input that never comes.
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = utf8(Bytes);
    if (utf8.hasError()) {
        return std::nullopt;
    }
    return text;
}

QString DecodeText(const QByteArray& Bytes) {
    std::optional<QString> text = DecodeUtf8(Bytes);
    return text ? *std::move(text) : QString::fromLatin1(Bytes);
}

int CountWords(const QString& Text, const QString& Delimiters) {
    int count = 0;
    bool inWord = false;
    for (const QChar c : Text) {
        const bool delimiter = Delimiters.contains(c);
        if (!delimiter && !inWord) {
            ++count;
        }
        inWord = !delimiter;
    }
    return count;
}

int FindWordStart(int N, const QString& Text, const QString& Delimiters) {
    return static_cast<int>(WordStartIndex(N, Text, Delimiters) + 1);
}

QString PickWord(int N, const QString& Text, const QString& Delimiters) {
    const qsizetype start = WordStartIndex(N, Text, Delimiters);
    if (start < 0) {
        return {};
    }
    qsizetype end = start;
    while (end < Text.size() && !Delimiters.contains(Text[end])) {
        ++end;
    }
    return Text.mid(start, end - start);
}

QString XorToHex(const QString& Key, const QString& Text) {
    const QByteArray key = Key.toUtf8();
    const QByteArray text = Text.toUtf8();
    QByteArray mixed(text.size(), '\0');
    for (qsizetype i = 0; i < text.size(); ++i) {
        mixed[i] = key.isEmpty() ? text[i] : static_cast<char>(text[i] ^ key[i % key.size()]);
    }
    return QString::fromLatin1(mixed.toHex());
}

QString XorFromHex(const QString& Key, const QString& Hex) {
    const QByteArray key = Key.toUtf8();
    QByteArray bytes;
    for (qsizetype i = 0; i + 1 < Hex.size(); i += 2) {
        const int high = HexDigit(Hex[i]);
        const int low = HexDigit(Hex[i + 1]);
        int value = high < 0 || low < 0 ? 32 : high * 16 + low;
        const qsizetype index = i / 2;
        if (!key.isEmpty()) {
            value ^= static_cast<unsigned char>(key[index % key.size()]);
        }
        bytes.append(static_cast<char>(value));
    }
    return DecodeText(bytes);
}

void* AllocZeroedBlock(std::ptrdiff_t Size) {
    return Size <= 0 ? nullptr : std::calloc(static_cast<std::size_t>(Size), 1);
}

void FreeBlock(void*& Block) {
    std::free(Block);
    Block = nullptr;
}

bool SameBytes(const void* A, const void* B, std::size_t Count) { return std::memcmp(A, B, Count) == 0; }

void MoveBytes(void* Destination, const void* Source, std::size_t Count) { std::memmove(Destination, Source, Count); }

}  // namespace kit
