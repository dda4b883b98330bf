// The script's words for the values of an enum, each table written once and
// used for everything: the parser looks a word up in it, describe() writes
// the value's word from it, and error messages and --help list its words
// from it ("field, strip or eyedropper"), so none can disagree.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "abi/host_api.h"
#include "input/action.h"

namespace hvhost {

template <typename E>
struct Word {
  E value;
  const char *word;
};

// The places a script names, in the order --help lists them; the first two
// are the areas (AREA), the rasters a drag may start in.
inline constexpr Word<Place> kPlaceWords[] = {
    {Place::kField, "field"},
    {Place::kStrip, "strip"},
    {Place::kEyedropper, "eyedropper"},
};
inline constexpr size_t kAreaWordCount = 2;

// The mouse's buttons, the default first.
inline constexpr Word<MouseButton> kButtonWords[] = {
    {MouseButton::kLeft, "left"},
    {MouseButton::kMiddle, "middle"},
    {MouseButton::kRight, "right"},
};

// The qualifiers held with a key, as words before it ("ctrl+c"), and
// their bits as the host has them (panel tag 22).
inline constexpr Word<int> kQualifierWords[] = {
    {IQ_CTRL, "ctrl+"},
    {IQ_SHIFT, "shift+"},
    {IQ_ALT, "alt+"},
};

// The value a word names among the first `count` entries of a table.
template <typename E, size_t N>
constexpr std::optional<E> find_word(const Word<E> (&table)[N], std::string_view word,
                                     size_t count = N) {
  for (size_t i = 0; i < count && i < N; ++i)
    if (word == table[i].word) return table[i].value;
  return std::nullopt;
}

// The word of a value, or "" for a value the table does not name.
template <typename E, size_t N>
constexpr const char *word_of(const Word<E> (&table)[N], E value) {
  for (const Word<E> &w : table)
    if (w.value == value) return w.word;
  return "";
}

// The first `count` words as a choice: "field, strip or eyedropper"; the
// first one followed by `after_first` ("left (the default), ...").
template <typename E, size_t N>
std::string word_choices(const Word<E> (&table)[N], size_t count = N,
                         std::string_view after_first = {}) {
  std::string out;
  count = count < N ? count : N;
  for (size_t i = 0; i < count; ++i) {
    if (i > 0) out += i + 1 == count ? " or " : ", ";
    out += table[i].word;
    if (i == 0) out.append(after_first);
  }
  return out;
}

}  // namespace hvhost
