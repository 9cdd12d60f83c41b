// Pronunciations for contextual strings that the model's dictionary lacks.
//
// Two sources, both in the US English phone set of the shipped model:
// - Acronyms (capital letters, maybe with digits: "QRV", "TRC20") are
//   spelled: each letter as the dictionary says the letter's name, each run
//   of digits as the dictionary says the number ("twenty"). Spelling from
//   the dictionary's own entries keeps them in step with the model.
// - Names and terms the tool always sends have hand-written pronunciations,
//   with a variant where English speakers differ. The list the tool sends is
//   fixed, so a table beats a letter-to-sound generator here: the generator
//   gives one reading per word, and a reviewer can read the table.
// Any other word the dictionary lacks has no pronunciation and cannot be
// recognised.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace platform::pocketsphinx {

// The dictionary's pronunciations of a lowercase word, every variant, each
// as space-separated phones; empty when the word is not in it.
using DictionaryLookUp = std::function<std::vector<std::string>(const std::string& word)>;

// The pronunciations to add for `word` (as the caller spells it), at most a
// handful; empty when there is none. `english`: the model's phone set is
// US English, which the hand-written table is written in.
std::vector<std::string> missingPronunciations(const std::string& word, bool english,
                                               const DictionaryLookUp& lookUp);

// True for "QRV", "TRC20": capital letters and digits only, at least two
// characters, at least one letter.
bool isAcronym(const std::string& word);

}  // namespace platform::pocketsphinx
