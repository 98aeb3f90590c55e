#include "internal.h"

namespace termsim {

void Model::Generate(const GenerateSpec&) {}

}  // namespace termsim
