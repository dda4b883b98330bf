// The host's keys as Windows' virtual keys, one row a key, for both places
// that turn one into the other: the Win32 front end (typing a script's keys,
// reading the user's) and the simulated desktop (holding a script's
// qualifiers down while it runs).
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include "win32/win32_standin.h"
#endif

#include <cstddef>
#include <iterator>

#include "abi/host_api.h"
#include "input/words.h"

namespace hvhost {

struct HostKey {
  int host;  // an IQ_* bit, or an LWDK_* code
  int vk;    // VK_*
};

// Ctrl, Shift and Alt, in the order of the script's words for them.
inline constexpr HostKey kQualifierKeys[] = {
    {IQ_CTRL, VK_CONTROL},
    {IQ_SHIFT, VK_SHIFT},
    {IQ_ALT, VK_MENU},
};

// The arrows: the keys a user types as virtual keys and the plug-in sees
// as the host's codes, not as characters.
inline constexpr HostKey kArrowKeys[] = {
    {LWDK_LEFT, VK_LEFT},
    {LWDK_RIGHT, VK_RIGHT},
    {LWDK_UP, VK_UP},
    {LWDK_DOWN, VK_DOWN},
};

// The virtual key of a host key in `table`, or 0 when it has none.
template <size_t N>
constexpr int vk_of(const HostKey (&table)[N], int host) {
  for (const HostKey &k : table)
    if (k.host == host) return k.vk;
  return 0;
}

// The host key of a virtual key in `table`, or 0 when it has none.
template <size_t N>
constexpr int host_of(const HostKey (&table)[N], int vk) {
  for (const HostKey &k : table)
    if (k.vk == vk) return k.host;
  return 0;
}

namespace windows_keys_detail {

// Each row names the script's qualifier word of the same place, and no two
// rows share a bit or a key.
constexpr bool qualifiers_agree() {
  if (std::size(kQualifierKeys) != std::size(kQualifierWords)) return false;
  int bits = 0;
  for (size_t i = 0; i < std::size(kQualifierKeys); ++i) {
    if (kQualifierKeys[i].host != kQualifierWords[i].value || (bits & kQualifierKeys[i].host))
      return false;
    bits |= kQualifierKeys[i].host;
  }
  return bits == (IQ_CTRL | IQ_SHIFT | IQ_ALT);
}

// Each of the four arrow codes once, each with its own virtual key.
constexpr bool arrows_distinct() {
  for (size_t i = 0; i < std::size(kArrowKeys); ++i)
    for (size_t j = 0; j < i; ++j)
      if (kArrowKeys[i].host == kArrowKeys[j].host || kArrowKeys[i].vk == kArrowKeys[j].vk)
        return false;
  return std::size(kArrowKeys) == 4;
}

}  // namespace windows_keys_detail

static_assert(windows_keys_detail::qualifiers_agree(),
              "one row per qualifier, in the script's order, bits as the host has them");
static_assert(windows_keys_detail::arrows_distinct(), "four arrows, each its own key");

}  // namespace hvhost
