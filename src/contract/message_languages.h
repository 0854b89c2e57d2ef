// The languages a package's message catalogue (MessageInfo.xml) can hold a
// message in: one element per language below the MessageInfo root, named by
// its code. The runner picks one by the user's interface language; the
// packer checks and writes them.
#pragma once

#include <cstddef>

#include "contract/ascii_name.h"

namespace nsTobrin {

enum class MessageLanguage { CHS, CHT, DEU, ENG, ESP, FRA, ITA, JPN, KOR, NLD, RUS };

inline constexpr std::size_t kMessageLanguageCount = 11;

// The codes, in the order of MessageLanguage.
inline constexpr AsciiName kMessageLanguageCodes[kMessageLanguageCount] = {
    TOBRIN_ASCII_NAME("CHS"), TOBRIN_ASCII_NAME("CHT"), TOBRIN_ASCII_NAME("DEU"), TOBRIN_ASCII_NAME("ENG"),
    TOBRIN_ASCII_NAME("ESP"), TOBRIN_ASCII_NAME("FRA"), TOBRIN_ASCII_NAME("ITA"), TOBRIN_ASCII_NAME("JPN"),
    TOBRIN_ASCII_NAME("KOR"), TOBRIN_ASCII_NAME("NLD"), TOBRIN_ASCII_NAME("RUS")};

constexpr const AsciiName& MessageLanguageCode(MessageLanguage language) {
  return kMessageLanguageCodes[static_cast<std::size_t>(language)];
}

}  // namespace nsTobrin
