// Where the engine writes its progress line: a status control of the window,
// a terminal line, or a test's recorder. The engine knows no window system.
#ifndef VELMORA_ENGINE_TEXT_SINK_H_
#define VELMORA_ENGINE_TEXT_SINK_H_

#include <string>

namespace velmora {

class TextSink {
 public:
  virtual ~TextSink() = default;
  // Replaces the whole text; "\r\n" separates lines.
  virtual void SetText(const std::u16string& text) = 0;
};

}  // namespace velmora

#endif  // VELMORA_ENGINE_TEXT_SINK_H_
