#include "report/output_file.hpp"

namespace korvan {

void OutputFile::printScalar(double, std::string_view, double, PrintSwitch&, std::string_view,
                             std::string_view) {}
void OutputFile::printSegments(double, std::string_view, std::span<const double>, PrintSwitch&,
                               std::string_view, std::string_view) {}
void OutputFile::printSegmentValue(double, std::string_view, double, PrintSwitch&,
                                   std::string_view, std::string_view) {}

}  // namespace korvan
