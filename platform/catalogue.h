// The message catalogue: the program's texts in the user's language.
//
// Japanese is the program's language and its texts are the message ids;
// po/<lang>.po gives each other language (GNU gettext, domain "velmora").
// A text constant is a Text: it names its Japanese text and turns into the
// translation wherever it is used as a string, so call sites read the same
// whether or not a catalogue is bound. Until BindCatalogue() runs (tests,
// tools) every text stays Japanese.
#ifndef VELMORA_PLATFORM_CATALOGUE_H_
#define VELMORA_PLATFORM_CATALOGUE_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace velmora {

// The language of the texts for the locale of messages |messages_locale|
// (what setlocale gives for LC_MESSAGES) and the LANGUAGE list: "ja" for
// the C and POSIX locales (C.UTF-8 too) and where the first language is
// Japanese; "en" for every other, since no other catalogue exists.
std::string LanguageForLocale(std::string_view messages_locale, std::string_view language_list);

// Takes the locale from the environment (LC_ALL, LC_MESSAGES, LANG and
// LANGUAGE), chooses the language as LanguageForLocale() does, and binds
// its catalogue, found beside the executable, in the build tree or under
// the install prefix. Sets LANGUAGE where gettext would choose otherwise.
// Call once at start-up,
// before any thread starts.
void BindCatalogue();

// The language the texts are shown in: "en", or "ja" (also when no
// catalogue is bound).
std::string CatalogueLanguage();

// |japanese| in the bound language. The view stays valid for the life of
// the process. Safe from any thread.
std::u16string_view Translate(std::u16string_view japanese);

class Text {
 public:
  template <std::size_t N>
  consteval Text(const char16_t (&japanese)[N]) : id_(japanese, N - 1) {}

  std::u16string_view id() const { return id_; }
  std::u16string_view view() const { return Translate(id_); }

  operator std::u16string_view() const { return view(); }
  operator std::u16string() const { return std::u16string(view()); }

  friend bool operator==(const Text& text, std::u16string_view other) {
    return text.view() == other;
  }
  friend std::u16string operator+(const Text& text, std::u16string_view tail) {
    std::u16string joined(text.view());
    joined += tail;
    return joined;
  }
  friend std::u16string operator+(std::u16string head, const Text& text) {
    head += text.view();
    return head;
  }

 private:
  std::u16string_view id_;
};

}  // namespace velmora

#endif  // VELMORA_PLATFORM_CATALOGUE_H_
