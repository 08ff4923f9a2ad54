// The string table of the native build, compiled from the same catalogue
// file that the Windows resource script is generated from.
#include <map>
#include <string>

#include "platform/sim/sim_machine.h"

namespace kw::sim {
namespace {

const std::map<unsigned, std::string>& Catalogue() {
  static const std::map<unsigned, std::string> table = {
#define KW_MESSAGE(id, text) {id, text},
#include "resources/catalogue.def"
#undef KW_MESSAGE
  };
  return table;
}

}  // namespace

std::string SimMachine::CatalogueText(unsigned id) {
  const auto& table = Catalogue();
  auto it = table.find(id);
  return it == table.end() ? std::string() : it->second;
}

}  // namespace kw::sim
