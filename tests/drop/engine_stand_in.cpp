// Stand-in for the engine until it lands.
#include "extract_command.h"
namespace brimlet {
ExtractReport ExtractFileIconReport(std::string_view, std::optional<std::int32_t>, std::optional<std::string_view>,
                                    std::optional<std::int32_t>) {
  return {};
}
}  // namespace brimlet
