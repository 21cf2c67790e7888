#include "platform/catalogue.h"

#include <libintl.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/wtf8.h"

namespace velmora {
namespace {

constexpr char kDomain[] = "velmora";

struct Catalogue {
  std::mutex mutex;
  bool bound = false;
  // Node-based: views handed out stay valid as the map grows.
  std::unordered_map<std::u16string, std::u16string> texts;
};

Catalogue& TheCatalogue() {
  static Catalogue catalogue;
  return catalogue;
}

// Where the compiled catalogues are: share/locale beside the executable's
// bin/, then the build tree, then the configured prefix.
std::string CatalogueDirectory() {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path exe = fs::read_symlink("/proc/self/exe", error);
  std::vector<fs::path> candidates;
  if (!error) {
    candidates.push_back(exe.parent_path().parent_path() / "share" / "locale");
  }
  candidates.emplace_back(VELMORA_BUILD_LOCALEDIR);
  candidates.emplace_back(VELMORA_INSTALL_LOCALEDIR);
  for (const fs::path& dir : candidates) {
    if (fs::exists(dir / "en" / "LC_MESSAGES" / "velmora.mo", error)) {
      return dir.string();
    }
  }
  return VELMORA_INSTALL_LOCALEDIR;
}

// Message ids and translations use "\n"; texts that end their lines with
// "\r\n" get them back.
std::string MessageId(std::u16string_view japanese) {
  std::u16string lines(japanese);
  std::erase(lines, u'\r');
  return Wtf8FromUtf16(lines);
}

std::u16string FromCatalogue(const char* translated, bool crlf) {
  std::u16string text = Utf16FromWtf8(translated);
  if (!crlf) return text;
  std::u16string out;
  out.reserve(text.size() + 8);
  for (char16_t unit : text) {
    if (unit == u'\n') out.push_back(u'\r');
    out.push_back(unit);
  }
  return out;
}

}  // namespace

std::string LanguageForLocale(std::string_view messages_locale, std::string_view language_list) {
  const auto is_japanese = [](std::string_view name) {
    return name.starts_with("ja") && (name.size() == 2 || name[2] == '_' || name[2] == '.');
  };
  if (messages_locale.empty() || messages_locale == "C" || messages_locale == "POSIX" ||
      messages_locale.starts_with("C.")) {
    return "ja";
  }
  // Outside the C locale the first language of LANGUAGE decides, as for
  // gettext.
  const std::string_view first = language_list.substr(0, language_list.find(':'));
  if (!first.empty()) return is_japanese(first) ? "ja" : "en";
  return is_japanese(messages_locale) ? "ja" : "en";
}

void BindCatalogue() {
  std::setlocale(LC_ALL, "");
  // gettext would fall back to the message ids (Japanese) for a language
  // without a catalogue, and reads LANGUAGE under C.UTF-8: steer it to the
  // choice through LANGUAGE, which only gettext reads, and only where it
  // would choose otherwise (libc's own messages keep their language).
  const char* messages = std::setlocale(LC_MESSAGES, nullptr);
  const std::string_view locale = messages != nullptr ? messages : "";
  const char* language = std::getenv("LANGUAGE");
  if (LanguageForLocale(locale, language != nullptr ? language : "") == "en") {
    ::setenv("LANGUAGE", "en", 1);
  } else if (locale == "C" || locale == "POSIX" || locale.starts_with("C.")) {
    ::unsetenv("LANGUAGE");
  }
  bindtextdomain(kDomain, CatalogueDirectory().c_str());
  bind_textdomain_codeset(kDomain, "UTF-8");
  Catalogue& catalogue = TheCatalogue();
  std::lock_guard<std::mutex> lock(catalogue.mutex);
  catalogue.bound = true;
  catalogue.texts.clear();
}

std::string CatalogueLanguage() {
  {
    Catalogue& catalogue = TheCatalogue();
    std::lock_guard<std::mutex> lock(catalogue.mutex);
    if (!catalogue.bound) return "ja";
  }
  // The header (the translation of "") names the catalogue's language.
  const char* header = dgettext(kDomain, "");
  const char* field = std::strstr(header, "Language: ");
  if (field == nullptr) return "ja";
  field += std::strlen("Language: ");
  const std::string language(field, std::strcspn(field, "_\n"));
  return language == "en" ? language : "ja";
}

std::u16string_view Translate(std::u16string_view japanese) {
  Catalogue& catalogue = TheCatalogue();
  std::lock_guard<std::mutex> lock(catalogue.mutex);
  if (!catalogue.bound || japanese.empty()) return japanese;
  const std::u16string key(japanese);
  auto found = catalogue.texts.find(key);
  if (found == catalogue.texts.end()) {
    const std::string id = MessageId(japanese);
    const char* translated = dgettext(kDomain, id.c_str());
    std::u16string text =
        translated == id.c_str()
            ? key
            : FromCatalogue(translated, japanese.find(u'\r') != std::u16string_view::npos);
    found = catalogue.texts.emplace(key, std::move(text)).first;
  }
  return found->second;
}

}  // namespace velmora
