#include "substance/compounds.hpp"

namespace korvan {

void Compounds::getCompoundList() {}
int Compounds::numCompounds() { return static_cast<int>(names_.size()); }
const std::vector<std::string>& Compounds::names() { return names_; }

}  // namespace korvan
