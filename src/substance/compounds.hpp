// The compounds of a run (the parent first, then its transformation
// products) and their properties: sorption, transformation with its
// temperature dependence, formation of products, volatilisation.
#pragma once

#include <string>
#include <vector>

namespace korvan {

class Run;

class Compounds {
 public:
  explicit Compounds(Run& run) : run_(run) {}

  // Reads the table compounds (once).
  void getCompoundList();
  int numCompounds();
  // The compound names in table order.
  const std::vector<std::string>& names();

 private:
  Run& run_;
  std::vector<std::string> names_;
};

}  // namespace korvan
