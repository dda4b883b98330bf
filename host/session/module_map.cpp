#include "session/module_map.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#if defined(__GNUC__)
#include <cxxabi.h>
#endif

#ifdef _WIN32
#include <windows.h>
#else
#include <elf.h>
#include <link.h>
#endif

namespace hvhost {

namespace {

std::string demangled(const char *name) {
#if defined(__GNUC__)
  int status = 0;
  char *out = abi::__cxa_demangle(name, nullptr, nullptr, &status);
  if (status == 0 && out) {
    std::string s = out;
    std::free(out);
    return s;
  }
  std::free(out);
#endif
  return name;
}

std::string file_bytes(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A record of type T at `at` of the file, when it lies wholly inside it.
template <typename T>
bool read_at(const std::string &file, uint64_t at, T *out) {
  if (at > file.size() || file.size() - at < sizeof(T)) return false;
  std::memcpy(out, file.data() + at, sizeof(T));
  return true;
}

// A NUL-terminated name at `at`, cut at the file's end or 255 bytes.
std::string name_at(const std::string &file, uint64_t at) {
  if (at >= file.size()) return {};
  const size_t n = std::min<size_t>(strnlen(file.data() + at, file.size() - at), 255);
  return std::string(file.data() + at, n);
}

#ifdef _WIN32

// The COFF symbol table a mingw build keeps after --strip-debug: functions
// are the symbols of type 0x20 in a section; their value is the offset in
// that section.
void read_functions(const std::string &file, ModuleMap *map) {
  IMAGE_DOS_HEADER dos;
  IMAGE_NT_HEADERS64 nt;
  if (!read_at(file, 0, &dos) || dos.e_magic != IMAGE_DOS_SIGNATURE || dos.e_lfanew < 0 ||
      !read_at(file, static_cast<uint64_t>(dos.e_lfanew), &nt) ||
      nt.Signature != IMAGE_NT_SIGNATURE)
    return;
  const uint64_t sections_at = static_cast<uint64_t>(dos.e_lfanew) +
                               offsetof(IMAGE_NT_HEADERS64, OptionalHeader) +
                               nt.FileHeader.SizeOfOptionalHeader;
  const uint64_t symbols_at = nt.FileHeader.PointerToSymbolTable;
  const uint64_t count = nt.FileHeader.NumberOfSymbols;
  if (symbols_at == 0 || count == 0) return;
  const uint64_t strings_at = symbols_at + count * 18;
  for (uint64_t i = 0; i < count; ++i) {
    uint8_t raw[18];
    if (!read_at(file, symbols_at + i * 18, &raw)) return;
    int16_t section;
    uint16_t type;
    uint32_t value;
    std::memcpy(&value, raw + 8, 4);
    std::memcpy(&section, raw + 12, 2);
    std::memcpy(&type, raw + 14, 2);
    const uint8_t aux = raw[17];
    if (section > 0 && section <= nt.FileHeader.NumberOfSections && (type & 0x30) == 0x20) {
      IMAGE_SECTION_HEADER header;
      if (read_at(file, sections_at + static_cast<uint64_t>(section - 1) * sizeof header,
                  &header)) {
        uint32_t zeros, offset;
        std::memcpy(&zeros, raw, 4);
        std::memcpy(&offset, raw + 4, 4);
        const std::string name = zeros == 0
                                     ? name_at(file, strings_at + offset)
                                     : std::string(reinterpret_cast<const char *>(raw),
                                                   strnlen(reinterpret_cast<const char *>(raw), 8));
        if (!name.empty())
          map->functions.push_back({header.VirtualAddress + value, 0, demangled(name.c_str())});
      }
    }
    i += aux;
  }
}

bool find_mapping(const void *inside, ModuleMap *map) {
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          static_cast<const char *>(inside), &module))
    return false;
  const auto *base = reinterpret_cast<const uint8_t *>(module);
  const auto *dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(base);
  const auto *nt = reinterpret_cast<const IMAGE_NT_HEADERS64 *>(base + dos->e_lfanew);
  map->base = reinterpret_cast<uintptr_t>(base);
  map->end = map->base + nt->OptionalHeader.SizeOfImage;
  return true;
}

#else

// The ELF symbol table (.symtab) when the file still has one, else the
// dynamic one: functions with their offsets from the load address.
void read_functions(const std::string &file, ModuleMap *map) {
  Elf64_Ehdr eh;
  if (!read_at(file, 0, &eh) || std::memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0 ||
      eh.e_ident[EI_CLASS] != ELFCLASS64 || eh.e_shentsize != sizeof(Elf64_Shdr))
    return;
  for (int want : {SHT_SYMTAB, SHT_DYNSYM}) {
    for (uint16_t i = 0; i < eh.e_shnum; ++i) {
      Elf64_Shdr sh, strings;
      if (!read_at(file, eh.e_shoff + uint64_t{i} * sizeof sh, &sh) ||
          sh.sh_type != static_cast<uint32_t>(want) || sh.sh_entsize != sizeof(Elf64_Sym) ||
          !read_at(file, eh.e_shoff + uint64_t{sh.sh_link} * sizeof strings, &strings))
        continue;
      for (uint64_t k = 0; k < sh.sh_size / sizeof(Elf64_Sym); ++k) {
        Elf64_Sym sym;
        if (!read_at(file, sh.sh_offset + k * sizeof sym, &sym)) break;
        if (ELF64_ST_TYPE(sym.st_info) != STT_FUNC || sym.st_value == 0) continue;
        const std::string name = name_at(file, strings.sh_offset + sym.st_name);
        if (!name.empty())
          map->functions.push_back({sym.st_value, sym.st_size, demangled(name.c_str())});
      }
    }
    if (!map->functions.empty()) return;
  }
}

struct Search {
  uintptr_t inside;
  ModuleMap *map;
  bool found;
};

int visit(dl_phdr_info *info, size_t, void *data) {
  Search *s = static_cast<Search *>(data);
  uintptr_t lo = UINTPTR_MAX, hi = 0;
  for (int i = 0; i < info->dlpi_phnum; ++i) {
    const ElfW(Phdr) &ph = info->dlpi_phdr[i];
    if (ph.p_type != PT_LOAD) continue;
    lo = std::min<uintptr_t>(lo, info->dlpi_addr + ph.p_vaddr);
    hi = std::max<uintptr_t>(hi, info->dlpi_addr + ph.p_vaddr + ph.p_memsz);
  }
  if (s->inside < lo || s->inside >= hi) return 0;
  s->map->base = info->dlpi_addr;
  s->map->end = hi;
  s->found = true;
  return 1;
}

bool find_mapping(const void *inside, ModuleMap *map) {
  Search s{reinterpret_cast<uintptr_t>(inside), map, false};
  dl_iterate_phdr(visit, &s);
  return s.found;
}

#endif

}  // namespace

bool map_module(const std::string &path, const void *inside, ModuleMap *out) {
  *out = ModuleMap{};
  ModuleMap map;
  if (!inside || !find_mapping(inside, &map)) return false;
  const size_t slash = path.find_last_of("/\\");
  map.name = slash == std::string::npos ? path : path.substr(slash + 1);
  read_functions(file_bytes(path), &map);
  std::sort(map.functions.begin(), map.functions.end(),
            [](const ModuleFunction &a, const ModuleFunction &b) { return a.offset < b.offset; });
  *out = std::move(map);
  return true;
}

size_t describe_address(const ModuleMap &map, uintptr_t address, char *buf, size_t size) {
  if (size == 0 || map.base == 0 || address < map.base || address >= map.end) return 0;
  const uintptr_t offset = address - map.base;
  // The last function starting at or before the offset, if the offset is
  // within its size (or it has none given).
  const ModuleFunction *in = nullptr;
  size_t lo = 0, hi = map.functions.size();
  while (lo < hi) {
    const size_t mid = lo + (hi - lo) / 2;
    if (map.functions[mid].offset <= offset)
      lo = mid + 1;
    else
      hi = mid;
  }
  if (lo > 0) {
    const ModuleFunction &f = map.functions[lo - 1];
    if (f.size == 0 || offset < f.offset + f.size) in = &f;
  }
  // Formatted by hand: a signal handler calls this.
  size_t n = 0;
  const auto add = [&](const char *text, size_t len) {
    for (size_t i = 0; i < len && n + 1 < size; ++i) buf[n++] = text[i];
  };
  add(map.name.data(), map.name.size());
  add("+0x", 3);
  char hex[16];
  size_t digits = 0;
  for (uintptr_t rest = offset; digits == 0 || rest != 0; rest >>= 4)
    hex[digits++] = "0123456789abcdef"[rest & 15];
  for (size_t i = digits; i > 0; --i) add(&hex[i - 1], 1);
  if (in) {
    add(" (in ", 5);
    add(in->name.data(), in->name.size());
    add(")", 1);
  }
  buf[n] = '\0';
  return n;
}

}  // namespace hvhost
