#include "components/message_catalogue.h"

#include "platform/platform.h"

namespace kw {

std::string LoadMessage(unsigned id) { return Os().CatalogueText(id); }

std::string FormatMessageText(const std::string& message, const std::string& argument) {
  // The catalogue's texts hold at most this one conversion and no other '%',
  // so a plain replacement is the whole of printf's work here, and an
  // argument holding '%' cannot be misread as a format.
  const std::string::size_type at = message.find("%s");
  if (at == std::string::npos) return message;
  std::string text = message;
  text.replace(at, 2, argument);
  return text;
}

}  // namespace kw
