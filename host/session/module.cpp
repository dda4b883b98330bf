#include "session/module.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>

#include "common/quote.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace hvhost {

namespace fs = std::filesystem;

namespace {

// Server tables end at a row with a null class; a table without one is not
// read past this many rows.
constexpr int kMaxServers = 256;

#ifdef _WIN32
std::string last_error_text() {
  const DWORD code = GetLastError();
  char buf[512] = {};
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, buf,
                 sizeof buf, nullptr);
  std::string s = buf;
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
  // Messages such as "Bad EXE format for %1." name the file through an
  // insert; the caller names it already.
  for (size_t at = s.find("%1"); at != std::string::npos; at = s.find("%1"))
    s.replace(at, 2, "the module");
  return s.empty() ? "error " + std::to_string(code) : s;
}

void *open_library(const std::string &path, std::string *error) {
  HMODULE h = LoadLibraryA(path.c_str());
  if (!h) *error = last_error_text();
  return reinterpret_cast<void *>(h);
}
void *find_symbol(void *library, const char *name) {
  return reinterpret_cast<void *>(GetProcAddress(static_cast<HMODULE>(library), name));
}
void close_library(void *library) { FreeLibrary(static_cast<HMODULE>(library)); }
#else
void *open_library(const std::string &path, std::string *error) {
  void *h = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!h) {
    const char *e = dlerror();
    *error = e ? e : "unknown error";
  }
  return h;
}
void *find_symbol(void *library, const char *name) { return dlsym(library, name); }
void close_library(void *library) { dlclose(library); }
#endif

// A fresh file name in the temporary directory, keeping the extension.
fs::path private_copy_path(const fs::path &original) {
  static std::atomic<unsigned> counter{0};
  std::random_device rd;
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  char name[96];
  std::snprintf(name, sizeof name, "huevane-module-%08x-%llx-%u", rd(),
                static_cast<unsigned long long>(stamp), counter++);
  return fs::temp_directory_path() / (std::string(name) + original.extension().string());
}

// A module built for the other system cannot be loaded here: the message
// says how to run it.
void refuse_foreign_module(const std::string &path) {
  char magic[4] = {};
  FILE *f = std::fopen(path.c_str(), "rb");
  if (!f) return;  // the loader says why
  const size_t n = std::fread(magic, 1, sizeof magic, f);
  std::fclose(f);
#ifdef _WIN32
  if (n == 4 && magic[0] == 0x7F && magic[1] == 'E' && magic[2] == 'L' && magic[3] == 'F')
    throw ModuleError(path +
                      " is a Linux module (an ELF file): run it with the Linux huevane-host");
#else
  if (n >= 2 && magic[0] == 'M' && magic[1] == 'Z')
    throw ModuleError(path +
                      " is a Windows module (it starts with MZ): run it with the Windows host "
                      "under Wine, which needs no display headless: wine huevane-host.exe "
                      "--headless --module " +
                      path + " ...");
#endif
}

}  // namespace

std::string module_file_name() {
#ifdef _WIN32
  return "huevane.p";
#else
  return "huevane.so";
#endif
}

std::string executable_directory() {
#ifdef _WIN32
  char buf[MAX_PATH * 4] = {};
  const DWORD n = GetModuleFileNameA(nullptr, buf, sizeof buf);
  if (n == 0 || n >= sizeof buf) return {};
  return fs::path(buf).parent_path().string();
#else
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.parent_path().string();
#endif
}

std::unique_ptr<Module> Module::load(const std::string &given_path, ModuleLoadOptions options) {
  std::unique_ptr<Module> m(new Module());
  std::error_code ec;
  // A name without a directory would send the loader to the system's
  // library path, where a library of the same name may be found instead of
  // the file that was checked: the file is always loaded by its absolute
  // path.
  const fs::path absolute = given_path.empty() ? fs::path() : fs::absolute(given_path, ec);
  const std::string path = ec || absolute.empty() ? given_path : absolute.string();
  m->path_ = path;
  if (!fs::exists(path, ec)) throw ModuleError("module not found: " + path);
  if (fs::is_directory(path, ec)) throw ModuleError("not a module file: " + path);
  refuse_foreign_module(path);

  m->loaded_path_ = path;
  if (options.private_copy) {
    const fs::path copy = private_copy_path(path);
    if (!fs::copy_file(path, copy, fs::copy_options::overwrite_existing, ec))
      throw ModuleError("cannot copy module " + path + " to " + copy.string() + ": " +
                        ec.message());
    m->loaded_path_ = copy.string();
  }
  std::string error;
  m->library_ = open_library(m->loaded_path_, &error);
  if (options.private_copy) {
#ifdef _WIN32
    // A loaded DLL cannot be deleted; remove the copy once it is unloaded.
    m->remove_copy_on_unload_ = true;
    if (!m->library_) fs::remove(m->loaded_path_, ec);
#else
    // The mapping outlives the directory entry, so the copy can go now.
    fs::remove(m->loaded_path_, ec);
#endif
  }
  if (!m->library_) throw ModuleError("cannot load module " + path + ": " + error);

  m->descriptor_ = static_cast<const ModuleDescriptor *>(find_symbol(m->library_, "_mod_descrip"));
  if (!m->descriptor_)
    throw ModuleError(path + " is not a plug-in module: it exports no _mod_descrip");
  if (m->descriptor_->sysSync != MOD_SYSSYNC) {
    char buf[160];
    std::snprintf(buf, sizeof buf, ": wrong sync word 0x%08x in _mod_descrip (expected 0x%08x)",
                  static_cast<unsigned>(m->descriptor_->sysSync),
                  static_cast<unsigned>(MOD_SYSSYNC));
    throw ModuleError(path + buf);
  }
  if (!m->descriptor_->serverDefs) throw ModuleError(path + ": _mod_descrip has no server table");
  if (m->descriptor_->startup) {
    m->startup_token_ = m->descriptor_->startup();
    if (!m->startup_token_) throw ModuleError(path + ": the module's startup failed");
  }
  m->started_ = true;
  // A module that failed to load is always unmapped again.
  m->keep_mapped_ = options.keep_mapped;
  return m;
}

void Module::shutdown() {
  if (!started_) return;
  started_ = false;
  if (descriptor_->shutdown) descriptor_->shutdown(startup_token_);
}

Module::~Module() {
  shutdown();
  if (library_ && !keep_mapped_) {
    close_library(library_);
    if (remove_copy_on_unload_) {
      std::error_code ec;
      fs::remove(loaded_path_, ec);
    }
  }
}

std::vector<std::string> Module::server_names() const {
  std::vector<std::string> out;
  const ServerRecord *s = descriptor_->serverDefs;
  for (int i = 0; i < kMaxServers && s[i].className; ++i)
    out.push_back(std::string(s[i].className) + " '" + (s[i].name ? s[i].name : "") + "'");
  return out;
}

const ServerRecord *Module::find_server(std::string_view class_name, std::string_view name) const {
  const ServerRecord *s = descriptor_->serverDefs;
  for (int i = 0; i < kMaxServers && s[i].className; ++i)
    if (class_name == s[i].className && s[i].name && name == s[i].name && s[i].activate)
      return &s[i];
  return nullptr;
}

const ServerRecord &Module::require_server(std::string_view class_name,
                                           std::string_view name) const {
  if (const ServerRecord *s = find_server(class_name, name)) return *s;
  std::string have;
  for (const std::string &n : server_names()) have += (have.empty() ? "" : ", ") + n;
  throw ModuleError(path_ + " has no " + std::string(class_name) + " server named " +
                    quoted_text(name) + " (it serves: " + (have.empty() ? "nothing" : have) + ")");
}

void *Module::symbol(const char *name) const {
  return name ? find_symbol(library_, name) : nullptr;
}

}  // namespace hvhost
