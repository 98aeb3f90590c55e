#include "internal.h"

namespace termsim {

std::string Model::Serialize() const {
    return {};
}
bool Model::Deserialize(const std::string&, std::string*) {
    return false;
}
bool Model::Save(const std::string&, std::string*) const {
    return false;
}
bool Model::Load(const std::string&, std::string*) {
    return false;
}

}  // namespace termsim
