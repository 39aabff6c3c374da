// Who makes Vantrell and which version this is: the one place the About
// box, the main dialog's caption and footer, the version record and the
// desktop entry take these from.
//
// The texts are char arrays rather than pointers so that Concat can join
// them at compile time: the version record sits in an ELF section, which
// only a constant initialiser can fill.
#pragma once

#include <array>
#include <cstddef>

namespace vantrell {

template <typename T>
struct PieceSize;
template <std::size_t N>
struct PieceSize<char[N]> {
    static constexpr std::size_t value = N;
};
template <std::size_t N>
struct PieceSize<std::array<char, N>> {
    static constexpr std::size_t value = N;
};

// Joins NUL-terminated pieces (string literals or earlier results) into one
// NUL-terminated array. A piece "\0" contributes one NUL, which is how the
// version record separates its entries.
template <typename... P>
constexpr auto Concat(const P&... parts) {
    constexpr std::size_t nSize = (PieceSize<P>::value + ...) - sizeof...(P) + 1;
    std::array<char, nSize> out{};
    std::size_t k = 0;
    auto append = [&out, &k](const auto& piece, std::size_t nLen) {
        for (std::size_t i = 0; i + 1 < nLen; ++i) out[k++] = piece[i];
    };
    (append(parts, PieceSize<P>::value), ...);
    return out;
}

inline constexpr char kProductName[] = "Vantrell";
inline constexpr char kAuthor[] = "The Vantrell Project";
inline constexpr char kYear[] = "2026";
inline constexpr char kContact[] = "vantrell-dev@example.org";

inline constexpr char kVersionText[] = "Vantrell Version 1.0";

// The version record's values.
inline constexpr char kVersionNumbers[] = "1.0.0.1";
inline constexpr char kCompanyName[] = "";
inline constexpr char kFileDescription[] = "Vantrell MFC Application";
inline constexpr char kFileVersion[] = "1, 0, 0, 1";
inline constexpr char kInternalName[] = "Vantrell";
inline constexpr auto kLegalCopyright = Concat("Copyright (C) ", kYear, " ", kAuthor);
inline constexpr char kLegalTrademarks[] = "";
inline constexpr char kOriginalFilename[] = "Vantrell.EXE";
inline constexpr char kProductNameRecord[] = "Vantrell Application";
inline constexpr char kProductVersion[] = "1, 0, 0, 1";

}  // namespace vantrell
